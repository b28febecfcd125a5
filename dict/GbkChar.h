// The one rule for where a GBK (code page 936) character begins and how long
// it is. The piecewise matcher reads CHI texts by it, the codec converts by
// it, and the tools walk texts by it, so that all of them agree on every
// byte string, valid or not:
//   - a lead byte is 0x81 to 0xFE;
//   - a trail byte is 0x40 to 0x7E or 0x80 to 0xFE;
//   - a lead byte followed by a trail byte is one double-byte character;
//   - every other byte is a character of its own, a lead byte followed by a
//     non-trail byte (or by the end of the text) included.
// Whether a pair stands for a defined character is the codec's business
// (dict/GbkCodec.h); this rule only cuts texts into characters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gbk {

constexpr bool IsLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

constexpr bool IsTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// The length in bytes of the character that begins at `text`: 0 at the
// terminating NUL (the end of the text), else 1 or 2. The byte after `text`
// is read only when `text` holds a lead byte.
// REQUIRES: `text` is non-null, stands on a character boundary counted from
// the start of its text, and the text is NUL-terminated.
inline uint32_t CharLength(const char* text) {
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    if (lead == 0) return 0;
    return IsLeadByte(lead) && IsTrailByte(static_cast<unsigned char>(text[1])) ? 2 : 1;
}

// The length in bytes (1 or 2) of the character that begins at `data`, with
// `size` > 0 bytes left in the text; a NUL is a character like any other.
// REQUIRES: `data` stands on a character boundary counted from the start.
inline size_t CharLength(const char* data, size_t size) {
    return size >= 2 && IsLeadByte(static_cast<unsigned char>(data[0])) &&
                   IsTrailByte(static_cast<unsigned char>(data[1]))
               ? 2
               : 1;
}
inline size_t CharLength(const unsigned char* data, size_t size) {
    return CharLength(reinterpret_cast<const char*>(data), size);
}

}  // namespace gbk
