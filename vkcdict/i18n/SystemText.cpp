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

}  // namespace

std::string SystemText(const std::string& reason) {
    if (CurrentLanguage() == Language::kEnglish) return reason;
    for (const char* known : kKnown) {
        if (reason == known) return Tr(known);
    }
    static const char kNoTemporary[] = "no temporary file can be made beside it (";
    const size_t prefix = std::strlen(kNoTemporary);
    if (reason.size() > prefix && reason.compare(0, prefix, kNoTemporary) == 0 &&
        reason.back() == ')') {
        return Tr("no temporary file can be made beside it ({1})",
                  {SystemText(reason.substr(prefix, reason.size() - prefix - 1))});
    }
    return reason;
}

}  // namespace vkcdict
