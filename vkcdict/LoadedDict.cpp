#include "vkcdict/LoadedDict.h"

#include <algorithm>
#include <cstdio>

#include "vkcdict/Input.h"

namespace vkcdict {

bool LoadedDict::Open(const std::string& path, bool image, LoadPolicy policy,
                      Diagnostics& diagnostics) {
    image_ = image;
    if (!image) return OpenDictionary(path, policy, diagnostics, &file_);
    file_.path = path;
    file_.dict = std::make_unique<VKCStringDict>();
    uint64_t size = 0;
    std::string error;
    FILE* readable = OpenRegularFile(path, &size, &error);
    if (readable == nullptr) {
        diagnostics.Error(path, 0, ReadFailure(error));
        return false;
    }
    std::fclose(readable);
    std::string loaderPath = path;
#ifdef _WIN32
    std::replace(loaderPath.begin(), loaderPath.end(), '/', '\\');
#endif
    if (file_.dict->LoadFromBINFileA(loaderPath.c_str()) == 0) {
        diagnostics.Error(path, 0,
                          "not a binary dictionary image that the loader accepts (or one of no "
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
