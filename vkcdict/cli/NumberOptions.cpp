#include "vkcdict/cli/NumberOptions.h"

#include <cmath>
#include <locale>
#include <sstream>

#include "vkcdict/cli/Display.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

// Decimal digits only, at least one, within 64 bits.
bool ReadCount(const std::string& text, uint64_t* value) {
    if (text.empty()) return false;
    uint64_t n = 0;
    for (char c : text) {
        if (!IsDigit(c)) return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (n > (UINT64_MAX - digit) / 10) return false;
        n = n * 10 + digit;
    }
    *value = n;
    return true;
}

// DIGITS[.DIGITS] or .DIGITS, then e or E, a sign and DIGITS if at all;
// finite and 0 or more once read (an overflow or underflow is refused by the
// stream, which reads in the "C" locale whatever the program's).
bool ReadRatio(const std::string& text, double* value) {
    size_t i = 0, digits = 0;
    auto skipDigits = [&text, &i] {
        const size_t start = i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        return i - start;
    };
    digits += skipDigits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits += skipDigits();
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (skipDigits() == 0) return false;
    }
    if (i != text.size()) return false;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double v = 0;
    in >> v;
    if (in.fail() || !std::isfinite(v) || !(v >= 0)) return false;
    // An underflow reads as 0: only a value written as zero may be one.
    const size_t mantissa = text.find_first_of("eE");
    if (v == 0 && text.substr(0, mantissa).find_first_of("123456789") != std::string::npos) {
        return false;
    }
    *value = v;
    return true;
}

std::string CountProblem(const std::string& text) {
    uint64_t n = 0;
    if (ReadCount(text, &n)) return std::string();
    return Tr("'{1}' is not a whole number in decimal digits", {ShowName(text)});
}

std::string RatioProblem(const std::string& text) {
    double v = 0;
    if (ReadRatio(text, &v)) return std::string();
    return Tr("'{1}' is not a decimal number of 0 or more (such as 3, 1.5 or 2e1)",
              {ShowName(text)});
}

}  // namespace vkcdict
