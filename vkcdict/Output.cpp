#include "vkcdict/Output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vkcdict {

namespace fs = std::filesystem;

namespace {

// Buffer of the output stream: writers issue many small pieces.
constexpr size_t kStreamBuffer = 1 << 20;

// Creates a new, empty file named `base` plus a unique suffix and opens it
// for writing; its name goes to `*name`.
FILE* CreateTemporary(const std::string& base, std::string* name) {
    std::string pattern = base + ".vkcdict-XXXXXX";
#ifdef _WIN32
    if (_mktemp_s(&pattern[0], pattern.size() + 1) != 0) return nullptr;
    FILE* file = std::fopen(pattern.c_str(), "wb");
#else
    int fd = mkstemp(&pattern[0]);
    if (fd >= 0) {
        // mkstemp makes the file private (0600); the output gets the
        // permissions any new file gets (0666 less the umask).
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (fd >= 0 && file == nullptr) {
        close(fd);
        unlink(pattern.c_str());
    }
#endif
    if (file != nullptr) *name = pattern;
    return file;
}

}  // namespace

SafeOutput::~SafeOutput() {
    Discard();
}

void SafeOutput::Discard() {
    if (stream_ != nullptr && !standardOutput_) std::fclose(stream_);
    stream_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

bool SafeOutput::Open(const std::string& target, Diagnostics& diagnostics) {
    Discard();
    target_ = target;
    standardOutput_ = target == "-";
    if (standardOutput_) {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        stream_ = stdout;
        return true;
    }
    std::error_code error;
    if (fs::is_directory(target, error)) {
        diagnostics.Error(target, 0, "cannot write: it is a folder");
        return false;
    }
    stream_ = CreateTemporary(target, &temporary_);
    if (stream_ == nullptr) {
        diagnostics.Error(target, 0, std::string("cannot write: ") + std::strerror(errno));
        return false;
    }
    std::setvbuf(stream_, nullptr, _IOFBF, kStreamBuffer);
    return true;
}

bool SafeOutput::Commit(Diagnostics& diagnostics) {
    if (stream_ == nullptr) return false;
    bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    std::string reason = written ? "" : std::strerror(errno);
    if (standardOutput_) {
        stream_ = nullptr;
        if (!written) diagnostics.Error("-", 0, "cannot write: " + reason);
        return written;
    }
    if (std::fclose(stream_) != 0 && written) {
        written = false;
        reason = std::strerror(errno);
    }
    stream_ = nullptr;
    if (written) {
        std::error_code error;
        fs::rename(temporary_, target_, error);
        if (!error) {
            temporary_.clear();
            return true;
        }
        reason = error.message();
    }
    diagnostics.Error(target_, 0, "cannot write: " + reason + "; the file is left as it was");
    Discard();
    return false;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error);
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

bool OutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs,
                     Diagnostics& diagnostics) {
    if (output == "-") return true;
    for (const std::string& input : inputs) {
        if (input != "-" && SameFile(output, input)) {
            diagnostics.Error(
                output, 0,
                "refusing to overwrite an input (" + input + "); name another output file");
            return false;
        }
    }
    return true;
}

}  // namespace vkcdict
