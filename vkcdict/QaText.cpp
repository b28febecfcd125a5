#include "vkcdict/QaText.h"

namespace vkcdict {

size_t FindAscii(std::string_view text, char c) {
    if (text.find(c) == std::string_view::npos) return std::string_view::npos;  // most texts
    for (size_t at = 0; at < text.size(); at += CharAt(text, at)) {
        if (text[at] == c) return at;
    }
    return std::string_view::npos;
}

size_t FindText(std::string_view text, std::string_view needle) {
    if (needle.empty()) return 0;
    for (size_t at = 0; at + needle.size() <= text.size(); at += CharAt(text, at)) {
        if (text[at] == needle[0] && text.compare(at, needle.size(), needle) == 0) return at;
    }
    return std::string_view::npos;
}

size_t LastCharAt(std::string_view text) {
    if (text.empty()) return 0;
    // A byte that cannot lead a double-byte character ends a character, so
    // the walk may start just after the last one before the final byte.
    size_t start = text.size() - 1;
    while (start > 0) {
        const unsigned char c = static_cast<unsigned char>(text[start - 1]);
        if (c < 0x81 || c == 0xFF) break;
        --start;
    }
    size_t last = start;
    for (size_t at = start; at < text.size(); at += CharAt(text, at)) last = at;
    return last;
}

}  // namespace vkcdict
