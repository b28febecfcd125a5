// The file range writer: real files through the platform's entry points, and
// fake entry points that record the calls it makes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "fileio/FileRange.h"

namespace {

using testutil::Exists;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

TEST(WriteFileRange, DispositionsOnExistingAndMissingFiles) {
    // Three bytes at offset 0, over a 10-byte file or where no file is.
    const struct {
        DWORD disposition;
        bool exists;
        int32_t result;
        const char* after;  // null: no file afterwards
    } cases[] = {
        {CREATE_NEW, true, -1, "0123456789"},   {CREATE_NEW, false, 3, "abc"},
        {CREATE_ALWAYS, true, 3, "abc"},        {CREATE_ALWAYS, false, 3, "abc"},
        {OPEN_EXISTING, true, 3, "abc3456789"}, {OPEN_EXISTING, false, -1, nullptr},
        {OPEN_ALWAYS, true, 3, "abc3456789"},   {OPEN_ALWAYS, false, 3, "abc"},
        {TRUNCATE_EXISTING, true, 3, "abc"},    {TRUNCATE_EXISTING, false, -1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.disposition) + (c.exists ? " existing" : " missing"));
        TempDir dir;
        const std::string path = dir.File("f");
        if (c.exists) WriteBytes(path, "0123456789");
        EXPECT_EQ(WriteFileRangeA(path.c_str(), "abcdef", 0, 3, c.disposition), c.result);
        EXPECT_EQ(Exists(path), c.after != nullptr);
        if (c.after != nullptr) {
            EXPECT_EQ(ReadBytes(path), c.after);
        }
    }
}

TEST(WriteFileRange, PositionAndLength) {
    TempDir dir;
    const std::string path = dir.File("f");
    // Appends create the file and leave the pieces in order; count 0 stops at the NUL.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "head,\0x", -1, 0, OPEN_ALWAYS), 5);
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "tail", -1, 4, OPEN_ALWAYS), 4);
    // Inside the file: overwritten in place, never shortened.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "HE", 0, 2, OPEN_ALWAYS), 2);
    EXPECT_EQ(ReadBytes(path), "HEad,tail");
    // Beyond the end: the gap reads as zero bytes.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "!", 11, 1, OPEN_EXISTING), 1);
    EXPECT_EQ(ReadBytes(path), std::string("HEad,tail\0\0!", 12));
    // Only the low 32 bits of a count: 2^32 writes nothing, 2^32 + 1 one byte.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "?", -1, 1ULL << 32, OPEN_ALWAYS), 0);
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "?", -1, (1ULL << 32) + 1, OPEN_ALWAYS), 1);
    EXPECT_EQ(ReadBytes(path).size(), 13u);
    // A read-only file is made writable first.
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "+", -1, 0, OPEN_ALWAYS), 1);
    EXPECT_EQ(ReadBytes(path).back(), '+');
    // An empty text still creates the file.
    EXPECT_EQ(WriteFileRangeA(dir.File("empty").c_str(), "", -1, 0, OPEN_ALWAYS), 0);
    EXPECT_TRUE(Exists(dir.File("empty")));
}

// ---- Fake entry points: each logs its call; the one named `failing`
// reports failure, the one named `throwing` throws.

struct Script {
    std::vector<std::string> calls;
    std::string failing;
    std::string throwing;
};
Script* g_script = nullptr;
const HANDLE kHandle = reinterpret_cast<HANDLE>(0x1234);

bool Call(const char* name, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool Call(const char* name, const char* format, ...) {
    char arguments[512];
    va_list list;
    va_start(list, format);
    vsnprintf(arguments, sizeof arguments, format, list);
    va_end(list);
    g_script->calls.push_back(std::string(name) + "(" + arguments + ")");
    if (g_script->throwing == name) throw std::runtime_error(name);
    return g_script->failing != name;
}

BOOL WINAPI FakeAttributes(LPCSTR path, DWORD attributes) {
    return Call("SetFileAttributesA", "%s,%x", path, attributes);
}
HANDLE WINAPI FakeCreate(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile) {
    return Call("CreateFileA", "%s,%x,%x,%d,%u,%x,%d", path, access, share, security != nullptr,
                disposition, flags, templateFile != nullptr)
               ? kHandle
               : INVALID_HANDLE_VALUE;
}
DWORD WINAPI FakeSeek(HANDLE file, LONG low, PLONG high, DWORD method) {
    Call("SetFilePointer", "%d,%x,%s,%u", file == kHandle, static_cast<uint32_t>(low),
         high != nullptr ? std::to_string(*high).c_str() : "null", method);
    return static_cast<DWORD>(low);
}
BOOL WINAPI FakeWrite(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    *written = count > 2 ? count - 1 : count;  // short, and no failure
    return Call("WriteFile", "%d,%.*s,%u,%d", file == kHandle, static_cast<int>(count),
                static_cast<const char*>(data), count, overlapped != nullptr);
}
BOOL WINAPI FakeClose(HANDLE file) {
    return Call("CloseHandle", "%d", file == kHandle);
}

class WriteFileRangeFake : public testing::Test {
protected:
    void SetUp() override { g_script = &script_; }
    void TearDown() override { g_script = nullptr; }
    int32_t Run(const char* path, const char* data, int64_t offset, uint64_t count) {
        return WriteFileRangeA(path, data, offset, count, CREATE_NEW, FakeCreate, FakeWrite,
                               FakeAttributes, FakeSeek, FakeClose);
    }
    Script script_;
};

// One cycle: reset attributes, open (write access, shared with writers, no
// security attributes, the disposition, normal attributes, no template),
// position, write, close.
std::vector<std::string> Cycle(const std::string& seek, const std::string& write) {
    return {"SetFileAttributesA(C:\\d.txt,80)", "CreateFileA(C:\\d.txt,40000000,2,0,1,80,0)", seek,
            write, "CloseHandle(1)"};
}

TEST_F(WriteFileRangeFake, CallsEachOperationOnceInOrder) {
    EXPECT_EQ(Run("C:\\d.txt", "abcdef", (5LL << 32) + 7, (1ULL << 32) + 4), 3);
    EXPECT_EQ(script_.calls, Cycle("SetFilePointer(1,7,5,0)", "WriteFile(1,abcd,4,0)"));
    script_.calls.clear();  // offset -1: the end, with no high half; count 0: up to the NUL
    EXPECT_EQ(Run("C:\\d.txt", "ab\0cd", -1, 0), 2);
    EXPECT_EQ(script_.calls, Cycle("SetFilePointer(1,0,null,2)", "WriteFile(1,ab,2,0)"));
    script_.calls.clear();  // any other offset: from the start, both halves whole
    EXPECT_EQ(Run("C:\\d.txt", "ab", -2, 1), 1);
    EXPECT_EQ(script_.calls, Cycle("SetFilePointer(1,fffffffe,-1,0)", "WriteFile(1,a,1,0)"));
    script_.calls.clear();  // null path or data: no call at all
    EXPECT_EQ(Run(nullptr, "ab", -1, 0), -1);
    EXPECT_EQ(Run("C:\\d.txt", nullptr, -1, 1), -1);
    EXPECT_TRUE(script_.calls.empty());
}

TEST_F(WriteFileRangeFake, FailuresAndExceptionsCloseAnOpenHandleOnce) {
    const struct {
        const char* failing;
        const char* throwing;
        int32_t result;
        size_t calls;  // the close, when there is one, is the last
        bool closes;
    } cases[] = {
        {"SetFileAttributesA", "", 3, 5, true},  // ignored
        {"SetFilePointer", "", 3, 5, true},      // not detected
        {"CreateFileA", "", -1, 2, false},      {"WriteFile", "", -1, 5, true},
        {"CloseHandle", "", 3, 5, true},        {"", "SetFileAttributesA", -1, 1, false},
        {"", "CreateFileA", -1, 2, false},      {"", "SetFilePointer", -1, 4, true},
        {"", "WriteFile", -1, 5, true},         {"", "CloseHandle", -1, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.failing) + c.throwing);
        script_ = Script();
        script_.failing = c.failing;
        script_.throwing = c.throwing;
        EXPECT_EQ(Run("d.txt", "abcd", -1, 4), c.result);
        ASSERT_EQ(script_.calls.size(), c.calls);
        int closes = 0;
        for (const std::string& call : script_.calls) closes += call == "CloseHandle(1)";
        EXPECT_EQ(closes, c.closes ? 1 : 0);
        if (c.closes) {
            EXPECT_EQ(script_.calls.back(), "CloseHandle(1)");
        }
    }
}

}  // namespace
