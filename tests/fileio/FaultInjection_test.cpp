// Fake entry points for the file range functions. Each wraps the platform's
// own function on a real file, records the call with its arguments and, at
// one position of the call sequence (or at that position and every call after
// it), reports failure, throws, or transfers only half of what was asked. For
// every position the result, the calls made, the handles left open and the
// bytes that reached the file or the buffer are checked against what the
// contract allows; the arguments are checked on runs without a fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileRange.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#endif

namespace {

using Strings = std::vector<std::string>;
enum class Fault { kFail, kThrow, kShort };

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[512];
    va_list list;
    va_start(list, format);
    vsnprintf(text, sizeof text, format, list);
    va_end(list);
    return text;
}

// The fault to inject (none by default), and what the fakes saw.
struct World {
    Fault fault = Fault::kFail;
    size_t at = SIZE_MAX;                  // position of the first faulty call
    bool onward = false;                   // every call after it is faulty too
    Strings trace{};                       // the operations called
    Strings calls{};                       // the same, with their arguments
    HANDLE handle = INVALID_HANDLE_VALUE;  // the last one the real CreateFileA gave
    std::set<HANDLE> open{};               // handles opened and not closed
    int strayCloses = 0;                   // closes of handles that were not open
    bool shortNow = false;                 // the current transfer moves half
    bool realCreate = false;               // opens bypass the fakes: close what comes

    // Logs the call; throws, or says whether it passes (perhaps short).
    bool Pass(const char* op, const std::string& arguments) {
        const bool faulty = trace.size() == at || (onward && trace.size() > at);
        trace.push_back(op);
        calls.push_back(op + ("(" + arguments + ")"));
        if (faulty && fault == Fault::kThrow) throw std::runtime_error(op);
        shortNow = faulty && fault == Fault::kShort;
        return !(faulty && fault == Fault::kFail);
    }
};
World* g_world = nullptr;

// Arguments as the fakes record them: a pointer given or null, the handle
// that the open gave or another, and a transfer's count, halved when short.
const auto P = [](const void* pointer) { return pointer != nullptr ? "ptr" : "null"; };
const auto H = [](HANDLE file) { return file == g_world->handle ? "h" : "other"; };
// Win32 numbers for "%x": DWORD and the flags are `long` on Windows.
const auto U = [](auto value) { return static_cast<unsigned>(value); };
const auto Count = [](DWORD count) { return g_world->shortNow ? count / 2 : count; };

BOOL WINAPI FakeAttributes(LPCSTR path, DWORD attributes) {
    return g_world->Pass("attributes", Format("%s,%x", path, U(attributes))) &&
           SetFileAttributesA(path, attributes);
}

HANDLE WINAPI FakeCreate(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (!g_world->Pass("create", Format("%s,%x,%x,%s,%x,%x,%s", path, U(access), U(share),
                                        P(security), U(disposition), U(flags), P(templateFile)))) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileA(path, access, share, security, disposition, flags, templateFile);
    if (file != INVALID_HANDLE_VALUE) g_world->open.insert(g_world->handle = file);
    return file;
}

DWORD WINAPI FakeSize(HANDLE file, LPDWORD high) {
    return g_world->Pass("size", Format("%s,%s", H(file), P(high))) ? GetFileSize(file, high)
                                                                    : INVALID_FILE_SIZE;
}

DWORD WINAPI FakeSeek(HANDLE file, LONG low, PLONG high, DWORD method) {
    const std::string highText = high ? Format("%x", static_cast<uint32_t>(*high)) : "null";
    return g_world->Pass("seek", Format("%s,%x,%s,%u", H(file), static_cast<uint32_t>(low),
                                        highText.c_str(), U(method)))
               ? SetFilePointer(file, low, high, method)
               : INVALID_SET_FILE_POINTER;
}

BOOL WINAPI FakeRead(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read,
                     LPOVERLAPPED overlapped) {
    *read = 0;
    return g_world->Pass("read", Format("%s,%s,%x,%s,%s", H(file), P(buffer), U(count), P(read),
                                        P(overlapped))) &&
           ReadFile(file, buffer, Count(count), read, overlapped);
}

BOOL WINAPI FakeWrite(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    *written = 0;
    return g_world->Pass("write", Format("%s,%s,%x,%s,%s", H(file), P(data), U(count), P(written),
                                         P(overlapped))) &&
           WriteFile(file, data, Count(count), written, overlapped);
}

// The handle is released before the fault: the functions never call close
// twice, so a close that fails or throws must not leave it open here.
BOOL WINAPI FakeClose(HANDLE file) {
    const std::string arguments = H(file);
    if (g_world->open.erase(file) == 1 || g_world->realCreate) {
        CloseHandle(file);
    } else {
        ++g_world->strayCloses;
    }
    return g_world->Pass("close", arguments);
}

const std::string kContent = "0123456789";
const std::string kData = "abcd";
constexpr char kUntouched = '#';

struct Call {
    const char* name;
    bool writes;     // WriteFileRangeA; otherwise ReadFileRangeA
    bool sizeQuery;  // ReadFileRangeA without a buffer
    int64_t offset;  // -1: the writer appends
    uint64_t count;
    DWORD disposition = OPEN_EXISTING;  // the writer's
};

const Call kCalls[] = {
    {"read", false, false, 3, 4},      {"read past the end", false, false, 8, 4},
    {"size query", false, true, 3, 4}, {"write", true, false, 3, 4},
    {"append", true, false, -1, 4},
};

Strings Sequence(const Call& c) {
    if (c.writes) return {"attributes", "create", "seek", "write", "close"};
    if (c.sizeQuery) return {"create", "size", "seek", "close"};
    return {"create", "size", "seek", "read", "close"};
}

struct Outcome {
    int32_t result;
    Strings trace;
    std::string file;    // the file afterwards
    std::string buffer;  // the reader's buffer afterwards
};

// Whether this platform refuses to open a read-only file for writing. Windows
// does, and so does the POSIX layer; Wine run by root does not, since it
// leaves the check to the kernel, which lets root write.
bool ReadOnlyRefusesWrites() {
    static const bool refuses = [] {
        testutil::TempDir dir;
        const std::string probe = dir.File("read-only");
        testutil::WriteBytes(probe, "x");
        testutil::MakeReadOnly(probe);
        HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return true;
        CloseHandle(file);
        return false;
    }();
    return refuses;
}

// What the contract allows for `c` under `fault`: the calls walked in order,
// a throw answered by closing an open handle and -1, failures of the open
// and of the transfer by -1, failures of size and seek not detected (a size
// query then reports -1, a seek leaves the start of the file), a failed
// attribute reset by a refused open (the file is read-only). Bytes that a
// transfer moved stay moved whatever comes after it.
Outcome Expect(const Call& c, Fault fault, size_t at, bool onward) {
    Outcome o{-1, {}, kContent, std::string(16, kUntouched)};
    bool open = false, attributesFailed = false, sizeFailed = false, seekFailed = false;
    for (const std::string& op : Sequence(c)) {
        const size_t i = o.trace.size();
        o.trace.push_back(op);
        const bool faulty = i == at || (onward && i > at);
        if (faulty && fault == Fault::kThrow) {
            if (open && op != "close") o.trace.push_back("close");
            o.result = -1;
            return o;
        }
        const bool failed = faulty && fault == Fault::kFail;
        if (op == "create" && (failed || (attributesFailed && ReadOnlyRefusesWrites()))) return o;
        open = open || op == "create";
        attributesFailed = attributesFailed || (op == "attributes" && failed);
        sizeFailed = sizeFailed || (op == "size" && failed);
        seekFailed = seekFailed || (op == "seek" && failed);
        const size_t position = seekFailed       ? 0
                                : c.offset == -1 ? kContent.size()
                                                 : static_cast<size_t>(c.offset);
        const size_t count = faulty && fault == Fault::kShort ? c.count / 2 : c.count;
        if (op == "read" && !failed) {
            const std::string read = kContent.substr(position, count);
            o.buffer.replace(0, read.size(), read);
            o.result = static_cast<int32_t>(read.size());
        }
        if (op == "write" && !failed) {
            o.file.resize(std::max(o.file.size(), position + count));
            o.file.replace(position, count, kData.substr(0, count));
            o.result = static_cast<int32_t>(count);
        }
    }
    if (c.sizeQuery && !sizeFailed) o.result = static_cast<int32_t>(kContent.size());
    return o;
}

class FaultInjection : public testing::Test {
protected:
    // Runs `c` through the fakes, but with a null entry point (the platform's
    // own) for the operation `platform`, on a fresh file: read-only for the
    // writer, whose attribute reset must come first.
    int32_t Run(const Call& c, World& world, const std::string& platform = "") {
        testutil::RemoveFile(file_);
        testutil::WriteBytes(file_, kContent);
        EXPECT_TRUE(c.writes ? testutil::MakeReadOnly(file_) : true);
        buffer_.assign(16, kUntouched);
        const auto pick = [&](const char* op, auto fake) {
            return op == platform ? nullptr : fake;
        };
        world.realCreate = platform == "create";
        g_world = &world;
        const int32_t result =
            c.writes ? WriteFileRangeA(file_.c_str(), kData.data(), c.offset, c.count,
                                       c.disposition, pick("create", FakeCreate),
                                       pick("write", FakeWrite), pick("attributes", FakeAttributes),
                                       pick("seek", FakeSeek), pick("close", FakeClose))
                     : ReadFileRangeA(file_.c_str(), c.sizeQuery ? nullptr : &buffer_[0], c.offset,
                                      c.count, pick("create", FakeCreate), pick("read", FakeRead),
                                      pick("size", FakeSize), pick("seek", FakeSeek),
                                      pick("close", FakeClose));
        g_world = nullptr;
        return result;
    }

    void Check(const Call& c, Fault fault, size_t at, bool onward) {
        static const char* const kFaults[] = {" fails", " throws", " is short"};
        SCOPED_TRACE(std::string(c.name) + ", " + Sequence(c)[at] + " at " + std::to_string(at) +
                     kFaults[static_cast<int>(fault)] + (onward ? " from then on" : " once"));
        World world{fault, at, onward};
        const Outcome expected = Expect(c, fault, at, onward);
        EXPECT_EQ(Run(c, world), expected.result);
        EXPECT_EQ(world.trace, expected.trace);
        EXPECT_TRUE(world.open.empty()) << "a handle stays open";
        EXPECT_EQ(world.strayCloses, 0);
        EXPECT_EQ(testutil::ReadBytes(file_), expected.file);
        EXPECT_EQ(buffer_, expected.buffer);
    }

    testutil::TempDir dir_;
    std::string file_ = dir_.File("f");
    std::string buffer_;  // the reader's
};

// A short transfer moves half of what was asked; shortening any other call
// changes nothing.
TEST_F(FaultInjection, EachFaultAtEachPositionOnceAndOnEveryLaterCall) {
    for (const Call& c : kCalls) {
        for (Fault fault : {Fault::kFail, Fault::kThrow, Fault::kShort}) {
            for (bool onward : {false, true}) {
                for (size_t at = 0; at < Sequence(c).size(); ++at) Check(c, fault, at, onward);
            }
        }
    }
}

// A null path or data gives -1 without a call. Each entry point left null in
// turn is the platform's own: the result is unchanged and only that operation
// is missing from the fakes' trace.
TEST_F(FaultInjection, NullArguments) {
    World none;
    g_world = &none;
    char buffer[4];
    EXPECT_EQ(
        ReadFileRangeA(nullptr, buffer, 0, 4, FakeCreate, FakeRead, FakeSize, FakeSeek, FakeClose),
        -1);
    for (const char* path : {static_cast<const char*>(nullptr), file_.c_str()}) {
        EXPECT_EQ(WriteFileRangeA(path, path != nullptr ? nullptr : "a", 0, 1, OPEN_ALWAYS,
                                  FakeCreate, FakeWrite, FakeAttributes, FakeSeek, FakeClose),
                  -1);
    }
    g_world = nullptr;
    EXPECT_TRUE(none.calls.empty());
    for (const Call& c : kCalls) {
        for (const std::string& platform : Sequence(c)) {
            SCOPED_TRACE(c.name + (", " + platform));
            World world;
            Strings rest = Sequence(c);
            rest.erase(std::find(rest.begin(), rest.end(), platform));
            EXPECT_EQ(Run(c, world, platform), Expect(c, Fault::kFail, SIZE_MAX, false).result);
            EXPECT_EQ(world.trace, rest);
        }
    }
}

// The offset reaches the seek whole, as two halves from the start (-1 being
// the writer's move of 0 from the end, without a high half); the count's low
// 32 bits reach the transfer. A seek reads: handle, low half, high half,
// method (0 from the start, 2 from the end).
TEST_F(FaultInjection, EachEntryPointGetsTheContractsArguments) {
    const uint64_t count = (1ULL << 32) + 4;
    const struct {
        Call call;
        const char* seek;
    } cases[] = {
        {{"read", false, false, 3, count}, "h,3,0,0"},
        {{"read", false, false, -2, count}, "h,fffffffe,ffffffff,0"},
        {{"read", false, false, (1LL << 32) + 5, count}, "h,5,1,0"},
        {{"write", true, false, 3, count, OPEN_EXISTING}, "h,3,0,0"},
        {{"write", true, false, -2, count, OPEN_ALWAYS}, "h,fffffffe,ffffffff,0"},
        {{"write", true, false, (1LL << 32) + 5, count, CREATE_ALWAYS}, "h,5,1,0"},
        {{"write", true, false, -1, count, TRUNCATE_EXISTING}, "h,0,null,2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call.name + (" at " + std::to_string(c.call.offset)));
        World world;
        Run(c.call, world);
        const Strings expected =
            c.call.writes
                ? Strings{Format("attributes(%s,%x)", file_.c_str(), U(FILE_ATTRIBUTE_NORMAL)),
                          Format("create(%s,%x,%x,null,%x,%x,null)", file_.c_str(),
                                 U(GENERIC_WRITE), U(FILE_SHARE_WRITE), U(c.call.disposition),
                                 U(FILE_ATTRIBUTE_NORMAL)),
                          Format("seek(%s)", c.seek), "write(h,ptr,4,ptr,null)", "close(h)"}
                : Strings{Format("create(%s,%x,%x,null,%x,%x,null)", file_.c_str(), U(GENERIC_READ),
                                 U(FILE_SHARE_READ), U(OPEN_EXISTING), U(FILE_ATTRIBUTE_NORMAL)),
                          "size(h,ptr)", Format("seek(%s)", c.seek), "read(h,ptr,4,ptr,null)",
                          "close(h)"};
        EXPECT_EQ(world.calls, expected);
    }
}

}  // namespace

#ifndef _WIN32
// Safe output under a full disk, the file size limit, signals, and a folder
// that takes no temporary file: each run in a child process, whose file size
// limit makes the disk "full" after kLimit bytes. The target keeps its old
// bytes whatever happens, and no temporary file stays.
namespace atomicfaults {

enum class Ending { kFullDisk, kSizeLimit, kSignal, kNoTemporary };

constexpr rlim_t kLimit = 4096;

// In the child: writes 3 * kLimit bytes through an AtomicFile over `target`.
// Exits 0 when Open() or Commit() failed as it should, 1 when it succeeded.
[[noreturn]] void WriteInChild(const std::string& target, Ending ending, int signal) {
    if (ending == Ending::kFullDisk || ending == Ending::kSizeLimit ||
        ending == Ending::kNoTemporary) {
        // SIGXFSZ at its default action would end the process mid-write.
        if (ending == Ending::kFullDisk) std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {kLimit, kLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    // The folder is root's and 0755: nobody may add a file to it, but the
    // target is nobody's own and writable.
    if (ending == Ending::kNoTemporary && geteuid() == 0 && setuid(65534) != 0) _exit(3);
    fileio::AtomicFile file;
    if (!file.Open(target)) _exit(ending == Ending::kNoTemporary ? 0 : 2);
    const std::string piece(1000, 'n');
    for (int i = 0; i < 3 * static_cast<int>(kLimit) / 1000; ++i) {
        std::fwrite(piece.data(), 1, piece.size(), file.stream());
        std::fflush(file.stream());
        if (i == 2 && ending == Ending::kSignal) raise(signal);
    }
    _exit(file.Commit() ? 1 : 0);
}

TEST(AtomicFileFaults, PosixOnly_TheTargetSurvivesFullDisksSignalsAndFullFolders) {
    struct Case {
        Ending ending;
        int signal;  // that ends the child, else 0: it exits with status 0
    };
    const Case cases[] = {
        {Ending::kFullDisk, 0},     {Ending::kSizeLimit, 0},    {Ending::kNoTemporary, 0},
        {Ending::kSignal, SIGINT},  {Ending::kSignal, SIGTERM}, {Ending::kSignal, SIGHUP},
        {Ending::kSignal, SIGQUIT}, {Ending::kSignal, SIGUSR1}, {Ending::kSignal, SIGALRM},
        {Ending::kSignal, SIGPIPE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.ending)) + " " + std::to_string(c.signal));
        testutil::TempDir dir;
        const std::string target = dir.File("out.txt");
        testutil::WriteBytes(target, "old content");
        if (c.ending == Ending::kNoTemporary) {
            if (geteuid() == 0) {
                ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
            } else {
                ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
            }
        }
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) WriteInChild(target, c.ending, c.signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        chmod(dir.path().c_str(), 0755);
        if (c.signal == 0) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        }
        EXPECT_EQ(testutil::ReadBytes(target), "old content");
        size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            files += entry.path().filename() != "out.txt";
        }
        EXPECT_EQ(files, 0u);
    }
}

}  // namespace atomicfaults
#endif
