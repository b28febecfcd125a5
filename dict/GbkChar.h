// The character rule by which the piecewise matcher reads CHI texts: the
// double-byte characters of GBK (code page 936). Nothing else in the
// dictionary looks inside a text's characters.
#pragma once

#include <cstdint>

namespace gbk {

// The length in bytes of the character that begins at `text`:
//   0 at the terminating NUL (the end of the text);
//   2 for a lead byte (0x81 to 0xFE) followed by a trail byte (0x40 to 0x7E or
//     0x80 to 0xFE);
//   1 for any other byte, a lead byte followed by a non-trail byte included
//     (so a lead byte directly before the NUL is a character of its own).
// The byte after `text` is read only when `text` holds a lead byte.
// REQUIRES: `text` is non-null, stands on a character boundary counted from
// the start of its text, and the text is NUL-terminated.
uint32_t CharLength(const char* text);

}  // namespace gbk
