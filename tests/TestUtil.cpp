#include "TestUtil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace testutil {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vkc-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    path_ = buffer.data();
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    // Read-only files made by tests must not stop the clean-up.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        chmod(entry.path().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const {
    return path_ + "/" + name;
}

ScopedCwd::ScopedCwd(const std::string& dir) {
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
}

ScopedCwd::~ScopedCwd() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return std::string();
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

void MakeSparseFile(const std::string& path, long long size) {
    int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    close(fd);
}

}  // namespace testutil
