#include "vkcdict/i18n/SystemText.h"

#include <cstring>

#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

// glibc's strerror() texts for what befalls a file, and the reasons of
// fileio/AtomicFile and platform/ReplaceFile.
const char* const kKnown[] = {
    N_("No such file or directory"),
    N_("Permission denied"),
    N_("Is a directory"),
    N_("Not a directory"),
    N_("No space left on device"),
    N_("Read-only file system"),
    N_("File exists"),
    N_("File too large"),
    N_("Too many levels of symbolic links"),
    N_("File name too long"),
    N_("Input/output error"),
    N_("Operation not permitted"),
    N_("Disk quota exceeded"),
    N_("Too many open files"),
    N_("Device or resource busy"),
    N_("Broken pipe"),
    N_("Text file busy"),
    N_("it already exists"),
    N_("it is a folder"),
    N_("it is read-only"),
    N_("the symbolic link changed while it was read"),
    N_("not supported"),
};

// `translate` is Tr or TrUtf8: the words go out in its encoding.
template <typename Translate>
std::string Known(const std::string& reason, Translate translate) {
    if (CurrentLanguage() == Language::kEnglish) return reason;
    for (const char* known : kKnown) {
        if (reason == known) return translate(known);
    }
    static const char kNoTemporary[] = "no temporary file can be made beside it (";
    const size_t prefix = std::strlen(kNoTemporary);
    if (reason.size() > prefix && reason.compare(0, prefix, kNoTemporary) == 0 &&
        reason.back() == ')') {
        return FillPlaceholders(
            translate(N_("no temporary file can be made beside it ({1})")),
            {Known(reason.substr(prefix, reason.size() - prefix - 1), translate)});
    }
    return reason;
}

}  // namespace

std::string SystemText(const std::string& reason) {
    return Known(reason, [](const char* message) { return Tr(message); });
}

std::string SystemTextUtf8(const std::string& reason) {
    return Known(reason, [](const char* message) { return TrUtf8(message); });
}

}  // namespace vkcdict
