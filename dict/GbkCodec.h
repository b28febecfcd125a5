// The project's one converter between GBK (code page 936) and UTF-8, for tools
// that show dictionary texts to people or exchange them with UTF-8 programs.
// The dictionary itself never converts: its texts stay bytes.
//
// The character set is the one the operating system defines for code page
// 936: glibc's iconv ("CP936") on Linux, MultiByteToWideChar and
// WideCharToMultiByte on Windows. At first use the codec asks the system
// for every double-byte code and for every character of the Basic
// Multilingual Plane, one by one, and keeps a pair only when both directions
// agree on it; the conversions then run on those tables, so both builds walk
// a text the same way and differ only where their system tables would.
// What counts as a character:
//   - 0x00 to 0x7F: ASCII, themselves;
//   - 0x80: U+20AC EURO SIGN, as Windows' code page 936 has it (glibc's
//     "CP936" agrees; its "GBK" leaves 0x80 undefined, so it is not used);
//   - a lead byte 0x81 to 0xFE and a trail byte 0x40 to 0x7E or 0x80 to 0xFE
//     that the system maps to a character outside the Private Use Area:
//     kDoubleByteCharacters codes, the same on both systems;
//   - nothing else. 0xFF, a lead byte at the end or before a byte that cannot
//     trail, and a pair that maps to nothing are undefined. So are the
//     user-defined areas (AAA1-AFFE, F8A1-FEFE, A140-A7A0) and the other
//     codes that Windows maps into the Private Use Area (glibc maps none of
//     them): a private-use character means nothing to an editor or to another
//     machine, and refusing it keeps the two builds identical.
// Every character converts back to the bytes it came from.
//
// Thread safety: the tables are built once, under the first call's static
// initialisation; the functions are then safe to call from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gbk {

// The double-byte codes that convert, on either system (0x80 not counted).
constexpr size_t kDoubleByteCharacters = 21791;

// Where a conversion stopped: the byte offset and length of the first sequence
// that could not be converted, and (from UTF-8) its code point, or 0xFFFFFFFF
// when the bytes are not valid UTF-8.
struct ConversionError {
    size_t offset;
    size_t length;
    uint32_t codePoint;
};

// GBK (code page 936) bytes to UTF-8. False at the first byte sequence that
// code page 936 does not define, with `*error` set (when given) and `*out`
// holding what was converted before it. With `lossy`, each such sequence becomes
// U+FFFD, `*replaced` (when given) counts them, and the result is true.
//
// An undefined sequence is an undefined pair (2 bytes, lead and trail), or one
// byte: 0xFF, or a lead byte not followed by a trail byte (which is then read
// again as the start of the next character). `*out` is replaced, not appended
// to. In lossy mode `*error`, when given, describes the first replaced
// sequence. Code points are 0 in errors from GBK.
bool ToUtf8(const char* data, size_t size, std::string* out, ConversionError* error = nullptr,
            bool lossy = false, size_t* replaced = nullptr);

// Counts the undefined sequences of GBK bytes as ToUtf8 finds them in lossy
// mode, without converting: 0 when the bytes are all characters. `*first`,
// when given and the count is not 0, describes the first one.
size_t CountUndefined(const char* data, size_t size, ConversionError* first = nullptr);

// UTF-8 to GBK, the same contract the other way (a character GBK cannot hold,
// or bytes that are not UTF-8, stop it; lossy replaces each by '?').
//
// UTF-8 is read strictly: no overlong forms, surrogates or code points beyond
// U+10FFFF. An invalid sequence is its longest start that could still have
// become a character (at least one byte), as Unicode recommends for
// replacement.
bool FromUtf8(const char* data, size_t size, std::string* out, ConversionError* error = nullptr,
              bool lossy = false, size_t* replaced = nullptr);

// For showing GBK text to a person: UTF-8, with every byte that is not part of
// a character code page 936 defines shown as the four characters \xNN.
// (NN in upper case hex; an undefined pair shows as two such escapes.)
std::string ToDisplay(const char* data, size_t size);

}  // namespace gbk
