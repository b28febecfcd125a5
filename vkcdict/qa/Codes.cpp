#include "vkcdict/qa/Codes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

using Text = std::string_view;

bool IsWordByte(unsigned char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_';
}

size_t Digits(Text t, size_t at) {
    size_t n = 0;
    while (at + n < t.size() && IsAsciiDigit(static_cast<unsigned char>(t[at + n]))) ++n;
    return n;
}

// Each returns the length of the code at `at` (whose first byte it knows), or 0.

size_t Printf(Text t, size_t at) {
    size_t i = at + 1;
    if (i < t.size() && t[i] == '%') return 2;
    // Python's named form, %(name)s.
    if (i < t.size() && t[i] == '(') {
        size_t n = 0;
        while (i + 1 + n < t.size() && n < 64 &&
               IsWordByte(static_cast<unsigned char>(t[i + 1 + n])))
            ++n;
        if (n == 0 || i + 1 + n >= t.size() || t[i + 1 + n] != ')') return 0;
        i += n + 2;
    }
    const size_t index = Digits(t, i);
    if (index != 0 && i + index < t.size() && t[i + index] == '$') i += index + 1;
    while (i < t.size() && std::strchr("-+#0'", t[i]) != nullptr && t[i] != '\0') ++i;
    if (i < t.size() && t[i] == '*') {
        ++i;
    } else {
        i += Digits(t, i);
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        if (i < t.size() && t[i] == '*') {
            ++i;
        } else {
            i += Digits(t, i);
        }
    }
    // Windows' own length forms take only some conversions: "w" the wide
    // characters and strings, "I64", "I32" and "I" the integers.
    const char* takes = "diouxXeEfFgGaAcsSCp";
    for (const auto& [length, conversions] : {std::pair<const char*, const char*>{"hh", takes},
                                              {"ll", takes},
                                              {"h", takes},
                                              {"l", takes},
                                              {"L", takes},
                                              {"z", takes},
                                              {"j", takes},
                                              {"t", takes},
                                              {"w", "cCsS"},
                                              {"I64", "diouxX"},
                                              {"I32", "diouxX"},
                                              {"I", "diouxX"}}) {
        if (t.compare(i, std::strlen(length), length) == 0) {
            i += std::strlen(length);
            takes = conversions;
            break;
        }
    }
    if (i < t.size() && t[i] != '\0' && std::strchr(takes, t[i]) != nullptr) return i + 1 - at;
    return 0;
}

size_t Brace(Text t, size_t at) {
    for (size_t i = at + 1; i < t.size() && i <= at + 65; ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c == '}') return i + 1 - at;
        if (c <= 0x20 || c >= 0x7F || c == '{') return 0;
    }
    return 0;
}

size_t Tag(Text t, size_t at) {
    size_t i = at + 1;
    if (i < t.size() && t[i] == '/') ++i;
    if (i >= t.size() || !IsAsciiLetter(static_cast<unsigned char>(t[i]))) return 0;
    for (; i < t.size() && i < at + 128; ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c == '>') return i + 1 - at;
        if (c < 0x20 || c >= 0x7F || c == '<') return 0;
    }
    return 0;
}

size_t Backslash(Text t, size_t at) {
    size_t i = at + 1;
    if (i < t.size() && t[i] == '\\') return 2;
    if (i >= t.size() || !IsAsciiLetter(static_cast<unsigned char>(t[i]))) return 0;
    ++i;
    if (i < t.size() && t[i] == '[') {
        for (size_t j = i + 1; j < t.size() && j <= i + 33; ++j) {
            const unsigned char c = static_cast<unsigned char>(t[j]);
            if (c == ']') return j + 1 - at;
            if (!IsWordByte(c) && c != ',' && c != '.') break;
        }
    }
    return i - at;
}

size_t Variable(Text t, size_t at) {
    const char mark = t[at];
    size_t i = at + 1;
    if (i >= t.size() || !(IsAsciiLetter(static_cast<unsigned char>(t[i])) || t[i] == '_')) {
        return 0;
    }
    for (; i < t.size() && i <= at + 64; ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c == static_cast<unsigned char>(mark)) return i + 1 - at;
        if (!IsWordByte(c) && c != '.') return 0;
    }
    return 0;
}

}  // namespace

void FindCodes(Text text, std::vector<Text>* codes) {
    codes->clear();
    // Most texts hold no byte that can begin a code: one plain scan says so.
    static const auto kBegins = [] {
        std::array<bool, 256> begins{};
        for (const unsigned char c : {'%', '{', '<', '\\', '#', '$'}) begins[c] = true;
        return begins;
    }();
    if (std::none_of(text.begin(), text.end(),
                     [](char c) { return kBegins[static_cast<unsigned char>(c)]; })) {
        return;
    }
    for (size_t at = 0; at < text.size();) {
        size_t n = 0;
        switch (text[at]) {
            case '%':
                n = Printf(text, at);
                break;
            case '{':
                n = Brace(text, at);
                break;
            case '<':
                n = Tag(text, at);
                break;
            case '\\':
                n = Backslash(text, at);
                break;
            case '#':
            case '$':
                n = Variable(text, at);
                break;
            default:
                break;
        }
        if (n != 0) {
            codes->push_back(text.substr(at, n));
            at += n;
        } else {
            at += CharAt(text, at);
        }
    }
}

}  // namespace vkcdict
