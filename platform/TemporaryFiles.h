// Temporary files that an interrupted run must not leave behind.
//
// While a file is registered here, SIGINT, SIGTERM and SIGHUP (on Windows:
// Ctrl-C, Ctrl-Break and closing the console) remove it before the process
// ends as the signal would have ended it (re-raised with the default action,
// so the exit status stays 130, 143 or 129). The handlers are installed at
// the first registration; a signal that the process ignores stays ignored.
//
// The registry is a fixed table that the handler reads without locks or
// allocation: at most kTemporarySlots files at a time, each name shorter
// than kTemporaryNameBytes. Not for use from several threads at once.
#pragma once

#include <cstddef>

namespace platform {

constexpr size_t kTemporarySlots = 8;
constexpr size_t kTemporaryNameBytes = 4096;

// Registers `name` (copied); returns its slot, or -1 when the table is full
// or the name too long (the file is then not removed on a signal).
int RememberTemporary(const char* name);

// Unregisters the slot from RememberTemporary (-1 is ignored). Call it
// before the file is renamed or removed by the program itself.
void ForgetTemporary(int slot);

}  // namespace platform
