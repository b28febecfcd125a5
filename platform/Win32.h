// The Win32 layer: the few kernel functions, types and constants the
// dictionary and the substitution tool use.
//
// On Windows this is <windows.h> itself. Elsewhere it declares the same names
// with the same values, and platform/PosixWin32.cpp implements the functions
// over POSIX so that they behave as the Win32 originals do for synchronous
// handles on regular files: same flag values, same failure values, same
// treatment of short transfers, negative seeks, creation dispositions and
// read-only files. Only what this system calls is provided.
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#else  // POSIX

#include <cstdint>

#define WINAPI

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;
typedef uint16_t WORD;
typedef void* HANDLE;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;

struct SECURITY_ATTRIBUTES;  // never defined: callers pass null
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
struct OVERLAPPED;  // never defined: all transfers are synchronous
typedef OVERLAPPED* LPOVERLAPPED;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // January = 1
    WORD wDayOfWeek;  // Sunday = 0
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_TOO_MANY_OPEN_FILES 4u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_GEN_FAILURE 31u
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_DISK_FULL 112u
#define ERROR_NEGATIVE_SEEK 131u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_FILENAME_EXCED_RANGE 206u
#define ERROR_NOACCESS 998u
#define ERROR_INVALID_USER_BUFFER 1784u

// Files. A name is used exactly as given: '/' is the only separator, and a
// backslash is an ordinary byte of a name, so "a\\b" names the file a\b in
// the working directory, never b in folder a. Names are case-sensitive, and a
// drive prefix such as "C:" is an ordinary part of a name. Share modes are
// accepted but not enforced: POSIX has no mandatory sharing, so two handles on
// one file never refuse each other here as they would on Windows.
//
// CreateFileA opens regular files only. A folder is refused as Windows
// refuses it (ERROR_ACCESS_DENIED, or ERROR_PATH_NOT_FOUND when the name ends
// in '/'); a FIFO, socket or device with ERROR_ACCESS_DENIED, at once: the
// call never waits for a FIFO's other end.
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read,
                     LPOVERLAPPED overlapped);
BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD WINAPI SetFilePointer(HANDLE file, LONG distanceLow, PLONG distanceHigh, DWORD moveMethod);
BOOL WINAPI CloseHandle(HANDLE object);
BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes);

// The working directory, as Win32 reports it: the length written (NUL not
// counted), or the size needed (NUL counted) when `size` is too small, in
// which case the buffer is left untouched; 0 on failure.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);

// The current time in UTC.
void WINAPI GetSystemTime(SYSTEMTIME* time);

// The debugger output channel. Here: the text and a line break go to standard
// error when the environment variable VKC_DEBUG is set and not empty, and
// nowhere otherwise.
void WINAPI OutputDebugStringA(LPCSTR text);

// Formats into `buffer`, which must hold 1024 bytes; the output is cut to
// 1023 bytes and a NUL. Returns the number of bytes stored, NUL not counted.
int wsprintfA(LPSTR buffer, LPCSTR format, ...) __attribute__((format(printf, 2, 3)));

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);

#endif  // _WIN32
