// Showing dictionary and script texts to a person. Texts are GBK bytes; on a
// terminal they are shown converted to UTF-8 (on Windows, to the console's
// code page), every byte that is not part of a GBK character as the four
// characters \xNN, so nothing is lost. Elsewhere (a file, a pipe) the bytes
// pass through unchanged, so that tools downstream see the dictionary's own
// bytes.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace vkcdict {

// True when `stream` is a terminal (a console on Windows).
bool IsTerminal(FILE* stream);

// True when diagnostics on stderr are read by a person: decided once.
bool StderrIsTerminal();

// A text for a diagnostic: in double quotes, on one line (CR, LF, tab and the
// other control bytes written as \r, \n, \t and \xNN), cut after about
// `limit` bytes at a character boundary with the full length said, and
// converted for the terminal when `terminal`.
std::string Quote(const char* data, size_t size, bool terminal, size_t limit = 72);
inline std::string Quote(const std::string& text, bool terminal) {
    return Quote(text.data(), text.size(), terminal);
}

// A file name, or any bytes that are not a dictionary text, for a message:
// every control byte (0x00-0x1F, 0x7F) as the four characters \xNN, every
// other byte as it is. GBK and UTF-8 names read as they are, while a name
// cannot break its line, move the cursor or clear the screen. Applied on
// every stream, not only on a terminal: logs end up on terminals too.
std::string ShowName(std::string_view name);
// The same, appended to `*out`.
void AppendShown(std::string_view bytes, std::string* out);

// Each byte as the four characters \xNN (uppercase hex), for naming bytes
// that are not valid text.
std::string HexBytes(const char* data, size_t size);

// Bytes for a stream: converted for the terminal when `terminal`, else as
// they are.
std::string ForStream(const std::string& bytes, bool terminal);

// The length of the UTF-8 character at `data`, of `size` > 0 bytes left, or
// 0 when the bytes there are none: read strictly, without overlong forms,
// surrogates or code points over U+10FFFF. For names and messages that must
// reach a UTF-8 consumer (JSON, a PO file) as valid UTF-8.
size_t Utf8Step(const unsigned char* data, size_t size);

// How many terminal columns `text` takes, in GBK when `gbk` (where a
// double-byte character is as wide as its two bytes) else in UTF-8, where a
// Chinese character (any East Asian wide one) takes two and a byte that is
// no character one.
size_t TerminalColumns(std::string_view text, bool gbk);

}  // namespace vkcdict
