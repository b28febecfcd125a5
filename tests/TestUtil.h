// Small verbs shared by the tests: a temporary folder that removes itself, a
// scoped change of the working directory, whole-file reads and writes.
#pragma once

#include <string>

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

}  // namespace testutil
