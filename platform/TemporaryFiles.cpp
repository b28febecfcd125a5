// The registry of temporary files and the handlers that remove them. See
// platform/TemporaryFiles.h.
//
// The handler may run between any two instructions of the program, so a slot
// is published only once its name is complete (the live state set last) and
// withdrawn before the name may change (the state cleared first). Threads
// (a program embedding the library may save from several) claim a free slot
// with one atomic exchange of its state, so no two take the same slot. The
// handler calls only unlink/DeleteFileA and the calls that restore the
// default action.
#include "platform/TemporaryFiles.h"

#include <atomic>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include "platform/Win32.h"
#else
#include <unistd.h>
#endif

namespace platform {

namespace {

enum SlotState : int { kFree, kClaimed, kLive };

char g_names[kTemporarySlots][kTemporaryNameBytes];
std::atomic<int> g_state[kTemporarySlots];
static_assert(std::atomic<int>::is_always_lock_free, "read by a signal handler");
std::atomic<bool> g_installed{false};

void RemoveAll() {
    for (size_t i = 0; i < kTemporarySlots; ++i) {
        if (g_state[i].load() != kLive) continue;
#ifdef _WIN32
        DeleteFileA(g_names[i]);
#else
        unlink(g_names[i]);
#endif
    }
}

#ifdef _WIN32

// Runs on a thread of its own. The temporary files are open with
// FILE_SHARE_DELETE, so they are deleted once the process closes them;
// returning FALSE lets the default handler end the process.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        RemoveAll();
    }
    return FALSE;
}

void Install() {
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

#else

constexpr int kSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGUSR1, SIGUSR2,
                            SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF, SIGXCPU, SIGPOLL};

void OnSignal(int signal) {
    RemoveAll();
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);  // delivered when the handler returns: the process ends by it
}

void Install() {
    for (int signal : kSignals) {
        struct sigaction old;
        // A signal the process ignores stays ignored, and one it handles (a
        // program that embeds the library, such as Python) stays its own.
        if (sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 ||
            old.sa_handler != SIG_DFL) {
            continue;
        }
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = &OnSignal;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        sigaction(signal, &action, nullptr);
    }
    // Left at its default, SIGXFSZ would end the process in the middle of a
    // write, leaving the temporary file; ignored, the write fails with EFBIG.
    struct sigaction old;
    if (sigaction(SIGXFSZ, nullptr, &old) == 0 && (old.sa_flags & SA_SIGINFO) == 0 &&
        old.sa_handler == SIG_DFL) {
        struct sigaction ignore;
        std::memset(&ignore, 0, sizeof ignore);
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGXFSZ, &ignore, nullptr);
    }
}

#endif

}  // namespace

void PrepareForWrites() {
    if (!g_installed.exchange(true)) Install();
}

int RememberTemporary(const char* name) {
    const size_t length = std::strlen(name);
    if (length >= kTemporaryNameBytes) return -1;
    PrepareForWrites();
    for (size_t i = 0; i < kTemporarySlots; ++i) {
        int expected = kFree;
        if (!g_state[i].compare_exchange_strong(expected, kClaimed)) continue;
        std::memcpy(g_names[i], name, length + 1);
        g_state[i].store(kLive);  // the name before the state
        return static_cast<int>(i);
    }
    return -1;
}

void ForgetTemporary(int slot) {
    if (slot < 0 || static_cast<size_t>(slot) >= kTemporarySlots) return;
    g_state[slot].store(kFree);
}

}  // namespace platform
