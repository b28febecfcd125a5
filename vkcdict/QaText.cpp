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
    size_t last = text.size();
    ForEachChar(text, [&last](size_t at, size_t) { last = at; });
    return last;
}

int DigitOf(std::string_view c) {
    if (c.size() == 1) return IsAsciiDigit(static_cast<unsigned char>(c[0])) ? c[0] - '0' : -1;
    const unsigned char lead = static_cast<unsigned char>(c[0]);
    const unsigned char trail = static_cast<unsigned char>(c[1]);
    return lead == 0xA3 && trail >= 0xB0 && trail <= 0xB9 ? trail - 0xB0 : -1;
}

}  // namespace vkcdict
