#include "platform/Win32.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "TestUtil.h"
#include "fileio/FileRange.h"

namespace {

using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

constexpr DWORD kPrimed = 0xDEADBEEF;

HANDLE Open(const std::string& path, DWORD access, DWORD disposition,
            DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileA(path.c_str(), access, 0, nullptr, disposition, attributes, nullptr);
}

// Opening `path` fails with `error`.
void ExpectRefused(const std::string& path, DWORD access, DWORD disposition, DWORD error) {
    SetLastError(kPrimed);
    EXPECT_EQ(Open(path, access, disposition), INVALID_HANDLE_VALUE) << path;
    EXPECT_EQ(GetLastError(), error) << path;
}

DWORD Position(HANDLE file) {
    return SetFilePointer(file, 0, nullptr, FILE_CURRENT);
}

mode_t Mode(const std::string& path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 0777;
}

TEST(Win32CreateFile, DispositionsOnExistingAndMissingFiles) {
    struct Case {
        DWORD disposition;
        DWORD access;
        bool existing;
        DWORD error;           // last error after the call
        const char* contents;  // afterwards; null: no file
    };
    const DWORD rw = GENERIC_READ | GENERIC_WRITE;
    const Case cases[] = {
        {CREATE_NEW, rw, true, ERROR_FILE_EXISTS, "old"},
        {CREATE_NEW, 0, false, ERROR_SUCCESS, ""},
        {CREATE_ALWAYS, GENERIC_READ, true, ERROR_ALREADY_EXISTS, ""},
        {CREATE_ALWAYS, rw, false, ERROR_SUCCESS, ""},
        {OPEN_EXISTING, rw, true, ERROR_SUCCESS, "old"},
        {OPEN_EXISTING, rw, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_ALWAYS, GENERIC_WRITE, true, ERROR_ALREADY_EXISTS, "old"},
        {OPEN_ALWAYS, GENERIC_READ, false, ERROR_SUCCESS, ""},
        {TRUNCATE_EXISTING, GENERIC_WRITE, true, ERROR_SUCCESS, ""},
        {TRUNCATE_EXISTING, GENERIC_READ, true, ERROR_INVALID_PARAMETER, "old"},
        {TRUNCATE_EXISTING, 0, true, ERROR_INVALID_PARAMETER, "old"},
        {TRUNCATE_EXISTING, rw, false, ERROR_FILE_NOT_FOUND, nullptr},
        {0, rw, true, ERROR_INVALID_PARAMETER, "old"},
        {6, rw, false, ERROR_INVALID_PARAMETER, nullptr},
    };
    TempDir dir;
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "f" + std::to_string(index++);
        const std::string path = dir.File(name);
        SCOPED_TRACE(path + " disposition " + std::to_string(c.disposition));
        if (c.existing) WriteBytes(path, "old");
        const bool opens = c.error == ERROR_SUCCESS || c.error == ERROR_ALREADY_EXISTS;
        SetLastError(kPrimed);
        HANDLE file = Open(path, c.access, c.disposition);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, opens);
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_NE(file, nullptr);
            EXPECT_TRUE(CloseHandle(file));
        }
        ASSERT_EQ(testutil::Exists(path), c.contents != nullptr);
        if (c.contents != nullptr) {
            EXPECT_EQ(ReadBytes(path), c.contents);
        }
    }
}

TEST(Win32CreateFile, RefusesFoldersAndBadNames) {
    TempDir dir;
    const std::string folder = dir.File("sub");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ExpectRefused(folder, GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED);
    ExpectRefused(folder, GENERIC_WRITE, OPEN_ALWAYS, ERROR_ACCESS_DENIED);
    ExpectRefused(folder, GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED);
    ExpectRefused(folder, GENERIC_WRITE, CREATE_NEW, ERROR_ACCESS_DENIED);
    ExpectRefused(folder + "/", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND);
    ExpectRefused("", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND);
    ExpectRefused(dir.File("missing/"), GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND);
    ExpectRefused(dir.File("missing/"), GENERIC_WRITE, OPEN_ALWAYS, ERROR_FILE_NOT_FOUND);
    ExpectRefused(dir.File("missing/f"), GENERIC_WRITE, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND);
    ExpectRefused(dir.File(std::string(MAX_PATH, 'n')), GENERIC_READ, OPEN_ALWAYS,
                  ERROR_FILENAME_EXCED_RANGE);
}

// A backslash is an ordinary byte of a name: sub\f is a file of that name
// beside the folder sub, never the file f in it; what does not exist as
// named is not found, and what is created takes the name as given.
TEST(Win32CreateFile, ABackslashIsPartOfTheName) {
    struct Case {
        const char* name;
        DWORD access;
        DWORD disposition;
        DWORD error;  // ERROR_SUCCESS: a file of that very name is created
    };
    const Case cases[] = {
        {"sub\\f", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"sub\\f", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND},
        {"sub\\f", GENERIC_WRITE, CREATE_NEW, ERROR_SUCCESS},
        {"sub\\", GENERIC_WRITE, OPEN_ALWAYS, ERROR_SUCCESS},
        {"nowhere\\f", GENERIC_WRITE, CREATE_ALWAYS, ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + std::string(" disposition ") + std::to_string(c.disposition));
        TempDir dir;
        ASSERT_TRUE(testutil::MakeDir(dir.File("sub")));
        WriteBytes(dir.File("sub/f"), "in sub");
        SetLastError(kPrimed);
        HANDLE file = Open(dir.File(c.name), c.access, c.disposition);
        EXPECT_EQ(GetLastError(), c.error);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        EXPECT_EQ(testutil::Exists(dir.File(c.name)), c.error == ERROR_SUCCESS);
        EXPECT_EQ(ReadBytes(dir.File("sub/f")), "in sub");
        // Nor does the read-only attribute reach sub/f.
        EXPECT_EQ(SetFileAttributesA(dir.File(c.name).c_str(), FILE_ATTRIBUTE_READONLY),
                  c.error == ERROR_SUCCESS);
        EXPECT_NE(Mode(dir.File("sub/f")) & 0222, 0u);
    }
}

// What CreateFileA does with `path`, run in a child process that an alarm
// ends: a call that waits (an open of a FIFO without its other end) fails the
// test instead of hanging it. The last error of a refused open, kOpened, or
// kWaited.
constexpr int kOpened = 200;
constexpr int kWaited = 201;
int OpenInChild(const std::string& path, DWORD access, DWORD disposition) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);
        HANDLE file = Open(path, access, disposition);
        _exit(file != INVALID_HANDLE_VALUE ? kOpened : static_cast<int>(GetLastError() & 0x7F));
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : kWaited;
}

// Only regular files open: a FIFO (here with no one at its other end, which
// would make open(2) wait), or a device, is refused at once, whatever the
// access and disposition, and nothing is created in its place.
TEST(Win32CreateFile, RefusesFifosAndDevicesWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        DWORD access;
        DWORD disposition;
    };
    const DWORD rw = GENERIC_READ | GENERIC_WRITE;
    const Case cases[] = {
        {fifo, GENERIC_READ, OPEN_EXISTING},
        {fifo, GENERIC_WRITE, OPEN_EXISTING},
        {fifo, rw, OPEN_ALWAYS},
        {fifo, GENERIC_WRITE, CREATE_ALWAYS},
        {fifo, GENERIC_WRITE, TRUNCATE_EXISTING},
        {fifo, 0, OPEN_EXISTING},
        {"/dev/null", GENERIC_READ, OPEN_EXISTING},
        {"/dev/null", GENERIC_WRITE, OPEN_ALWAYS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " access " + std::to_string(c.access) + " disposition " +
                     std::to_string(c.disposition));
        EXPECT_EQ(OpenInChild(c.path, c.access, c.disposition),
                  static_cast<int>(ERROR_ACCESS_DENIED));
        struct stat st;
        ASSERT_EQ(stat(c.path.c_str(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode));
    }
    // The loader's size query is refused the same way.
    EXPECT_EQ(ReadFileRangeA(fifo.c_str(), nullptr, 0, 0), -1);
}

TEST(Win32CreateFile, HandlesRefuseTransfersTheirAccessDoesNotAllow) {
    TempDir dir;
    const std::string path = dir.File("f");
    WriteBytes(path, "abc");
    char byte = 0;
    for (DWORD access : {DWORD{0}, GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE}) {
        SCOPED_TRACE(access);
        HANDLE file = Open(path, access, OPEN_EXISTING);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD count = 7;
        SetLastError(kPrimed);
        EXPECT_EQ(ReadFile(file, &byte, 1, &count, nullptr), (access & GENERIC_READ) != 0);
        EXPECT_EQ(GetLastError(), (access & GENERIC_READ) ? kPrimed : ERROR_ACCESS_DENIED);
        EXPECT_EQ(count, (access & GENERIC_READ) ? 1u : 0u);
        count = 7;
        SetLastError(kPrimed);
        EXPECT_EQ(WriteFile(file, "x", 1, &count, nullptr), (access & GENERIC_WRITE) != 0);
        EXPECT_EQ(GetLastError(), (access & GENERIC_WRITE) ? kPrimed : ERROR_ACCESS_DENIED);
        EXPECT_EQ(count, (access & GENERIC_WRITE) ? 1u : 0u);
        CloseHandle(file);
    }
}

TEST(Win32ReadOnly, RefusesWriteOpensUntilAttributesAreNormal) {
    TempDir dir;
    const std::string path = dir.File("f");
    WriteBytes(path, "keep");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Mode(path) & 0222, 0u);
    ExpectRefused(path, GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED);
    ExpectRefused(path, GENERIC_READ, CREATE_ALWAYS, ERROR_ACCESS_DENIED);
    ExpectRefused(path, GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_ACCESS_DENIED);
    ExpectRefused(path, GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS);
    HANDLE reader = Open(path, GENERIC_READ, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_EQ(ReadBytes(path), "keep");

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_NE(Mode(path) & S_IWUSR, 0u);
    HANDLE writer = Open(path, GENERIC_WRITE, TRUNCATE_EXISTING);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
}

TEST(Win32ReadOnly, CreatingHandleKeepsWriteAccess) {
    TempDir dir;
    const std::string path = dir.File("f");
    HANDLE file = Open(path, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "abc", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    CloseHandle(file);
    EXPECT_EQ(ReadBytes(path), "abc");
    ExpectRefused(path, GENERIC_WRITE, OPEN_ALWAYS, ERROR_ACCESS_DENIED);
}

TEST(Win32ReadOnly, SetFileAttributesOnMissingFilesAndFolders) {
    TempDir dir;
    SetLastError(kPrimed);
    EXPECT_FALSE(SetFileAttributesA(dir.File("missing").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetFileAttributesA(dir.File("missing/f").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    // Folders ignore the read-only attribute.
    EXPECT_TRUE(SetFileAttributesA(dir.path().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(Mode(dir.path()) & S_IWUSR, 0u);
}

TEST(Win32ReadFile, ShortReadsAndReadsAtTheEndSucceed) {
    TempDir dir;
    const std::string path = dir.File("f");
    WriteBytes(path, "abcdef");
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[16] = {};
    DWORD count = 99;
    SetLastError(kPrimed);
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(std::string(buffer, count), "abcdef");
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 0u);
    SetFilePointer(file, 100, nullptr, FILE_BEGIN);
    count = 99;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(ReadFile(file, nullptr, 0, &count, nullptr));
    EXPECT_EQ(GetLastError(), kPrimed);  // success leaves the last error alone

    count = 99;
    EXPECT_FALSE(ReadFile(file, nullptr, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
    EXPECT_EQ(count, 0u);
    CloseHandle(file);
    count = 99;
    EXPECT_FALSE(ReadFile(file, buffer, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
}

TEST(Win32WriteFile, NullWritesChangeNothingAndGapsReadAsZeros) {
    TempDir dir;
    const std::string path = dir.File("f");
    WriteBytes(path, "ab");
    HANDLE file = Open(path, GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD count = 99;
    SetFilePointer(file, 10, nullptr, FILE_BEGIN);
    SetLastError(kPrimed);
    EXPECT_TRUE(WriteFile(file, nullptr, 0, &count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(GetLastError(), kPrimed);
    EXPECT_EQ(GetFileSize(file, nullptr), 2u);

    EXPECT_TRUE(WriteFile(file, "xy", 2, &count, nullptr));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(GetFileSize(file, nullptr), 12u);  // counted at once, no flush step
    EXPECT_FALSE(WriteFile(file, nullptr, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
    CloseHandle(file);
    EXPECT_EQ(ReadBytes(path), std::string("ab\0\0\0\0\0\0\0\0xy", 12));
}

TEST(Win32SetFilePointer, NegativeTargetFailsAndKeepsThePosition) {
    TempDir dir;
    const std::string path = dir.File("f");
    WriteBytes(path, "abcdef");
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_EQ(SetFilePointer(file, -5, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    LONG high = -1;
    EXPECT_EQ(SetFilePointer(file, -2, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(file, -7, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(Position(file), 4u);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CloseHandle(file);
}

TEST(Win32SetFilePointer, DistanceIsSigned32BitsOr64BitsWithAHighPart) {
    TempDir dir;
    const std::string path = dir.File("f");
    WriteBytes(path, "abcdef");
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 4u);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_CURRENT), 3u);

    // With a high part of 0, low 0xFFFFFFFE is +4 GiB - 2, not -2.
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(file, -2, &high, FILE_BEGIN), 0xFFFFFFFEu);
    EXPECT_EQ(high, 0);
    high = 0;
    SetLastError(kPrimed);
    EXPECT_EQ(SetFilePointer(file, 1, &high, FILE_CURRENT), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);  // tells the position from a failure
    high = 0;
    EXPECT_EQ(SetFilePointer(file, 6, &high, FILE_CURRENT), 5u);
    EXPECT_EQ(high, 1);
    // Without a high part a position of 4 GiB or more cannot be reported.
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    high = 0;
    EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_CURRENT), 5u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(GetFileSize(file, nullptr), 6u);  // seeking never grows the file
    CloseHandle(file);
}

TEST(Win32GetFileSize, ReportsTheLowHalfAndTheHighHalfApart) {
    TempDir dir;
    const std::string path = dir.File("sparse");
    testutil::MakeSparseFile(path, (1LL << 32) + 10);
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 0;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 1u);
    EXPECT_EQ(GetFileSize(file, nullptr), 10u);
    CloseHandle(file);
    EXPECT_EQ(GetFileSize(file, &high), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Win32CloseHandle, ClosedAndUnknownHandlesAreRefused) {
    TempDir dir;
    const std::string path = dir.File("f");
    WriteBytes(path, "abc");
    HANDLE first = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(first));
    SetLastError(kPrimed);
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));

    // The next open may reuse the slot and the descriptor; the old handle
    // must still not reach them.
    HANDLE second = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_NE(second, first);
    EXPECT_FALSE(CloseHandle(first));
    char buffer[3];
    DWORD count = 0;
    EXPECT_TRUE(ReadFile(second, buffer, 3, &count, nullptr));
    EXPECT_EQ(count, 3u);
    EXPECT_TRUE(CloseHandle(second));
}

TEST(Win32GetCurrentDirectory, TooSmallBuffersAreLeftAlone) {
    TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    char expected[4096];
    ASSERT_NE(getcwd(expected, sizeof expected), nullptr);
    const DWORD length = static_cast<DWORD>(strlen(expected));

    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
    std::string buffer(length + 1, 'a');
    EXPECT_EQ(GetCurrentDirectoryA(length, &buffer[0]), length + 1);
    EXPECT_EQ(buffer, std::string(length + 1, 'a'));
    EXPECT_EQ(GetCurrentDirectoryA(1, &buffer[0]), length + 1);
    EXPECT_EQ(buffer, std::string(length + 1, 'a'));
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, &buffer[0]), length);
    EXPECT_STREQ(buffer.c_str(), expected);
}

TEST(Win32GetSystemTime, IsTheCurrentTimeInUtc) {
    // time() may read a coarser clock that lags at a second's boundary.
    auto seconds = [] {
        timespec at;
        clock_gettime(CLOCK_REALTIME, &at);
        return at.tv_sec;
    };
    const time_t before = seconds();
    SYSTEMTIME now;
    GetSystemTime(&now);
    const time_t after = seconds();
    struct tm fields = {};
    fields.tm_year = now.wYear - 1900;
    fields.tm_mon = now.wMonth - 1;
    fields.tm_mday = now.wDay;
    fields.tm_hour = now.wHour;
    fields.tm_min = now.wMinute;
    fields.tm_sec = now.wSecond;
    const time_t stamp = timegm(&fields);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(now.wDayOfWeek, fields.tm_wday);  // timegm normalised it
    EXPECT_LT(now.wMilliseconds, 1000);
}

TEST(Win32OutputDebugString, WritesOnlyWhenVkcDebugIsSet) {
    const char* saved = getenv("VKC_DEBUG");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("VKC_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    OutputDebugStringA("shown");
    setenv("VKC_DEBUG", "", 1);
    OutputDebugStringA("hidden");
    unsetenv("VKC_DEBUG");
    OutputDebugStringA("hidden");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "shown\n");
    if (saved != nullptr) setenv("VKC_DEBUG", previous.c_str(), 1);
}

TEST(Win32Wsprintf, FormatsAndCutsAt1023Bytes) {
    char* buffer = new char[1024];  // exactly the promised size: ASan sees any overrun
    EXPECT_EQ(wsprintfA(buffer, "%s=%u", "count", 42u), 8);
    EXPECT_STREQ(buffer, "count=42");
    const std::string longText(2000, 'x');
    EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1023);
    EXPECT_EQ(std::string(buffer), longText.substr(0, 1023));
    delete[] buffer;
}

}  // namespace
