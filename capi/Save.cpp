// Saving through the C interface: the library's own appending writer, and the
// safe replacement of a file through the library's AtomicFile
// (fileio/AtomicFile.h), with the failures of either told with their cause.
#include <cstring>

#include "capi/DictText.h"
#include "capi/FileCause.h"
#include "capi/Handle.h"
#include "dict/SaveHeader.h"
#include "fileio/AtomicFile.h"
#include "platform/Win32.h"

namespace {

using capi::Fail;

// The stream buffer of a save: large pieces for the disk, while a record's
// pieces are small.
constexpr size_t kSaveBuffer = size_t{1} << 16;

// The longest path shown in a message; the message block holds 512 bytes,
// and the cause must fit after it.
constexpr int kShownPath = 300;

}  // namespace

extern "C" {

int vkc_dict_append_to_file(vkc_dict* d, const char* path) {
    if (d == nullptr) return capi::NullHandle();
    if (path == nullptr) return Fail(d, VKC_E_ARGUMENT, "append_to_file: the file name is NULL");
    // The file layer refuses a longer name as Windows does; it is told here
    // as such, before anything is tried.
    if (strnlen(path, MAX_PATH) >= MAX_PATH) {
        return Fail(d, VKC_E_ARGUMENT,
                    "append_to_file: '%.200s...': the path is longer than the %d bytes a file "
                    "name may have",
                    path, MAX_PATH - 1);
    }
    return capi::Guarded(d, "append_to_file", [&] {
        // The class adds up what its three writes report; the save is whole
        // when that is the file text's size.
        SYSTEMTIME now;
        GetSystemTime(&now);
        char header[saveheader::kBufferSize];
        const uint64_t expected =
            capi::DictTextSize(d->dict, saveheader::ComposeHeader(now, header));
        const int32_t written = d->dict.SaveToTXTFileA(path);
        if (written >= 0 && static_cast<uint64_t>(written) == expected) return VKC_OK;
        const char* cause = capi::WhyNotAppendable(path);
        return Fail(d, VKC_E_IO, "%.*s: the dictionary was not written whole: %s", kShownPath, path,
                    cause != nullptr ? cause
                                     : "a write failed or fell short (a full disk, or a limit on "
                                       "the file's size)");
    });
}

int vkc_dict_save(vkc_dict* d, const char* path) {
    if (d == nullptr) return capi::NullHandle();
    if (path == nullptr || path[0] == '\0') {
        return Fail(d, VKC_E_ARGUMENT, "save: the file name is %s",
                    path == nullptr ? "NULL" : "empty");
    }
    return capi::Guarded(d, "save", [&] {
        // The library takes only signals left at their default action, so a
        // program's own handlers (Python's Ctrl-C) stay; threads may save at once.
        fileio::AtomicFile file;
        if (!file.Open(path)) {
            return Fail(d, VKC_E_IO, "%.*s: not saved: %s", kShownPath, path, file.error().c_str());
        }
        std::setvbuf(file.stream(), nullptr, _IOFBF, kSaveBuffer);
        capi::WriteDictText(d->dict, file.stream());
        if (!file.Commit()) {
            return Fail(d, VKC_E_IO, "%.*s: not saved: %s%s", kShownPath, path,
                        file.error().c_str(), file.direct() ? "" : "; the file is as it was");
        }
        return VKC_OK;
    });
}

}  // extern "C"
