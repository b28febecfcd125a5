// Reading texts character by character for the quality checks, by the GBK
// rule of dict/GbkChar.h: an ASCII byte counts only where a character
// starts, never as the second byte of a double-byte character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dict/GbkChar.h"
#include "vkcdict/cli/Display.h"

namespace vkcdict {

// The length of the character at `at` of `text` (1 or 2).
inline size_t CharAt(std::string_view text, size_t at) {
    return gbk::CharLength(text.data() + at, text.size() - at);
}

// Calls visit(offset, length) for each character of `text`, in order.
template <class Visit>
void ForEachChar(std::string_view text, Visit visit) {
    for (size_t at = 0; at < text.size();) {
        const size_t n = CharAt(text, at);
        visit(at, n);
        at += n;
    }
}

inline bool IsAsciiLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
inline bool IsAsciiDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// The offset of the first ASCII byte `c` that starts a character, or npos.
size_t FindAscii(std::string_view text, char c);

// The offset of the first occurrence of `needle` in `text` that starts on a
// character boundary, or npos. An empty needle is found at 0.
size_t FindText(std::string_view text, std::string_view needle);

// The offset of the last character of `text` (text.size() when empty).
size_t LastCharAt(std::string_view text);

// The digit 0-9 that the character `c` (1 or 2 bytes) stands for, ASCII or
// full-width (GBK A3B0-A3B9), else -1.
inline int DigitOf(std::string_view c) {
    if (c.size() == 1) return IsAsciiDigit(static_cast<unsigned char>(c[0])) ? c[0] - '0' : -1;
    const unsigned char lead = static_cast<unsigned char>(c[0]);
    const unsigned char trail = static_cast<unsigned char>(c[1]);
    return lead == 0xA3 && trail >= 0xB0 && trail <= 0xB9 ? trail - 0xB0 : -1;
}

// The byte budget a remark gives its translation: the N of the first
// "max=N" that starts a word, or -1.
int64_t RemarkBudget(std::string_view remark);

}  // namespace vkcdict
