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

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace vkcdict {

// Adds option `name` (CLI11's form, "--max-bytes") to `command`: a count of
// 0 or more, stored in `*value`, which must outlive the parse.
CLI::Option* AddCountOption(CLI::App* command, const std::string& name, uint64_t* value,
                            const std::string& description);

// The same for a ratio: a finite number of 0 or more, stored in `*value`.
CLI::Option* AddRatioOption(CLI::App* command, const std::string& name, double* value,
                            const std::string& description);

}  // namespace vkcdict
