// Where the debugger output goes on POSIX (platform/Win32.h: standard error,
// when VKC_DEBUG is set). A program may route the texts through a writer of
// its own, to convert them for a terminal. On Windows the debugger output is
// the system's own and cannot be rerouted.
#pragma once

#ifndef _WIN32

namespace platform {

// Writes one text of OutputDebugStringA (only called when VKC_DEBUG is set
// and not empty); it must add the line break.
using DebugWriter = void (*)(const char* text);

// Routes the debugger output through `writer`; null restores the default
// (the text's bytes and a line break on standard error).
void SetDebugWriter(DebugWriter writer);

}  // namespace platform

#endif  // _WIN32
