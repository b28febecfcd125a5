#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "fileio/FileRange.h"

namespace {

using testutil::TempDir;
using testutil::WriteBytes;

// ---- Real files through the platform's entry points

TEST(ReadFileRange, SizeQueries) {
    TempDir dir;
    WriteBytes(dir.File("empty"), "");
    WriteBytes(dir.File("six"), "abcdef");
    EXPECT_EQ(ReadFileRangeA(dir.File("empty").c_str(), nullptr, 0, 0), 0);
    EXPECT_EQ(ReadFileRangeA(dir.File("six").c_str(), nullptr, 3, 100), 6);
    EXPECT_EQ(ReadFileRangeA(dir.File("missing").c_str(), nullptr, 0, 0), -1);
    EXPECT_EQ(ReadFileRangeA(dir.path().c_str(), nullptr, 0, 0), -1);
    EXPECT_EQ(ReadFileRangeA(nullptr, nullptr, 0, 0), -1);
}

TEST(ReadFileRange, ReadsUpToTheEndOfTheFile) {
    TempDir dir;
    const std::string path = dir.File("six");
    WriteBytes(path, "abcdef");
    char buffer[8] = "-------";
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 4, 4), 2);
    EXPECT_STREQ(buffer, "ef-----");
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 6, 4), 0);
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 1000, 4), 0);
    // Only the low 32 bits of the count reach the read.
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 1, (1ULL << 32) + 3), 3);
    EXPECT_STREQ(buffer, "bcd----");
    // A negative offset cannot be set, so the read starts at the beginning.
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, -2, 3), 3);
    EXPECT_STREQ(buffer, "abc----");
}

TEST(ReadFileRange, FilesOf4GiBAndMoreReportTheLowHalfOfTheirSize) {
    TempDir dir;
    const std::string path = dir.File("sparse");
    testutil::MakeSparseFile(path, (1LL << 32) + 10);
    EXPECT_EQ(ReadFileRangeA(path.c_str(), nullptr, 0, 0), 10);
    // The whole 64-bit offset reaches the seek.
    char buffer[4] = {1, 1, 1, 1};
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, (1LL << 32) + 8, 4), 2);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[2], 1);
}

// ---- Replaced entry points

// What the fake operating system does and what it was asked, one line per call.
struct Script {
    std::vector<std::string> calls;
    std::string failing;   // the operation that reports failure
    std::string throwing;  // the operation that throws
    DWORD sizeLow = 6;
    DWORD sizeHigh = 0;
    DWORD bytesRead = 2;
};
Script* g_script = nullptr;

const HANDLE kHandle = reinterpret_cast<HANDLE>(0x1234);

std::string Hex(uint64_t value) {
    char text[24];
    snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}
std::string Hex(const void* pointer) {
    return pointer == nullptr ? "null" : Hex(reinterpret_cast<uintptr_t>(pointer));
}

// Logs the call, then throws when the script says so.
bool Call(const std::string& name, const std::string& arguments) {
    g_script->calls.push_back(name + "(" + arguments + ")");
    if (g_script->throwing == name) throw std::runtime_error(name);
    return g_script->failing != name;
}

HANDLE WINAPI FakeCreate(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile) {
    bool ok = Call("CreateFileA", std::string(path) + "," + Hex(access) + "," + Hex(share) + "," +
                                      Hex(security) + "," + Hex(disposition) + "," + Hex(flags) +
                                      "," + Hex(templateFile));
    return ok ? kHandle : INVALID_HANDLE_VALUE;
}

DWORD WINAPI FakeSize(HANDLE file, LPDWORD high) {
    bool ok = Call("GetFileSize", Hex(file) + "," + (high != nullptr ? "high" : "null"));
    if (high != nullptr) *high = g_script->sizeHigh;
    return ok ? g_script->sizeLow : INVALID_FILE_SIZE;
}

DWORD WINAPI FakeSeek(HANDLE file, LONG low, PLONG high, DWORD method) {
    bool ok =
        Call("SetFilePointer", Hex(file) + "," + Hex(static_cast<uint32_t>(low)) + "," +
                                   (high != nullptr ? Hex(static_cast<uint32_t>(*high)) : "null") +
                                   "," + Hex(method));
    return ok ? static_cast<DWORD>(low) : INVALID_SET_FILE_POINTER;
}

BOOL WINAPI FakeRead(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read,
                     LPOVERLAPPED overlapped) {
    bool ok = Call("ReadFile", Hex(file) + "," + (buffer != nullptr ? "buffer" : "null") + "," +
                                   Hex(count) + "," + (read != nullptr ? "read" : "null") + "," +
                                   Hex(overlapped));
    *read = ok ? g_script->bytesRead : 0;
    return ok;
}

BOOL WINAPI FakeClose(HANDLE file) {
    return Call("CloseHandle", Hex(file));
}

BOOL WINAPI CountingClose(HANDLE file) {
    g_script->calls.push_back("CloseHandle");
    return CloseHandle(file);
}

class ReadFileRangeFake : public testing::Test {
protected:
    void SetUp() override { g_script = &script_; }
    void TearDown() override { g_script = nullptr; }

    int32_t Run(void* buffer, int64_t offset, uint64_t count) {
        return ReadFileRangeA("C:\\dict.txt", buffer, offset, count, FakeCreate, FakeRead, FakeSize,
                              FakeSeek, FakeClose);
    }
    int Closes() const {
        int closes = 0;
        for (const std::string& call : script_.calls) closes += call.rfind("CloseHandle", 0) == 0;
        return closes;
    }

    Script script_;
};

TEST_F(ReadFileRangeFake, ReadCallsEachOperationOnceInOrder) {
    char buffer[8];
    EXPECT_EQ(Run(buffer, (1LL << 32) + 5, (1ULL << 32) + 4), 2);
    const std::vector<std::string> expected = {
        "CreateFileA(C:\\dict.txt,80000000,1,null,3,80,null)",
        "GetFileSize(1234,high)",
        "SetFilePointer(1234,5,1,0)",
        "ReadFile(1234,buffer,4,read,null)",
        "CloseHandle(1234)",
    };
    EXPECT_EQ(script_.calls, expected);
}

TEST_F(ReadFileRangeFake, SizeQuerySeeksButDoesNotRead) {
    script_.sizeLow = 10;
    script_.sizeHigh = 1;
    EXPECT_EQ(Run(nullptr, -2, 100), 10);
    const std::vector<std::string> expected = {
        "CreateFileA(C:\\dict.txt,80000000,1,null,3,80,null)",
        "GetFileSize(1234,high)",
        "SetFilePointer(1234,fffffffe,ffffffff,0)",
        "CloseHandle(1234)",
    };
    EXPECT_EQ(script_.calls, expected);
    script_.sizeLow = 0x80000000u;  // the low 32 bits, as a signed result
    EXPECT_EQ(Run(nullptr, 0, 0), INT32_MIN);
}

TEST_F(ReadFileRangeFake, NullPathOrFailedOpenCallsNothingMore) {
    EXPECT_EQ(
        ReadFileRangeA(nullptr, nullptr, 0, 0, FakeCreate, FakeRead, FakeSize, FakeSeek, FakeClose),
        -1);
    EXPECT_TRUE(script_.calls.empty());
    script_.failing = "CreateFileA";
    char buffer[4];
    EXPECT_EQ(Run(buffer, 0, 4), -1);
    EXPECT_EQ(script_.calls.size(), 1u);
}

TEST_F(ReadFileRangeFake, FailedReadClosesTheHandleOnce) {
    script_.failing = "ReadFile";
    char buffer[4];
    EXPECT_EQ(Run(buffer, 0, 4), -1);
    ASSERT_EQ(script_.calls.size(), 5u);
    EXPECT_EQ(script_.calls.back(), "CloseHandle(1234)");
    EXPECT_EQ(Closes(), 1);
}

TEST_F(ReadFileRangeFake, FailedSizeAndSeekAreNotDetected) {
    char buffer[4];
    script_.failing = "SetFilePointer";
    EXPECT_EQ(Run(buffer, -2, 4), 2);
    script_.failing = "GetFileSize";
    EXPECT_EQ(Run(buffer, 0, 4), 2);
    EXPECT_EQ(Run(nullptr, 0, 0), -1);  // INVALID_FILE_SIZE reads as -1
}

TEST_F(ReadFileRangeFake, ThrowingEntryPointsGiveMinusOneAndCloseTheHandle) {
    // After the throwing call (at `at`) comes the close, once, and nothing else.
    const struct {
        const char* name;
        size_t at;
        size_t calls;
    } cases[] = {{"CreateFileA", 0, 1},
                 {"GetFileSize", 1, 3},
                 {"SetFilePointer", 2, 4},
                 {"ReadFile", 3, 5},
                 {"CloseHandle", 4, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        script_ = Script();
        script_.throwing = c.name;
        char buffer[4];
        EXPECT_EQ(Run(buffer, 0, 4), -1);
        ASSERT_EQ(script_.calls.size(), c.calls);
        EXPECT_EQ(script_.calls[c.at].rfind(c.name, 0), 0u);
        EXPECT_EQ(Closes(), c.at == 0 ? 0 : 1);
        if (c.at > 0) {
            EXPECT_EQ(script_.calls.back(), "CloseHandle(1234)");
        }
    }
}

TEST_F(ReadFileRangeFake, NullEntryPointsSelectThePlatformsOwn) {
    TempDir dir;
    const std::string path = dir.File("six");
    WriteBytes(path, "abcdef");
    char buffer[3];
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 3, 3, nullptr, nullptr, nullptr, nullptr,
                             CountingClose),
              3);
    EXPECT_EQ(std::string(buffer, 3), "def");
    EXPECT_EQ(script_.calls, std::vector<std::string>{"CloseHandle"});
}

}  // namespace
