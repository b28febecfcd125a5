// What only the real Win32 functions enforce, run on Windows (or Wine) only:
// share modes, the read-only attribute, the real working directory and the
// names the file functions accept. The POSIX layer's own tests cover the
// rest of the layer on POSIX.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/VKCStringDict.h"
#include "fileio/FileRange.h"

namespace {

using samples::DictionaryText;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

// Holds a file open for reading and writing with no sharing, as an editor
// that locks its file does.
class LockedFile {
public:
    explicit LockedFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~LockedFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Restores the working directory that the test changed with
// SetCurrentDirectoryA.
class ScopedWin32Cwd {
public:
    explicit ScopedWin32Cwd(const char* dir) {
        GetCurrentDirectoryA(MAX_PATH, previous_);
        changed_ = SetCurrentDirectoryA(dir) != 0;
    }
    ~ScopedWin32Cwd() { SetCurrentDirectoryA(previous_); }
    bool changed() const { return changed_; }

private:
    char previous_[MAX_PATH];
    bool changed_;
};

TEST(WindowsOnly, ALockedDictionaryIsNotLoadedAndThePreviousRecordsStay) {
    TempDir dir;
    const std::string file = dir.File("dict.txt");
    WriteBytes(file, DictionaryText({{"Start", "Go", ""}}));
    VKCStringDict dict;
    ASSERT_EQ(dict.LoadFromTXTFileA(file.c_str()), 1u);
    WriteBytes(file, DictionaryText({{"Other", "X", ""}, {"Start", "Y", ""}}));
    {
        LockedFile lock(file);
        ASSERT_TRUE(lock.held());
        EXPECT_EQ(dict.LoadFromTXTFileA(file.c_str()), 0u);
        EXPECT_EQ(dict.count, 1u);
        ASSERT_NE(dict.FindStringA("Start"), nullptr);
        EXPECT_STREQ(dict.FindStringA("Start")->chi, "Go");
    }
    EXPECT_EQ(dict.LoadFromTXTFileA(file.c_str()), 2u);
}

TEST(WindowsOnly, ALockedScriptMakesVkcsubstWriteNothing) {
    TempDir dir;
    WriteBytes(dir.File("script.txt"), "[Start]");
    WriteBytes(dir.File("dict.txt"), DictionaryText({{"Start", "Go", ""}}));
    testutil::ScopedCwd cwd(dir.path());
    {
        LockedFile lock(dir.File("script.txt"));
        ASSERT_TRUE(lock.held());
        EXPECT_EQ(testutil::RunProgram(VKCSUBST_PATH, {"2", "script.txt", "dict.txt", "out.txt"}),
                  0);
        EXPECT_FALSE(testutil::Exists(dir.File("out.txt")));
    }
    EXPECT_EQ(testutil::RunProgram(VKCSUBST_PATH, {"2", "script.txt", "dict.txt", "out.txt"}), 0);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "[Go]");
}

TEST(WindowsOnly, WritingToAReadOnlyFileClearsTheAttributeAndAppends) {
    TempDir dir;
    const std::string file = dir.File("saved.txt");
    WriteBytes(file, "0123");
    ASSERT_TRUE(testutil::MakeReadOnly(file));
    ASSERT_NE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(WriteFileRangeA(file.c_str(), "abc", -1, 3, OPEN_ALWAYS), 3);
    EXPECT_EQ(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(ReadBytes(file), "0123abc");
}

// A bare name is joined to the real working directory with one backslash,
// also at a drive root, whose name already ends in one.
TEST(WindowsOnly, ABareNameResolvesFromTheWorkingDirectoryAlsoAtADriveRoot) {
    TempDir dir;
    const std::string text = DictionaryText({{"Start", "Go", ""}});
    WriteBytes(dir.File("dict.txt"), text);
    {
        ScopedWin32Cwd cwd(dir.path().c_str());
        ASSERT_TRUE(cwd.changed());
        VKCStringDict dict;
        EXPECT_EQ(dict.LoadFromTXTFileA("dict.txt"), 1u);
        char real[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, real);
        EXPECT_EQ(std::string(dict.path), std::string(real) + "\\dict.txt");
    }
    const std::string name = "vkc-root-" + std::to_string(GetCurrentProcessId()) + ".txt";
    const std::string atRoot = "C:\\" + name;
    WriteBytes(atRoot, text);
    {
        ScopedWin32Cwd cwd("C:\\");
        ASSERT_TRUE(cwd.changed());
        VKCStringDict dict;
        EXPECT_EQ(dict.LoadFromTXTFileA(name.c_str()), 1u);
        EXPECT_EQ(std::string(dict.path), atRoot);
    }
    DeleteFileA(atRoot.c_str());
}

// Only a backslash makes a name a path: forward slashes after a bare name
// are passed on to CreateFileA, which takes them as separators; a drive path
// written with forward slashes is joined to the working directory and so
// names no file.
TEST(WindowsOnly, ForwardSlashesAndNamesNearMaxPath) {
    TempDir dir;
    testutil::MakeDir(dir.File("sub"));
    WriteBytes(dir.File("sub/dict.txt"), DictionaryText({{"Start", "Go", ""}}));
    ScopedWin32Cwd cwd(dir.path().c_str());
    ASSERT_TRUE(cwd.changed());
    VKCStringDict dict;
    EXPECT_EQ(dict.LoadFromTXTFileA("sub/dict.txt"), 1u);
    std::string forward = dir.File("sub/dict.txt");
    for (char& c : forward) c = c == '\\' ? '/' : c;
    EXPECT_EQ(dict.LoadFromTXTFileA(forward.c_str()), 0u);
    EXPECT_EQ(dict.count, 1u);

    // A resolved path of 259 bytes is the longest the loader and CreateFileA
    // take; one more byte is refused before any file is opened.
    char real[MAX_PATH];
    const size_t length = GetCurrentDirectoryA(MAX_PATH, real);
    ASSERT_LT(length, 250u) << "temporary folder too deep for this test";
    const std::string longest(259 - length - 1, 'n');
    ASSERT_LE(longest.size(), 255u);  // the longest name of one component
    WriteBytes(dir.File(longest), DictionaryText({{"A", "1", ""}, {"B", "2", ""}}));
    EXPECT_EQ(dict.LoadFromTXTFileA(longest.c_str()), 2u);
    EXPECT_EQ(std::string(dict.path).size(), 259u);
    EXPECT_EQ(dict.LoadFromTXTFileA((longest + "x").c_str()), 0u);
    EXPECT_EQ(dict.count, 2u);
}

}  // namespace
