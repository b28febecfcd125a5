// Byte-range file access: each call is one complete cycle on a file named by
// its path (open, position, transfer, close); nothing is held open between
// calls and nothing is cached.
//
// Both functions reach the operating system through entry points that the
// caller may replace, one argument per Win32 operation. A null entry point
// selects the platform's own function of that name. A replacement receives
// exactly the arguments of the Win32 operation it stands for and must honour
// its contract (result values, failure values). An exception thrown by an
// entry point never leaves these functions: the call returns -1, and a handle
// already open is closed first.
//
// Offsets are signed 64-bit values handed to the positioning operation whole,
// as two 32-bit halves; of a count only the low 32 bits reach the transfer.
#pragma once

#include <cstdint>

#include "platform/Win32.h"

using CreateFileA_fn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                       HANDLE);
using ReadFile_fn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
using WriteFile_fn = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
using GetFileSize_fn = DWORD(WINAPI*)(HANDLE, LPDWORD);
using SetFilePointer_fn = DWORD(WINAPI*)(HANDLE, LONG, PLONG, DWORD);
using CloseHandle_fn = BOOL(WINAPI*)(HANDLE);
using SetFileAttributesA_fn = BOOL(WINAPI*)(LPCSTR, DWORD);

// Reads the low 32 bits of `count` bytes from `offset` into `buffer`, or, when
// `buffer` is null, reports the low 32 bits of the file's size (the offset is
// still applied and nothing is read).
//
// Calls, in order: CreateFileA (GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
// FILE_ATTRIBUTE_NORMAL), GetFileSize, SetFilePointer (FILE_BEGIN), ReadFile
// (only with a buffer), CloseHandle.
//
// Returns the number of bytes read (fewer than asked when the file ends first,
// 0 at or beyond its end), the size for a size query, or -1 when `path` is
// null, the file cannot be opened, the read fails or an entry point throws.
// A failed seek (negative position) is not detected: the read begins at the
// start of the file.
// REQUIRES: `buffer`, when given, holds at least the low 32 bits of `count`.
int32_t ReadFileRangeA(const char* path, void* buffer, int64_t offset, uint64_t count,
                       CreateFileA_fn create = nullptr, ReadFile_fn read = nullptr,
                       GetFileSize_fn size = nullptr, SetFilePointer_fn seek = nullptr,
                       CloseHandle_fn close = nullptr);

// Writes bytes of `data` at `offset`, or at the end of the file when `offset`
// is -1. A `count` of 0 writes the bytes of `data` before its first NUL;
// otherwise its low 32 bits are the length. The file is never shortened unless
// `creationDisposition` (CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS,
// TRUNCATE_EXISTING) empties it.
//
// Calls, in order: SetFileAttributesA (FILE_ATTRIBUTE_NORMAL, result ignored),
// CreateFileA (GENERIC_WRITE, FILE_SHARE_WRITE, the caller's disposition),
// SetFilePointer, WriteFile, CloseHandle.
//
// Returns the number of bytes written, or -1 when `path` or `data` is null,
// the file cannot be opened, the write fails or an entry point throws.
int32_t WriteFileRangeA(const char* path, const void* data, int64_t offset, uint64_t count,
                        DWORD creationDisposition, CreateFileA_fn create = nullptr,
                        WriteFile_fn write = nullptr, SetFileAttributesA_fn attributes = nullptr,
                        SetFilePointer_fn seek = nullptr, CloseHandle_fn close = nullptr);
