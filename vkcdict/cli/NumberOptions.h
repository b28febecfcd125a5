// Numeric options of vkcdict's commands, read strictly. A value is decimal
// digits (a ratio may add a fraction and an exponent) with nothing before or
// after them, within its type and the option's range. Anything else - a
// sign, "nan", "inf", hexadecimal, an empty value, trailing junk, a number
// too large to hold - is a usage error (status 2, with the command's usage
// line), never a value quietly read as another: CLI11's own conversion
// wraps "-5" and saturates an overflow to the largest count, reads "010" as
// octal and takes "nan", which then compares false with every length.
#pragma once

#include <cstdint>
#include <string>

namespace vkcdict {

// True, with `*value` set, when `text` is a count: decimal digits only, at
// least one, within 64 bits.
bool ReadCount(const std::string& text, uint64_t* value);

// True, with `*value` set, when `text` is a ratio: DIGITS[.DIGITS] or
// .DIGITS, then an exponent if at all; finite and 0 or more once read.
bool ReadRatio(const std::string& text, double* value);

// Why `text` is no count (or ratio), for a usage error; empty when it is one.
std::string CountProblem(const std::string& text);
std::string RatioProblem(const std::string& text);

}  // namespace vkcdict
