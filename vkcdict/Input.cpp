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
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), in)) > 0) bytes->append(buffer, got);
    const bool failed = std::ferror(in) != 0;
    if (failed) *error = std::strerror(errno);
    if (!standardInput) std::fclose(in);
    return !failed;
}

}  // namespace vkcdict
