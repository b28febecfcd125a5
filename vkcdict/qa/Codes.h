// The control codes and placeholders that a game interprets in a text, as
// the codes and numbers checks find them:
//   printf forms: %s, %d, %5.2f, %1$s, %(name)s, %%, and Windows' own %S,
//     %C, %ws, %I64d (no blank flag, so that "100% sure" holds no code);
//   brace placeholders: { and } around up to 64 printable ASCII bytes: {},
//     {0}, {name};
//   angle-bracket tags: <b>, </color>, <color=red>, <br/> (a letter after the
//     '<' or "</", up to 128 bytes, no line break);
//   backslash codes: a backslash and a letter, with an optional bracketed
//     argument of up to 32 letters, digits, '_', ',' and '.': \n, \C[2];
//     and a doubled backslash, the escape of one;
//   variables: #name# and $name$ (a letter or '_' first, then letters, digits,
//     '_' and '.', up to 64 bytes).
// Only ASCII bytes that start characters begin a code (Text.h).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace vkcdict {

// The codes of `text` from left to right, each a view into `text`; `*codes`
// is replaced.
void FindCodes(std::string_view text, std::vector<std::string_view>* codes);

}  // namespace vkcdict
