// Small verbs shared by the tests: a temporary folder that removes itself, a
// scoped change of the working directory, whole-file reads and writes, and
// running a built program. They work alike on POSIX and on Windows.
#pragma once

#include <string>
#include <vector>

namespace testutil {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

// Changes the working directory for its lifetime.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir);
    ~ScopedCwd();
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    std::string previous_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
// The file's bytes; fails the current test when it cannot be read.
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
// Makes a sparse file of `size` bytes (all zero).
void MakeSparseFile(const std::string& path, long long size);
// Takes away every write permission (on Windows: sets the read-only
// attribute); true on success.
bool MakeReadOnly(const std::string& path);
// Removes a file, read-only or not; true on success.
bool RemoveFile(const std::string& path);
// Creates one folder; true on success.
bool MakeDir(const std::string& path);
// The process's current directory.
std::string CurrentDir();
// Sets (or, with a null value, removes) an environment variable.
void SetEnv(const char* name, const char* value);

// Runs `program` with `args`, each passed as one argument, through the
// system's shell, in the current directory. Standard input, output and error
// are redirected from and to the named files; an empty name leaves the stream
// as it is. Returns the program's exit status, or -1 when it did not exit
// normally. On POSIX, a `timeLimit` of seconds (0: none) kills a run that
// would wait for ever, which then returns 137, so that a test of something
// that must not wait fails instead of hanging.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::string& stdinFile = "", const std::string& stdoutFile = "",
               const std::string& stderrFile = "", int timeLimit = 0);

}  // namespace testutil
