// Fault injection through the file functions' entry points. Fakes wrap the
// platform's own functions on a real file and, at one position of the call
// sequence (or at that position and every call after it), report failure,
// throw, or transfer only half of what was asked. For every position the
// result, the calls made, the handles left open and the bytes that reached
// the file or the buffer are checked against what the contract allows.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "fileio/FileRange.h"

namespace {

enum class Op { kAttributes, kCreate, kSize, kSeek, kRead, kWrite, kClose };
enum class Fault { kFail, kThrow, kShort };

const char* Name(Op op) {
    static const char* const names[] = {"attributes", "create", "size", "seek",
                                        "read",       "write",  "close"};
    return names[static_cast<int>(op)];
}

std::string Trace(const std::vector<Op>& ops) {
    std::string text;
    for (Op op : ops) text += std::string(text.empty() ? "" : ",") + Name(op);
    return text;
}

// The fault to inject, and what the fakes saw.
struct World {
    Fault fault;
    size_t at;    // position of the first faulty call
    bool onward;  // every call after it is faulty too
    size_t calls = 0;
    std::vector<Op> trace;
    std::vector<HANDLE> open;  // handles the real CreateFileA gave and nobody closed
    int strayCloses = 0;       // closes of handles that were not open

    enum class Act { kPass, kFail, kShort };
    // Logs the call; throws, or says whether the fake fails or shortens it.
    Act Enter(Op op) {
        trace.push_back(op);
        const size_t position = calls++;
        if (position != at && !(onward && position > at)) return Act::kPass;
        if (fault == Fault::kThrow) throw std::runtime_error(Name(op));
        if (fault == Fault::kShort) return Act::kShort;
        return Act::kFail;
    }
};
World* g_world = nullptr;
using Act = World::Act;

BOOL WINAPI FakeAttributes(LPCSTR path, DWORD attributes) {
    if (g_world->Enter(Op::kAttributes) == Act::kFail) return FALSE;
    return SetFileAttributesA(path, attributes);
}

HANDLE WINAPI FakeCreate(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (g_world->Enter(Op::kCreate) == Act::kFail) return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileA(path, access, share, security, disposition, flags, templateFile);
    if (file != INVALID_HANDLE_VALUE) g_world->open.push_back(file);
    return file;
}

DWORD WINAPI FakeSize(HANDLE file, LPDWORD high) {
    if (g_world->Enter(Op::kSize) == Act::kFail) return INVALID_FILE_SIZE;
    return GetFileSize(file, high);
}

DWORD WINAPI FakeSeek(HANDLE file, LONG low, PLONG high, DWORD method) {
    if (g_world->Enter(Op::kSeek) == Act::kFail) return INVALID_SET_FILE_POINTER;
    return SetFilePointer(file, low, high, method);
}

BOOL WINAPI FakeRead(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read,
                     LPOVERLAPPED overlapped) {
    const Act act = g_world->Enter(Op::kRead);
    if (act == Act::kFail) {
        *read = 0;
        return FALSE;
    }
    return ReadFile(file, buffer, act == Act::kShort ? count / 2 : count, read, overlapped);
}

BOOL WINAPI FakeWrite(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    const Act act = g_world->Enter(Op::kWrite);
    if (act == Act::kFail) {
        *written = 0;
        return FALSE;
    }
    return WriteFile(file, data, act == Act::kShort ? count / 2 : count, written, overlapped);
}

// The handle is released before the fault: the functions never call close
// twice, so a close that fails or throws must not leave it open here.
BOOL WINAPI FakeClose(HANDLE file) {
    auto at = std::find(g_world->open.begin(), g_world->open.end(), file);
    if (at == g_world->open.end()) {
        ++g_world->strayCloses;
    } else {
        g_world->open.erase(at);
        CloseHandle(file);
    }
    return g_world->Enter(Op::kClose) == Act::kFail ? FALSE : TRUE;
}

const std::string kContent = "0123456789";
const std::string kData = "abcd";
constexpr char kUntouched = '#';

struct Call {
    const char* name;
    bool writes;     // WriteFileRangeA; otherwise ReadFileRangeA
    bool sizeQuery;  // ReadFileRangeA without a buffer
    int64_t offset;  // -1: the writer appends
    uint32_t count;
};

const Call kCalls[] = {
    {"read", false, false, 3, 4},      {"read past the end", false, false, 8, 4},
    {"size query", false, true, 3, 4}, {"write", true, false, 3, 4},
    {"append", true, false, -1, 4},
};

std::vector<Op> Sequence(const Call& c) {
    if (c.writes) return {Op::kAttributes, Op::kCreate, Op::kSeek, Op::kWrite, Op::kClose};
    if (c.sizeQuery) return {Op::kCreate, Op::kSize, Op::kSeek, Op::kClose};
    return {Op::kCreate, Op::kSize, Op::kSeek, Op::kRead, Op::kClose};
}

struct Outcome {
    int32_t result;
    std::string trace;
    std::string file;    // the file afterwards
    std::string buffer;  // the reader's buffer afterwards
};

// What the contract allows for `c` under `fault`: the calls walked in order,
// a throw answered by closing an open handle and -1, failures of the open
// and of the transfer by -1, failures of size and seek not detected (a size
// query then reports -1, a seek leaves the start of the file), a failed
// attribute reset by a refused open (the file is read-only). Bytes that a
// transfer moved stay moved whatever comes after it.
Outcome Expect(const Call& c, Fault fault, size_t at, bool onward) {
    const std::vector<Op> sequence = Sequence(c);
    std::vector<Op> trace;
    Outcome o{-1, "", kContent, std::string(16, kUntouched)};
    bool open = false, attributesFailed = false, sizeFailed = false, seekFailed = false;
    int32_t transferred = -1;
    for (size_t i = 0; i < sequence.size(); ++i) {
        const Op op = sequence[i];
        trace.push_back(op);
        const bool faulty = i == at || (onward && i > at);
        if (faulty && fault == Fault::kThrow) {
            if (open && op != Op::kClose) trace.push_back(Op::kClose);
            o.trace = Trace(trace);
            return o;
        }
        const bool failed = faulty && fault == Fault::kFail;
        const size_t position = seekFailed       ? 0
                                : c.offset == -1 ? kContent.size()
                                                 : static_cast<size_t>(c.offset);
        const uint32_t count = faulty && fault == Fault::kShort ? c.count / 2 : c.count;
        switch (op) {
            case Op::kAttributes:
                attributesFailed = failed;
                break;
            case Op::kCreate:
                if (failed || attributesFailed) {
                    o.trace = Trace(trace);
                    return o;
                }
                open = true;
                break;
            case Op::kSize:
                sizeFailed = failed;
                break;
            case Op::kSeek:
                seekFailed = failed;
                break;
            case Op::kRead:
                if (!failed) {
                    const std::string read = kContent.substr(position, count);
                    o.buffer.replace(0, read.size(), read);
                    transferred = static_cast<int32_t>(read.size());
                }
                break;
            case Op::kWrite:
                if (!failed) {
                    o.file.resize(std::max(o.file.size(), position + count));
                    o.file.replace(position, count, kData.substr(0, count));
                    transferred = static_cast<int32_t>(count);
                }
                break;
            case Op::kClose:
                break;
        }
    }
    o.trace = Trace(trace);
    if (c.sizeQuery) {
        o.result = sizeFailed ? -1 : static_cast<int32_t>(kContent.size());
    } else {
        o.result = transferred;
    }
    return o;
}

class FaultInjection : public testing::Test {
protected:
    // Runs `c` on a fresh file (read-only for the writer, whose attribute
    // reset must come first) under the given fault, and checks the outcome.
    void Check(const Call& c, Fault fault, size_t at, bool onward) {
        SCOPED_TRACE(testing::Message() << c.name << ", " << Name(Sequence(c)[at]) << " at " << at
                                        << (fault == Fault::kFail    ? " fails"
                                            : fault == Fault::kThrow ? " throws"
                                                                     : " is short")
                                        << (onward ? " from then on" : " once"));
        std::remove(file_.c_str());
        testutil::WriteBytes(file_, kContent);
        if (c.writes) {
            ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
        }
        World world;
        world.fault = fault;
        world.at = at;
        world.onward = onward;
        g_world = &world;
        std::string buffer(16, kUntouched);
        const int32_t result =
            c.writes
                ? WriteFileRangeA(file_.c_str(), kData.data(), c.offset, c.count, OPEN_EXISTING,
                                  FakeCreate, FakeWrite, FakeAttributes, FakeSeek, FakeClose)
                : ReadFileRangeA(file_.c_str(), c.sizeQuery ? nullptr : &buffer[0], c.offset,
                                 c.count, FakeCreate, FakeRead, FakeSize, FakeSeek, FakeClose);
        g_world = nullptr;

        const Outcome expected = Expect(c, fault, at, onward);
        EXPECT_EQ(result, expected.result);
        EXPECT_EQ(Trace(world.trace), expected.trace);
        EXPECT_TRUE(world.open.empty()) << "a handle stays open";
        EXPECT_EQ(world.strayCloses, 0);
        EXPECT_EQ(testutil::ReadBytes(file_), expected.file);
        EXPECT_EQ(buffer, expected.buffer);
    }

    testutil::TempDir dir_;
    std::string file_ = dir_.File("f");
};

TEST_F(FaultInjection, FailuresAndThrowsAtEachPositionAndOnEveryLaterCall) {
    for (const Call& c : kCalls) {
        for (Fault fault : {Fault::kFail, Fault::kThrow}) {
            for (bool onward : {false, true}) {
                for (size_t at = 0; at < Sequence(c).size(); ++at) Check(c, fault, at, onward);
            }
        }
    }
}

TEST_F(FaultInjection, ShortTransfersReportWhatWasTransferredAndNoMore) {
    for (const Call& c : kCalls) {
        const std::vector<Op> sequence = Sequence(c);
        for (size_t at = 0; at < sequence.size(); ++at) {
            if (sequence[at] == Op::kRead || sequence[at] == Op::kWrite) {
                Check(c, Fault::kShort, at, false);
            }
        }
    }
}

}  // namespace
