#include "capi/FileCause.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Win32.h"

namespace capi {

namespace {

const char kFolder[] = "it is a folder";

// Opens `name` in `mode` to learn why it cannot be; see the header.
const char* WhyNotOpened(const char* name, const char* mode) {
    // The file layer refuses a longer name as Windows does.
    if (strnlen(name, MAX_PATH) >= MAX_PATH) return std::strerror(ENAMETOOLONG);
    // Linux opens a folder for reading, and Windows refuses it with words
    // that do not say it is one.
    struct stat facts;
    if (stat(name, &facts) == 0 && (facts.st_mode & S_IFMT) == S_IFDIR) return kFolder;
    FILE* file = std::fopen(name, mode);
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    return nullptr;
}

}  // namespace

const char* WhyNotReadable(const char* name) {
    return WhyNotOpened(name, "rb");
}

const char* WhyNotAppendable(const char* name) {
    return WhyNotOpened(name, "ab");
}

}  // namespace capi
