// Reading a whole input file (a script, or a dictionary's bytes beside the
// library's own load) into memory.
#pragma once

#include <string>

namespace vkcdict {

// Reads the file at `path`, or standard input when `path` is "-", into
// `*bytes` (replaced). False with the reason in `*error` when it cannot be
// opened or read.
bool ReadInput(const std::string& path, std::string* bytes, std::string* error);

}  // namespace vkcdict
