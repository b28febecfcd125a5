#include "capi/FileCause.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Win32.h"

namespace capi {

namespace {

const char kFolder[] = "it is a folder";

// `name` as the file layer opens it, in `out` (MAX_PATH bytes); false for a
// name the layer refuses as too long.
bool LayerName(const char* name, char (&out)[MAX_PATH]) {
    const size_t length = strnlen(name, MAX_PATH);
    if (length >= MAX_PATH) return false;
    for (size_t i = 0; i <= length; ++i) {
#ifdef _WIN32
        out[i] = name[i];
#else
        out[i] = name[i] == '\\' ? '/' : name[i];
#endif
    }
    return true;
}

// Opens `name` in `mode` to learn why it cannot be; see the header.
const char* WhyNotOpened(const char* name, const char* mode) {
    char opened[MAX_PATH];
    if (!LayerName(name, opened)) return std::strerror(ENAMETOOLONG);
    // Linux opens a folder for reading, and Windows refuses it with words
    // that do not say it is one.
    struct stat facts;
    if (stat(opened, &facts) == 0 && (facts.st_mode & S_IFMT) == S_IFDIR) return kFolder;
    FILE* file = std::fopen(opened, mode);
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
