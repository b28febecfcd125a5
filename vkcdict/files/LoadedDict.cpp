#include "vkcdict/files/LoadedDict.h"

#include <algorithm>
#include <cstdio>

#include "vkcdict/files/FileFormatHints.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

// Whether the regular file at `path` looks like a binary image (its head
// read only, and nothing reported: the load has said what went wrong).
bool FileLooksLikeImage(const std::string& path) {
    uint64_t size = 0;
    std::string error;
    FILE* file = OpenRegularFile(path, &size, &error);
    if (file == nullptr) return false;
    char head[kImageHeadBytes];
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return LooksLikeImage(std::string_view(head, got), size);
}

}  // namespace

bool LoadedDict::Open(const std::string& path, bool image, LoadPolicy policy,
                      Diagnostics& diagnostics, EncodingPolicy encoding) {
    image_ = image;
    if (!image) {
        const bool opened = OpenDictionary(path, policy, diagnostics, &file_, encoding);
        // A text load that gives no record may have been given an image.
        if ((!opened || file_.dict->count == 0) && path != "-" && FileLooksLikeImage(path)) {
            diagnostics.Note(path, 0, Tr(kImageHint));
        }
        return opened;
    }
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
    if (file_.dict->LoadFromBINFileA(LoaderName(path).c_str()) == 0) {
        diagnostics.Error(
            path, 0,
            file_.dict->path[0] == '\0'
                ? NameTooLong(path)
                : Tr("not a binary dictionary image that the loader accepts (or one of no "
                     "records)"));
        return false;
    }
    return true;
}

uint64_t LoadedDict::LineOf(const StringEntry* entry) const {
    if (image_ || entry == nullptr) return 0;
    return file_.lines[static_cast<size_t>(entry - file_.dict->entries)];
}

}  // namespace vkcdict
