// The operating-system entry points of the file range functions, resolved in
// one place.
//
// ReadFileRangeA and WriteFileRangeA take one replaceable entry point per
// Win32 operation, null meaning the platform's own function. Each call fills
// a FileEntryPoints table once, at its start, and makes every operating-system
// call through it; nothing in their bodies tests an entry point for null.
#pragma once

#include "fileio/FileRange.h"

namespace fileio {

// One pointer per Win32 operation that the file range functions use. A
// resolved table holds no null pointer.
struct FileEntryPoints {
    CreateFileA_fn createFile;
    ReadFile_fn readFile;
    WriteFile_fn writeFile;
    GetFileSize_fn getFileSize;
    SetFilePointer_fn setFilePointer;
    CloseHandle_fn closeHandle;
    SetFileAttributesA_fn setFileAttributes;
};

// The table for one call: each given entry point is kept, each null one is
// replaced by the platform's function of that name. A function that does not
// use an operation passes null for it (every argument has its own type, so a
// misplaced one does not compile).
FileEntryPoints ResolveFileEntryPoints(CreateFileA_fn create, ReadFile_fn read, WriteFile_fn write,
                                       GetFileSize_fn size, SetFilePointer_fn seek,
                                       CloseHandle_fn close, SetFileAttributesA_fn attributes);

// Moves to `offset` from the start of the file, handing the offset over whole
// as two 32-bit halves. The result is not looked at: a failed move (a
// negative position) leaves the position at the start of a file just opened.
void SeekFromStart(const FileEntryPoints& os, HANDLE file, int64_t offset);

// Closes `*file` and sets it to INVALID_HANDLE_VALUE first, so that a close
// that throws is not repeated by CloseAfterThrow. The result is not looked at.
void Close(const FileEntryPoints& os, HANDLE* file);

// Closes `file` after an entry point threw, unless it is INVALID_HANDLE_VALUE
// (not open, or already handed to the close). A close that throws as well is
// swallowed: nothing more can be done for the handle.
void CloseAfterThrow(const FileEntryPoints& os, HANDLE file) noexcept;

}  // namespace fileio
