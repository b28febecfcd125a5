#include "vkcdict/files/Output.h"

#include <cerrno>
#include <cstring>

#include "vkcdict/i18n/SystemText.h"
#include "vkcdict/i18n/Translate.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace vkcdict {

namespace {

// Buffer of the output stream: writers issue many small pieces.
constexpr size_t kStreamBuffer = 1 << 20;

// Set by --force for the one command a run executes.
bool g_force = false;
bool g_stdoutReported = false;

}  // namespace

bool SafeOutput::Open(const std::string& target, Diagnostics& diagnostics,
                      const std::string& modeOf, bool createNew) {
    file_.Discard();
    target_ = target;
    standardOutput_ = target == "-";
    if (standardOutput_) {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        stream_ = stdout;
        return true;
    }
    fileio::AtomicFileOptions options;
    options.force = g_force;
    options.createNew = createNew;
    if (!modeOf.empty()) options.modeOf = modeOf.c_str();
    if (!file_.Open(target, options)) {
        stream_ = nullptr;
        if (file_.exists()) return false;
        // A refusal of a read-only file has one reason, said in one sentence.
        diagnostics.Error(
            target, 0,
            file_.refusedReadOnly()
                ? std::string(Tr("cannot write: it is read-only (--force replaces it)"))
                : Tr("cannot write: {1}", {SystemText(file_.error())}));
        return false;
    }
    if (!file_.warning().empty()) diagnostics.Warning(target, 0, file_.warning());
    stream_ = file_.stream();
    std::setvbuf(stream_, nullptr, _IOFBF, kStreamBuffer);
    return true;
}

bool SafeOutput::Commit(Diagnostics& diagnostics) {
    if (stream_ == nullptr) return false;
    stream_ = nullptr;
    if (standardOutput_) {
        const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
        if (!written) {
            diagnostics.Error("-", 0, Tr("cannot write: {1}", {SystemText(std::strerror(errno))}));
            g_stdoutReported = true;
        }
        return written;
    }
    if (file_.Commit()) return true;
    diagnostics.Error(target_, 0,
                      file_.direct() ? Tr("cannot write: {1}", {SystemText(file_.error())})
                                     : Tr("cannot write: {1}; the file is left as it was",
                                          {SystemText(file_.error())}));
    return false;
}

bool StdoutFailureReported() {
    return g_stdoutReported;
}

void AddForceFlag(Command& command) {
    command.Flag(
        "--force", [] { g_force = true; }, "replace a read-only output file (its mode is kept)");
}

bool OutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs,
                     Diagnostics& diagnostics) {
    if (output == "-") return true;
    for (const std::string& input : inputs) {
        if (input != "-" && fileio::SameFile(output, input)) {
            diagnostics.Error(
                output, 0,
                Tr("refusing to overwrite an input ({1}); name another output file", {input}));
            return false;
        }
    }
    return true;
}

}  // namespace vkcdict
