// Reading a whole input file (a script, or a dictionary's bytes beside the
// library's own load) into memory.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vkcdict {

// Reads the file at `path`, or standard input when `path` is "-", into
// `*bytes` (replaced). False with the reason in `*error` when it cannot be
// opened or read.
bool ReadInput(const std::string& path, std::string* bytes, std::string* error);

// A whole file in a block of its size, read without first filling the block.
struct FileBlock {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    std::string_view view() const { return std::string_view(data.get(), size); }
};
// Reads the file at `path` (not stdin) into `*block`, at most `limit` bytes
// (a longer file is refused before anything is read, with `*tooLong` set).
// False with the reason in `*error` when it cannot be read.
bool ReadBlock(const std::string& path, size_t limit, FileBlock* block, bool* tooLong,
               std::string* error);

}  // namespace vkcdict
