#include "vkcdict/qa/Text.h"

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
    const auto leads = [](char c) { return gbk::IsLeadByte(static_cast<unsigned char>(c)); };
    // A byte that cannot lead a double-byte character ends a character. The
    // bytes after the last such one, before the final byte, can each lead and
    // each trail, so they pair up in order from there: the final byte begins
    // a character after an even run of them, and after an odd run it is the
    // second byte of a pair when it can trail one.
    const size_t last = text.size() - 1;
    size_t run = 0;
    while (run < last && leads(text[last - 1 - run])) ++run;
    if (run % 2 == 0) return last;
    return gbk::IsTrailByte(static_cast<unsigned char>(text[last])) ? last - 1 : last;
}

int64_t RemarkBudget(std::string_view remark) {
    for (size_t at = remark.find("max="); at != std::string_view::npos;
         at = remark.find("max=", at + 1)) {
        if (at > 0 && (IsAsciiLetter(static_cast<unsigned char>(remark[at - 1])) ||
                       IsAsciiDigit(static_cast<unsigned char>(remark[at - 1])) ||
                       remark[at - 1] == '_' || remark[at - 1] == '-')) {
            continue;
        }
        int64_t n = 0;
        size_t i = at + 4;
        for (; i < remark.size() && IsAsciiDigit(static_cast<unsigned char>(remark[i])) &&
               n < (int64_t{1} << 40);
             ++i) {
            n = n * 10 + (remark[i] - '0');
        }
        if (i > at + 4) return n;
    }
    return -1;
}

}  // namespace vkcdict
