#include <gtest/gtest.h>
#include <sys/stat.h>

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

// ---- Real files through the platform's entry points

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
        if (c.after == nullptr) {
            EXPECT_FALSE(Exists(path));
        } else {
            EXPECT_EQ(ReadBytes(path), c.after);
        }
    }
}

TEST(WriteFileRange, PositionsAtTheOffsetOrTheEnd) {
    TempDir dir;
    const std::string path = dir.File("f");
    // Appends create the file and leave the pieces in order.
    int32_t total = 0;
    for (const char* piece : {"head,", "body,", "tail"}) {
        total += WriteFileRangeA(path.c_str(), piece, -1, 0, OPEN_ALWAYS);
    }
    EXPECT_EQ(ReadBytes(path), "head,body,tail");
    EXPECT_EQ(total, 14);

    // Inside the file: overwritten in place, never shortened.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "BODY", 5, 4, OPEN_ALWAYS), 4);
    EXPECT_EQ(ReadBytes(path), "head,BODY,tail");

    // Beyond its end: the gap reads as zero bytes.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "!", 16, 1, OPEN_EXISTING), 1);
    EXPECT_EQ(ReadBytes(path), std::string("head,BODY,tail\0\0!", 17));

    // A negative position cannot be set: the write begins at the start.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "H", -2, 1, OPEN_EXISTING), 1);
    EXPECT_EQ(ReadBytes(path).substr(0, 5), "Head,");
}

TEST(WriteFileRange, LengthComesFromTheCountOrTheNul) {
    TempDir dir;
    const std::string path = dir.File("f");
    const char data[] = "ab\0cd";
    EXPECT_EQ(WriteFileRangeA(path.c_str(), data, -1, 0, OPEN_ALWAYS), 2);
    EXPECT_EQ(WriteFileRangeA(path.c_str(), data, -1, 5, OPEN_ALWAYS), 5);
    EXPECT_EQ(ReadBytes(path), std::string("abab\0cd", 7));

    // Only the low 32 bits of the count: 2^32 writes nothing, 2^32 + 2 two bytes.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), data, -1, 1ULL << 32, OPEN_ALWAYS), 0);
    EXPECT_EQ(WriteFileRangeA(path.c_str(), data, -1, (1ULL << 32) + 2, OPEN_ALWAYS), 2);
    EXPECT_EQ(ReadBytes(path), std::string("abab\0cdab", 9));

    // An empty text still creates the file.
    const std::string empty = dir.File("empty");
    EXPECT_EQ(WriteFileRangeA(empty.c_str(), "", -1, 0, OPEN_ALWAYS), 0);
    EXPECT_TRUE(Exists(empty));
    EXPECT_EQ(ReadBytes(empty), "");
}

TEST(WriteFileRange, ReadOnlyFileIsMadeWritableFirst) {
    TempDir dir;
    const std::string path = dir.File("ro");
    WriteBytes(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "+new", -1, 0, OPEN_ALWAYS), 4);
    EXPECT_EQ(ReadBytes(path), "old+new");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
}

TEST(WriteFileRange, RefusedTargets) {
    TempDir dir;
    EXPECT_EQ(WriteFileRangeA(nullptr, "x", -1, 0, OPEN_ALWAYS), -1);
    EXPECT_EQ(WriteFileRangeA(dir.File("f").c_str(), nullptr, -1, 1, OPEN_ALWAYS), -1);
    EXPECT_FALSE(Exists(dir.File("f")));
    EXPECT_EQ(WriteFileRangeA(dir.File("no/such/dir").c_str(), "x", -1, 0, OPEN_ALWAYS), -1);
    EXPECT_EQ(WriteFileRangeA(dir.path().c_str(), "x", -1, 0, OPEN_ALWAYS), -1);
}

// ---- Replaced entry points

// What the fake operating system does and what it was asked, one line per call.
struct Script {
    std::vector<std::string> calls;
    std::string failing;   // the operation that reports failure
    std::string throwing;  // the operation that throws
    DWORD written = 3;     // what a successful write reports
};
Script* g_script = nullptr;

const HANDLE kHandle = reinterpret_cast<HANDLE>(0x1234);
const char kData[] = "abcdef";

std::string Hex(uint64_t value) {
    char text[24];
    snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}
std::string Hex(const void* pointer) {
    if (pointer == nullptr) return "null";
    if (pointer == kData) return "data";
    return Hex(reinterpret_cast<uintptr_t>(pointer));
}

// Logs the call, then throws when the script says so.
bool Call(const std::string& name, const std::string& arguments) {
    g_script->calls.push_back(name + "(" + arguments + ")");
    if (g_script->throwing == name) throw std::runtime_error(name);
    return g_script->failing != name;
}

BOOL WINAPI FakeAttributes(LPCSTR path, DWORD attributes) {
    return Call("SetFileAttributesA", std::string(path) + "," + Hex(attributes));
}

HANDLE WINAPI FakeCreate(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile) {
    bool ok = Call("CreateFileA", std::string(path) + "," + Hex(access) + "," + Hex(share) + "," +
                                      Hex(security) + "," + Hex(disposition) + "," + Hex(flags) +
                                      "," + Hex(templateFile));
    return ok ? kHandle : INVALID_HANDLE_VALUE;
}

DWORD WINAPI FakeSeek(HANDLE file, LONG low, PLONG high, DWORD method) {
    bool ok =
        Call("SetFilePointer", Hex(file) + "," + Hex(static_cast<uint32_t>(low)) + "," +
                                   (high != nullptr ? Hex(static_cast<uint32_t>(*high)) : "null") +
                                   "," + Hex(method));
    return ok ? static_cast<DWORD>(low) : INVALID_SET_FILE_POINTER;
}

BOOL WINAPI FakeWrite(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    bool ok =
        Call("WriteFile", Hex(file) + "," + Hex(data) + "," + Hex(count) + "," +
                              (written != nullptr ? "written" : "null") + "," + Hex(overlapped));
    *written = ok ? g_script->written : 0;
    return ok;
}

BOOL WINAPI FakeClose(HANDLE file) {
    return Call("CloseHandle", Hex(file));
}

BOOL WINAPI CountingClose(HANDLE file) {
    g_script->calls.push_back("CloseHandle");
    return CloseHandle(file);
}

class WriteFileRangeFake : public testing::Test {
protected:
    void SetUp() override { g_script = &script_; }
    void TearDown() override { g_script = nullptr; }

    int32_t Run(int64_t offset, uint64_t count, DWORD disposition = OPEN_ALWAYS) {
        return WriteFileRangeA("C:\\dict.txt", kData, offset, count, disposition, FakeCreate,
                               FakeWrite, FakeAttributes, FakeSeek, FakeClose);
    }
    int Closes() const {
        int closes = 0;
        for (const std::string& call : script_.calls) closes += call.rfind("CloseHandle", 0) == 0;
        return closes;
    }

    Script script_;
};

TEST_F(WriteFileRangeFake, CallsEachOperationOnceInOrder) {
    EXPECT_EQ(Run((1LL << 32) + 5, (1ULL << 32) + 4, CREATE_NEW), 3);
    const std::vector<std::string> atOffset = {
        "SetFileAttributesA(C:\\dict.txt,80)",
        "CreateFileA(C:\\dict.txt,40000000,2,null,1,80,null)",
        "SetFilePointer(1234,5,1,0)",
        "WriteFile(1234,data,4,written,null)",
        "CloseHandle(1234)",
    };
    EXPECT_EQ(script_.calls, atOffset);

    // Offset -1 moves to the end with no high half; count 0 stops at the NUL.
    script_ = Script();
    EXPECT_EQ(Run(-1, 0), 3);
    const std::vector<std::string> atEnd = {
        "SetFileAttributesA(C:\\dict.txt,80)",
        "CreateFileA(C:\\dict.txt,40000000,2,null,4,80,null)",
        "SetFilePointer(1234,0,null,2)",
        "WriteFile(1234,data,6,written,null)",
        "CloseHandle(1234)",
    };
    EXPECT_EQ(script_.calls, atEnd);

    // Any other negative offset is a position from the start, both halves whole.
    script_ = Script();
    Run(-2, 1);
    EXPECT_EQ(script_.calls[2], "SetFilePointer(1234,fffffffe,ffffffff,0)");
}

TEST_F(WriteFileRangeFake, ResultIsWhatTheWriteReports) {
    script_.written = 2;  // a short write is no failure
    EXPECT_EQ(Run(0, 6), 2);
    // Failed attributes and a failed seek are not looked at.
    script_ = Script();
    script_.failing = "SetFileAttributesA";
    EXPECT_EQ(Run(0, 3), 3);
    script_ = Script();
    script_.failing = "SetFilePointer";
    EXPECT_EQ(Run(-2, 3), 3);
}

TEST_F(WriteFileRangeFake, FailedOpenCallsNothingAfterIt) {
    script_.failing = "CreateFileA";
    EXPECT_EQ(Run(-1, 0), -1);
    EXPECT_EQ(script_.calls.size(), 2u);
    EXPECT_EQ(Closes(), 0);
}

TEST_F(WriteFileRangeFake, FailedWriteClosesTheHandleOnce) {
    script_.failing = "WriteFile";
    EXPECT_EQ(Run(-1, 0), -1);
    ASSERT_EQ(script_.calls.size(), 5u);
    EXPECT_EQ(script_.calls.back(), "CloseHandle(1234)");
    EXPECT_EQ(Closes(), 1);
}

TEST_F(WriteFileRangeFake, ThrowingEntryPointsGiveMinusOneAndCloseTheHandle) {
    // After the throwing call (at `at`) comes the close, once, if a handle is open.
    const struct {
        const char* name;
        size_t at;
        size_t calls;
        int closes;
    } cases[] = {{"SetFileAttributesA", 0, 1, 0},
                 {"CreateFileA", 1, 2, 0},
                 {"SetFilePointer", 2, 4, 1},
                 {"WriteFile", 3, 5, 1},
                 {"CloseHandle", 4, 5, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        script_ = Script();
        script_.throwing = c.name;
        EXPECT_EQ(Run(-1, 0), -1);
        ASSERT_EQ(script_.calls.size(), c.calls);
        EXPECT_EQ(script_.calls[c.at].rfind(c.name, 0), 0u);
        EXPECT_EQ(Closes(), c.closes);
        if (c.closes > 0) {
            EXPECT_EQ(script_.calls.back(), "CloseHandle(1234)");
        }
    }
}

TEST_F(WriteFileRangeFake, NullPathOrDataCallsNothing) {
    EXPECT_EQ(WriteFileRangeA(nullptr, kData, -1, 0, OPEN_ALWAYS, FakeCreate, FakeWrite,
                              FakeAttributes, FakeSeek, FakeClose),
              -1);
    EXPECT_EQ(WriteFileRangeA("C:\\dict.txt", nullptr, -1, 1, OPEN_ALWAYS, FakeCreate, FakeWrite,
                              FakeAttributes, FakeSeek, FakeClose),
              -1);
    EXPECT_TRUE(script_.calls.empty());
}

TEST_F(WriteFileRangeFake, NullEntryPointsSelectThePlatformsOwn) {
    TempDir dir;
    const std::string path = dir.File("f");
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "abc", -1, 0, OPEN_ALWAYS, nullptr, nullptr, nullptr,
                              nullptr, CountingClose),
              3);
    EXPECT_EQ(ReadBytes(path), "abc");
    EXPECT_EQ(script_.calls, std::vector<std::string>{"CloseHandle"});
}

}  // namespace
