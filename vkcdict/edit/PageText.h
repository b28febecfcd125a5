// Texts between the dictionary's bytes and the page. The page shows and
// edits UTF-8 with LF line breaks; the file holds GBK with CR LF. A stored
// text is editable only when that round trip gives back every byte, so a
// text the page could not show exactly is never rewritten by accident.
#pragma once

#include <string>
#include <string_view>

namespace vkcdict::edit {

// Why the page may not edit the stored text `gbk` (in the page's language
// table's words: an English reason), or empty when the text round-trips:
// invalid GBK, a NUL byte, a CR or LF that is not part of CR LF, or any
// other text that would not come back as the same bytes.
std::string ReadOnlyReason(std::string_view gbk);

// `gbk` as the page shows it: UTF-8, CR LF as LF. Bytes that are not GBK
// show as \xNN (such a text is read-only).
std::string ToPage(std::string_view gbk);

// The page's text `utf8` as the file stores it: LF (and CR LF) as CR LF,
// in GBK. False, with `*error` naming the cause, for a character GBK cannot
// encode (named with its code point), a NUL, a lone CR, or bytes that are
// not UTF-8.
bool FromPage(std::string_view utf8, std::string* gbk, std::string* error);

}  // namespace vkcdict::edit
