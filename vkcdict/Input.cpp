#include "vkcdict/Input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace vkcdict {

bool ReadInput(const std::string& path, std::string* bytes, std::string* error) {
    bytes->clear();
    const bool standardInput = path == "-";
#ifdef _WIN32
    if (standardInput) _setmode(_fileno(stdin), _O_BINARY);
#endif
    FILE* in = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    // A file is read into a block of its size at once; a pipe in pieces.
    if (!standardInput && std::fseek(in, 0, SEEK_END) == 0) {
        const long size = std::ftell(in);
        if (size > 0 && std::fseek(in, 0, SEEK_SET) == 0) {
            bytes->resize(static_cast<size_t>(size));
            bytes->resize(std::fread(&(*bytes)[0], 1, bytes->size(), in));
        }
    }
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), in)) > 0) bytes->append(buffer, got);
    const bool failed = std::ferror(in) != 0;
    if (failed) *error = std::strerror(errno);
    if (!standardInput) std::fclose(in);
    return !failed;
}

bool ReadBlock(const std::string& path, size_t limit, FileBlock* block, bool* tooLong,
               std::string* error) {
    *tooLong = false;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    bool read = false;
    long size = -1;
    if (std::fseek(in, 0, SEEK_END) == 0) size = std::ftell(in);
    if (size >= 0 && static_cast<unsigned long>(size) > limit) {
        *tooLong = true;
        block->size = static_cast<size_t>(size);
        read = true;
    } else if (size >= 0 && std::fseek(in, 0, SEEK_SET) == 0) {
        block->data.reset(new char[static_cast<size_t>(size) + 1]);
        block->size = std::fread(block->data.get(), 1, static_cast<size_t>(size), in);
        read = std::ferror(in) == 0;
    }
    if (!read) *error = std::strerror(errno);
    std::fclose(in);
    return read;
}

}  // namespace vkcdict
