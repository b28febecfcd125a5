// Safe output. A file a command writes is first written to a temporary file
// beside its target and renamed over the target only once it is complete and
// flushed, so that on any failure the target keeps its old content and the
// temporary file is removed. "-" names standard output, where a command
// allows it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "vkcdict/Diagnostics.h"

namespace vkcdict {

class SafeOutput {
public:
    SafeOutput() = default;
    // Removes the temporary file unless Commit() succeeded.
    ~SafeOutput();
    SafeOutput(const SafeOutput&) = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    // Creates the temporary file for `target` (or takes standard output for
    // "-"). False, with the reason reported against `target`, when it cannot.
    bool Open(const std::string& target, Diagnostics& diagnostics);
    // The stream to write to; valid between a successful Open() and Commit().
    FILE* stream() const { return stream_; }
    void Write(const char* data, size_t size) {
        if (size != 0) std::fwrite(data, 1, size, stream_);  // an empty text may have no data
    }
    void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
    // Flushes and closes the temporary file and renames it over the target.
    // False, with the reason reported, when a write, the close or the rename
    // failed; the target is then untouched and the temporary file gone.
    bool Commit(Diagnostics& diagnostics);

private:
    void Discard();

    std::string target_;
    std::string temporary_;
    FILE* stream_ = nullptr;
    bool standardOutput_ = false;
};

// True when `a` and `b` name the same file (an existing file by identity,
// otherwise by normalised path).
bool SameFile(const std::string& a, const std::string& b);

// Refuses an output that names one of `inputs`: reports it and returns false.
bool OutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs,
                     Diagnostics& diagnostics);

}  // namespace vkcdict
