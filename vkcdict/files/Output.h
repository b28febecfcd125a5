// Safe output for the commands: the library's AtomicFile (fileio/AtomicFile.h)
// with its failures and notes reported as diagnostics. A file a command
// writes replaces its target only once it is complete; on any failure the
// target keeps its old content and no temporary file stays. "-" names
// standard output, where a command allows it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "fileio/AtomicFile.h"
#include "vkcdict/cli/CommandLine.h"
#include "vkcdict/cli/Diagnostics.h"

namespace vkcdict {

class SafeOutput {
public:
    SafeOutput() = default;
    SafeOutput(const SafeOutput&) = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    // Prepares the output for `target` (or takes standard output for "-").
    // False, with the reason reported against `target`, when it cannot. A
    // read-only target is refused unless --force was given (AddForceFlag).
    // `modeOf`: a new target takes that file's mode (a backup its script's).
    // `createNew`: the target must be a new file (a backup); when its name
    // is taken, nothing is reported and exists() is true.
    bool Open(const std::string& target, Diagnostics& diagnostics, const std::string& modeOf = "",
              bool createNew = false);
    // True when a `createNew` output failed because its name is taken.
    bool exists() const { return file_.exists(); }
    // The stream to write to; valid between a successful Open() and Commit().
    FILE* stream() const { return stream_; }
    void Write(const char* data, size_t size) {
        if (size != 0) std::fwrite(data, 1, size, stream_);  // an empty text may have no data
    }
    void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
    // Completes the output. False, with the reason reported, when a write or
    // the replacement failed; the target is then as it was.
    bool Commit(Diagnostics& diagnostics);

private:
    fileio::AtomicFile file_;
    std::string target_;
    FILE* stream_ = nullptr;
    bool standardOutput_ = false;
};

// True once a SafeOutput has reported a failed write on standard output, so
// that main() does not report it again.
bool StdoutFailureReported();

// Gives a writing command the flag --force, which lets its outputs replace
// read-only files.
void AddForceFlag(Command& command);

// Refuses an output that names one of `inputs`: reports it and returns false.
bool OutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs,
                     Diagnostics& diagnostics);

}  // namespace vkcdict
