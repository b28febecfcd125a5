// The Win32 layer over POSIX. See platform/Win32.h for what each function
// promises; the notes here say why the code is shaped as it is.
//
// Handles are entries of a process-wide table, never raw descriptors: the
// value carries the slot and a generation count, so a handle that was closed
// stays invalid even after its slot (or its descriptor number) is reused, and
// no valid handle is 0 or all ones. Each entry remembers the access that was
// asked for, because ReadFile and WriteFile must refuse with
// ERROR_ACCESS_DENIED, not with whatever EBADF would map to.
//
// Names are bytes, used exactly as given: a backslash is an ordinary byte of a
// name, as POSIX has it, so a name such as dict\zh.txt (archives made on
// Windows hold such names) is that one file, never dict/zh.txt, and a name that
// cannot be opened as given fails. Nothing is re-encoded. Names are
// case-sensitive, and a drive prefix such as "C:" is an ordinary part of a
// name. The read-only attribute is "no write permission bits"; since root may
// write to any file, the layer checks those bits itself before every open that
// would write or truncate.
//
// Only regular files open. A FIFO would make open(2) wait for its other end,
// forever when there is none, and a device or socket has no size or position
// in the Win32 sense; the layer refuses them without waiting: it looks before
// it opens, and opens with O_NONBLOCK so that a FIFO put in the file's place
// meanwhile is still refused at once.
#ifndef _WIN32

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/DebugOutput.h"
#include "platform/Win32.h"

namespace {

thread_local DWORD g_lastError = ERROR_SUCCESS;

// The one translation of errno into a Win32 error. `path`, when given, is the
// name that the failing call looked up: ENOENT is ERROR_FILE_NOT_FOUND when
// only the last component is missing and ERROR_PATH_NOT_FOUND when a folder
// on the way is.
DWORD ErrorFromErrno(int error, const char* path = nullptr);

BOOL Fail(DWORD error) {
    g_lastError = error;
    return FALSE;
}

// ---- Names

// The error that CreateFileA reports for the name itself, or ERROR_SUCCESS.
DWORD CheckName(const char* path) {
    if (path == nullptr || path[0] == '\0') return ERROR_PATH_NOT_FOUND;
    // Windows limits 8-bit names to MAX_PATH bytes with the NUL.
    if (strnlen(path, MAX_PATH) >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    return ERROR_SUCCESS;
}

// What CreateFileA reports for a FIFO, socket or device. Windows has no such
// files among its names; like a folder, such a name exists and is no file.
constexpr DWORD kNotAFile = ERROR_ACCESS_DENIED;

bool EndsWithSeparator(const char* name) {
    return name[strlen(name) - 1] == '/';
}

// True when the folder that would hold the last component of `name` exists.
bool ParentExists(const char* name) {
    char parent[MAX_PATH];
    size_t length = strlen(name);
    while (length > 1 && name[length - 1] == '/') --length;  // "a/" names "a"
    while (length > 0 && name[length - 1] != '/') --length;
    if (length == 0) return true;  // a bare name lives in the working directory
    memcpy(parent, name, length);
    parent[length] = '\0';
    struct stat st;
    return stat(parent, &st) == 0 && S_ISDIR(st.st_mode);
}

DWORD ErrorFromErrno(int error, const char* path) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return path != nullptr && !ParentExists(path) ? ERROR_PATH_NOT_FOUND
                                                          : ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
        case EOVERFLOW:
            return ERROR_INVALID_PARAMETER;
        case EFAULT:
            return ERROR_NOACCESS;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG:
        case ERANGE:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_GEN_FAILURE;
    }
}

// ---- Handles

struct HandleEntry {
    uintptr_t value;  // 0 when the slot is free
    int fd;
    DWORD access;  // GENERIC_READ and GENERIC_WRITE bits asked for at open
};

// The system keeps one file open at a time; the table leaves plenty of room
// for callers that hold several.
constexpr uintptr_t kSlots = 256;
constexpr uintptr_t kSlotBits = 16;  // slot + 1 in the low bits, generation above

HandleEntry g_handles[kSlots];
uintptr_t g_generation = 0;
std::mutex g_handlesLock;

// Returns the new handle, or INVALID_HANDLE_VALUE when the table is full.
HANDLE AddHandle(int fd, DWORD access) {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    for (uintptr_t slot = 0; slot < kSlots; ++slot) {
        if (g_handles[slot].value != 0) continue;
        // 15 bits of generation keep the value inside 31 bits on any target.
        g_generation = (g_generation + 1) & 0x7FFF;
        g_handles[slot] = {(g_generation << kSlotBits) | (slot + 1), fd, access};
        return reinterpret_cast<HANDLE>(g_handles[slot].value);
    }
    return INVALID_HANDLE_VALUE;
}

HandleEntry* FindLocked(HANDLE handle) {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    // 0 wraps to a huge slot number and is refused with the rest.
    uintptr_t slot = (value & ((uintptr_t{1} << kSlotBits) - 1)) - 1;
    if (slot >= kSlots || g_handles[slot].value != value) return nullptr;
    return &g_handles[slot];
}

// Copies the entry of `handle` into `out`; false for an unknown handle.
bool FindHandle(HANDLE handle, HandleEntry* out) {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    HandleEntry* entry = FindLocked(handle);
    if (entry == nullptr) return false;
    *out = *entry;
    return true;
}

// Frees the slot of `handle` and gives its descriptor; -1 for an unknown handle.
int RemoveHandle(HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    HandleEntry* entry = FindLocked(handle);
    if (entry == nullptr) return -1;
    int fd = entry->fd;
    entry->value = 0;
    return fd;
}

bool IsReadOnly(const struct stat& st) {
    return (st.st_mode & 0222) == 0;
}

// fstat as a 64-bit size; false with the last error set on failure.
bool SizeOf(int fd, int64_t* size) {
    struct stat st;
    if (fstat(fd, &st) != 0) return Fail(ErrorFromErrno(errno));
    *size = static_cast<int64_t>(st.st_size);
    return true;
}

// read(2) and write(2) may move less than asked for reasons other than the end
// of the file; Win32 callers take a short count as the end, so transfers loop.
// Chunks stay below SSIZE_MAX for 32-bit builds.
constexpr size_t kMaxChunk = size_t{1} << 30;

}  // namespace

// ---- Files

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD desiredAccess, DWORD /*shareMode*/,
                          LPSECURITY_ATTRIBUTES /*security*/, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING ||
        (creationDisposition == TRUNCATE_EXISTING && (desiredAccess & GENERIC_WRITE) == 0)) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DWORD nameError = CheckName(path);
    if (nameError != ERROR_SUCCESS) {
        Fail(nameError);
        return INVALID_HANDLE_VALUE;
    }
    const char* const name = path;

    // Linux opens a folder for reading; Windows refuses it as a file: 5, or 3
    // when the name ends in a separator. A name with a trailing separator that
    // is not a folder names nothing openable.
    struct stat st;
    const bool exists = stat(name, &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        Fail(EndsWithSeparator(name) ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (EndsWithSeparator(name)) {
        Fail(ErrorFromErrno(exists ? ENOTDIR : ENOENT, name));
        return INVALID_HANDLE_VALUE;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        Fail(kNotAFile);
        return INVALID_HANDLE_VALUE;
    }
    const bool truncates =
        creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
    if (exists && creationDisposition != CREATE_NEW && IsReadOnly(st) &&
        ((desiredAccess & GENERIC_WRITE) != 0 || truncates)) {
        Fail(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

    // O_NONBLOCK: a FIFO that took the file's place since the stat above must
    // not make the open wait; it is refused below, and a regular file's
    // descriptor is made blocking again.
    int flags = O_CLOEXEC | O_NONBLOCK;  // never O_APPEND: appending is a seek to the end
    const DWORD access = desiredAccess & (GENERIC_READ | GENERIC_WRITE);
    if (access == (GENERIC_READ | GENERIC_WRITE)) {
        flags |= O_RDWR;
    } else if (access == GENERIC_WRITE) {
        flags |= O_WRONLY;
    } else {
        flags |= O_RDONLY;  // access 0 too: the handle itself refuses transfers
    }
    switch (creationDisposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            flags |= O_TRUNC;
            break;
        default:  // OPEN_EXISTING
            break;
    }
    // The mode only binds later opens, so the creating handle keeps its write
    // access to a file created read-only.
    const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    int fd;
    do {
        fd = open(name, flags, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // ENXIO: a FIFO without a reader, opened for writing meanwhile.
        Fail(errno == ENXIO ? kNotAFile : ErrorFromErrno(errno, name));
        return INVALID_HANDLE_VALUE;
    }
    struct stat opened;
    const DWORD openedError = fstat(fd, &opened) != 0   ? ErrorFromErrno(errno)
                              : S_ISREG(opened.st_mode) ? ERROR_SUCCESS
                              : S_ISDIR(opened.st_mode) ? ERROR_ACCESS_DENIED
                                                        : kNotAFile;
    if (openedError != ERROR_SUCCESS) {
        close(fd);
        Fail(openedError);
        return INVALID_HANDLE_VALUE;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    HANDLE handle = AddHandle(fd, access);
    if (handle == INVALID_HANDLE_VALUE) {
        close(fd);
        Fail(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    // Success reports whether an existing file was opened in place of a new one.
    const bool reportsExisting =
        creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS;
    g_lastError = exists && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return handle;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read,
                     LPOVERLAPPED overlapped) {
    if (read != nullptr) *read = 0;
    HandleEntry entry;
    if (!FindHandle(file, &entry)) return Fail(ERROR_INVALID_HANDLE);
    if ((entry.access & GENERIC_READ) == 0) return Fail(ERROR_ACCESS_DENIED);
    if (overlapped != nullptr) return Fail(ERROR_INVALID_PARAMETER);  // synchronous only
    if (count == 0) return TRUE;
    if (buffer == nullptr) return Fail(ERROR_NOACCESS);
    char* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t chunk = count - done < kMaxChunk ? count - done : kMaxChunk;
        ssize_t n = ::read(entry.fd, bytes + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(ErrorFromErrno(errno));
        if (n == 0) break;  // end of file: a short count, not an error
        done += static_cast<size_t>(n);
    }
    if (read != nullptr) *read = static_cast<DWORD>(done);
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    if (written != nullptr) *written = 0;
    HandleEntry entry;
    if (!FindHandle(file, &entry)) return Fail(ERROR_INVALID_HANDLE);
    if ((entry.access & GENERIC_WRITE) == 0) return Fail(ERROR_ACCESS_DENIED);
    if (overlapped != nullptr) return Fail(ERROR_INVALID_PARAMETER);
    // A null write: must neither extend nor truncate, even past the end.
    if (count == 0) return TRUE;
    if (data == nullptr) return Fail(ERROR_INVALID_USER_BUFFER);
    // Past the end of the file, write(2) leaves a gap that reads as zeros.
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < count) {
        size_t chunk = count - done < kMaxChunk ? count - done : kMaxChunk;
        ssize_t n = ::write(entry.fd, bytes + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(ErrorFromErrno(errno));
        if (n == 0) return Fail(ERROR_DISK_FULL);  // no progress and no reason: stop
        done += static_cast<size_t>(n);
    }
    if (written != nullptr) *written = static_cast<DWORD>(done);
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    HandleEntry entry;
    int64_t size;
    if (!FindHandle(file, &entry)) {
        Fail(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (!SizeOf(entry.fd, &size)) return INVALID_FILE_SIZE;
    const uint64_t bits = static_cast<uint64_t>(size);
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(bits >> 32);
    const DWORD low = static_cast<DWORD>(bits);
    // The low part alone cannot tell this size from a failure.
    if (low == INVALID_FILE_SIZE) g_lastError = ERROR_SUCCESS;
    return low;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distanceLow, PLONG distanceHigh, DWORD moveMethod) {
    HandleEntry entry;
    if (!FindHandle(file, &entry)) {
        Fail(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    if (moveMethod > FILE_END) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the distance is signed 32-bit; with one it is the
    // 64-bit value high:low, the low half taken as unsigned.
    int64_t distance = distanceLow;
    if (distanceHigh != nullptr) {
        distance = static_cast<int64_t>(
            (static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
            static_cast<uint32_t>(distanceLow));
    }
    int64_t base = 0;
    if (moveMethod == FILE_CURRENT) {
        off_t position = lseek(entry.fd, 0, SEEK_CUR);
        if (position < 0) {
            Fail(ErrorFromErrno(errno));
            return INVALID_SET_FILE_POINTER;
        }
        base = position;
    } else if (moveMethod == FILE_END && !SizeOf(entry.fd, &base)) {
        return INVALID_SET_FILE_POINTER;
    }
    // The target is computed here, not by lseek, so that a negative one fails
    // with ERROR_NEGATIVE_SEEK and leaves the position alone.
    if (distance > 0 && base > INT64_MAX - distance) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    const int64_t target = base + distance;
    if (target < 0) {
        Fail(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the new position must fit in the 32-bit result.
    if (distanceHigh == nullptr && target > INT64_C(0xFFFFFFFF)) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(entry.fd, static_cast<off_t>(target), SEEK_SET) < 0) {
        Fail(ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(target >> 32);
    const DWORD low = static_cast<DWORD>(target);
    if (low == INVALID_SET_FILE_POINTER) g_lastError = ERROR_SUCCESS;
    return low;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    int fd = RemoveHandle(object);
    if (fd < 0) return Fail(ERROR_INVALID_HANDLE);
    // The descriptor is released whatever close reports; retrying after EINTR
    // could close a descriptor that another thread has just been given.
    if (close(fd) != 0 && errno != EINTR) return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
    DWORD nameError = CheckName(path);
    if (nameError != ERROR_SUCCESS) return Fail(nameError);
    const char* const name = path;
    struct stat st;
    if (stat(name, &st) != 0) return Fail(ErrorFromErrno(errno, name));
    // Folders ignore the read-only attribute; hidden, system and the others
    // have no POSIX form.
    if (S_ISDIR(st.st_mode)) return TRUE;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? mode & ~0222 : mode | S_IWUSR;
    // Leave the mode alone when it is already right: chmod needs ownership.
    if (mode != (st.st_mode & 07777) && chmod(name, mode) != 0) {
        return Fail(ErrorFromErrno(errno, name));
    }
    return TRUE;
}

// ---- Process

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    // A folder deeper than PATH_MAX fails (ERANGE: ERROR_FILENAME_EXCED_RANGE);
    // no name that long could be opened through this layer anyway.
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        Fail(ErrorFromErrno(errno));
        return 0;
    }
    const DWORD length = static_cast<DWORD>(strlen(cwd));
    // Too small, even by just the NUL: the size needed, buffer untouched.
    if (buffer == nullptr || size <= length) return length + 1;
    memcpy(buffer, cwd, length + 1);
    return length;
}

void WINAPI GetSystemTime(SYSTEMTIME* time) {
    if (time == nullptr) return;
    struct timespec now;
    struct tm utc;
    clock_gettime(CLOCK_REALTIME, &now);
    gmtime_r(&now.tv_sec, &utc);
    time->wYear = static_cast<WORD>(utc.tm_year + 1900);
    time->wMonth = static_cast<WORD>(utc.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    time->wDay = static_cast<WORD>(utc.tm_mday);
    time->wHour = static_cast<WORD>(utc.tm_hour);
    time->wMinute = static_cast<WORD>(utc.tm_min);
    // A leap second (tm_sec 60) has no SYSTEMTIME form.
    time->wSecond = static_cast<WORD>(utc.tm_sec > 59 ? 59 : utc.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

namespace {
platform::DebugWriter g_debugWriter = nullptr;
}  // namespace

void platform::SetDebugWriter(DebugWriter writer) {
    g_debugWriter = writer;
}

void WINAPI OutputDebugStringA(LPCSTR text) {
    const char* enabled = getenv("VKC_DEBUG");
    if (text == nullptr || enabled == nullptr || enabled[0] == '\0') return;
    if (g_debugWriter != nullptr) {
        g_debugWriter(text);
        return;
    }
    fprintf(stderr, "%s\n", text);
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    constexpr size_t kCapacity = 1024;
    if (buffer == nullptr) return 0;
    if (format == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, kCapacity, format, args);
    va_end(args);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return n < static_cast<int>(kCapacity) ? n : static_cast<int>(kCapacity - 1);
}

DWORD WINAPI GetLastError() {
    return g_lastError;
}

void WINAPI SetLastError(DWORD error) {
    g_lastError = error;
}

#endif  // _WIN32
