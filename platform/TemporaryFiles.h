// Temporary files that an interrupted run must not leave behind.
//
// While a file is registered here, every signal whose default action ends
// the process and that comes from outside it (SIGHUP, SIGINT, SIGQUIT,
// SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF, SIGXCPU,
// SIGPOLL; on Windows: Ctrl-C, Ctrl-Break and closing the console) removes it
// before the process ends as the signal would have ended it (re-raised with
// the default action, so the exit status stays 128 + the signal's number in
// a shell). SIGKILL cannot be caught; the signals of a fault in the program
// itself (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP) are left
// alone. SIGXFSZ is ignored instead, so that a write past the file-size limit
// (ulimit -f) fails as a full disk does and is reported as such. The handlers
// are installed by PrepareForWrites() or at the first registration, for the
// signals still at their default action: one that the process ignores or
// handles itself (a program embedding the library) is left as it is.
//
// The registry is a fixed table that the handler reads without locks or
// allocation: at most kTemporarySlots files at a time, each name shorter
// than kTemporaryNameBytes. Threads may register and unregister at once.
#pragma once

#include <cstddef>

namespace platform {

constexpr size_t kTemporarySlots = 8;
constexpr size_t kTemporaryNameBytes = 4096;

// Installs the handlers (once), before any file is written.
void PrepareForWrites();

// Registers `name` (copied); returns its slot, or -1 when the table is full
// or the name too long (the file is then not removed on a signal).
int RememberTemporary(const char* name);

// Unregisters the slot from RememberTemporary (-1 is ignored). Call it
// before the file is renamed or removed by the program itself.
void ForgetTemporary(int slot);

}  // namespace platform
