#include "vkcdict/LoadedDict.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vkcdict {

bool LoadedDict::Open(const std::string& path, bool image, LoadPolicy policy,
                      Diagnostics& diagnostics, EncodingPolicy encoding) {
    image_ = image;
    if (!image) return OpenDictionary(path, policy, diagnostics, &file_, encoding);
    file_.path = path;
    file_.dict = std::make_unique<VKCStringDict>();
    std::error_code notADirectory;
    if (std::filesystem::is_directory(path, notADirectory)) {
        diagnostics.Error(path, 0, "is a directory");
        return false;
    }
    FILE* readable = std::fopen(path.c_str(), "rb");
    if (readable == nullptr) {
        diagnostics.Error(path, 0, std::string("cannot read: ") + std::strerror(errno));
        return false;
    }
    std::fclose(readable);
    if (file_.dict->LoadFromBINFileA(LoaderName(path).c_str()) == 0) {
        diagnostics.Error(
            path, 0,
            file_.dict->path[0] == '\0'
                ? NameTooLong(path)
                : "not a binary dictionary image that the loader accepts (or one of no "
                  "records)");
        return false;
    }
    return true;
}

uint64_t LoadedDict::LineOf(const StringEntry* entry) const {
    if (image_ || entry == nullptr) return 0;
    return file_.lines[static_cast<size_t>(entry - file_.dict->entries)];
}

}  // namespace vkcdict
