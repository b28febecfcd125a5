#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace testutil {

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate =
            fs::temp_directory_path() / ("vkc-test-" + std::to_string(random() % 1000000000));
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
    }
    ADD_FAILURE() << "cannot make a temporary folder";
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    // Read-only files made by tests must not stop the clean-up.
    for (auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
#ifdef _WIN32
        SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
#else
        chmod(entry.path().c_str(), 0700);
#endif
    }
    fs::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const {
    return path_ + "/" + name;
}

ScopedCwd::ScopedCwd(const std::string& dir) {
    previous_ = fs::current_path().string();
    fs::current_path(dir);
}

ScopedCwd::~ScopedCwd() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
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
    std::error_code ignored;
    return fs::exists(path, ignored);
}

void MakeSparseFile(const std::string& path, long long size) {
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    std::error_code error;
    fs::resize_file(path, static_cast<uintmax_t>(size), error);
    ASSERT_FALSE(error) << path << ": " << error.message();
}

bool MakeReadOnly(const std::string& path) {
#ifdef _WIN32
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
#else
    return chmod(path.c_str(), 0444) == 0;
#endif
}

bool RemoveFile(const std::string& path) {
#ifdef _WIN32
    // Windows refuses to delete a read-only file.
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
    return std::remove(path.c_str()) == 0;
}

bool MakeDir(const std::string& path) {
    std::error_code error;
    return fs::create_directory(path, error);
}

std::string CurrentDir() {
    return fs::current_path().string();
}

void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

namespace {

std::string Quote(const std::string& arg) {
#ifdef _WIN32
    // cmd.exe and the C runtime's argument splitting: double quotes, with
    // inner quotes doubled-backslashed; the tests' arguments hold none.
    return "\"" + arg + "\"";
#else
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::string& stdinFile, const std::string& stdoutFile,
               const std::string& stderrFile, int timeLimit) {
    std::string command = Quote(program);
#ifndef _WIN32
    if (timeLimit > 0) command = "timeout -s KILL " + std::to_string(timeLimit) + " " + command;
#else
    (void)timeLimit;
#endif
    for (const std::string& arg : args) command += " " + Quote(arg);
    if (!stdinFile.empty()) command += " <" + Quote(stdinFile);
    if (!stdoutFile.empty()) command += " >" + Quote(stdoutFile);
    if (!stderrFile.empty()) command += " 2>" + Quote(stderrFile);
#ifdef _WIN32
    // cmd.exe /c strips the outer quotes of a line that starts with one.
    command = "\"" + command + "\"";
    std::fflush(nullptr);
    return std::system(command.c_str());
#else
    std::fflush(nullptr);
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace testutil
