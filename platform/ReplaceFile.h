// The operating-system half of replacing a file whole (fileio/AtomicFile.h):
// what a target is, a new file beside it, and the one step that puts that
// file in the target's place. POSIX and Windows each implement it in a file
// of their own (ReplaceFilePosix.cpp, ReplaceFileWindows.cpp).
//
// Failures are reported as the system's own words for the cause (strerror on
// POSIX, the system message on Windows) in `*error`; nothing is printed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// What stands at a path, links followed.
struct FileFacts {
    bool exists = false;
    bool directory = false;
    bool regular = false;   // a regular file: not a folder, device, FIFO or socket
    bool readOnly = false;  // no write permission bit (Windows: the read-only attribute),
                            // or the process may not write it
    uint64_t links = 0;     // names of a regular file (hard links)
};

// The facts of `path`; a missing file (or one that cannot be looked at) has
// exists false.
FileFacts InspectFile(const std::string& path);

// The file that `path` reaches through symbolic links (a link's relative
// target is taken from the link's folder), in `*reached`; `path` itself when
// it is no link. The file reached need not exist. False, with `*error` set,
// when the chain loops or is longer than the system follows (40 links), or
// when it passes a link that the system itself refuses to follow for this
// process: one in a folder that anyone may write (sticky, as /tmp), owned
// neither by the process's user nor by the folder's owner, as another user
// may plant there. Windows: `path` unchanged.
bool FollowLinks(const std::string& path, std::string* reached, std::string* error);

// The descriptor that `path` names when it is one of the process's own
// (/dev/stdout, /dev/stderr, /dev/stdin, /dev/fd/N, /proc/self/fd/N), else
// -1. Such a name must be written through the descriptor: resolved to a
// path, it would reach a file the shell opened for appending, or a pipe that
// no name reaches. Windows: always -1.
int OwnDescriptor(const std::string& path);

// A stream writing through a duplicate of descriptor `fd` (where the
// descriptor stands: appending, at its offset, into a pipe). Null, with
// `*error` set, when the descriptor is not open.
FILE* OpenDescriptor(int fd, std::string* error);

// True when something, a dangling link included, stands at `path` itself
// (links not followed).
bool NameTaken(const std::string& path);

// Creates a new, empty file beside `target` (in its folder), under a unique
// name: `target` + ".vkcdict-XXXXXX", or "vkcdict-XXXXXX" in the folder when
// that name would be too long. It is opened for writing and its name goes to
// `*name`. With `like` (an existing file, often the target itself) it gets
// that file's permission bits and, where the process may set them, its owner
// and group; with null the permissions of any new file (0666 less the umask;
// Windows: nothing to do). The
// caller owns the stream (fclose) and the file (remove it or MoveIntoPlace it).
// Null, with `*error` set, when no such file can be made.
FILE* CreateFileBeside(const std::string& target, const char* like, std::string* name,
                       std::string* error);

// Puts the file `from` in the place of `to` in one step (rename(2); on
// Windows MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH,
// a read-only target's attributes cleared for the move and set again on the
// new file). With `replace` false nothing that stands at `to` is replaced,
// nor followed if it is a link: the move fails, `*exists` set, when the name
// is taken. False, with `*error` set and both files as they were, on failure.
// REQUIRES: `from` is closed and in the same folder as `to`.
bool MoveIntoPlace(const std::string& from, const std::string& to, bool replace, std::string* error,
                   bool* exists);

// Makes the written content of `stream` durable: flushes it and asks the
// system to put the file's data on the disk (fsync; Windows:
// FlushFileBuffers), so that a power cut after it loses nothing written.
// False, with `*error` set, when either fails.
bool SyncToDisk(FILE* stream, std::string* error);

// Asks the system to put the folder holding `path` on the disk (fsync of the
// folder), so that a rename into it survives a power cut. Windows: nothing to
// do (MoveIntoPlace writes through). False, with `*error` set, on failure.
bool SyncFolderOf(const std::string& path, std::string* error);

// True when both names reach one existing file (same device and file
// number); false when either is missing or they are different files.
bool SameExistingFile(const std::string& a, const std::string& b);

// The system's words for the last failure of a file call (errno on POSIX,
// GetLastError on Windows).
std::string LastErrorText();

}  // namespace platform
