// Replacing a file whole, over POSIX. See platform/ReplaceFile.h.
#ifndef _WIN32

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/ReplaceFile.h"

namespace platform {

namespace {

// As the kernel bounds a chain of links.
constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// mkstemp over `pattern` (ending in XXXXXX), then the target's mode and owner.
int MakeUnique(std::string* pattern) {
    int fd;
    do {
        fd = mkstemp(&(*pattern)[0]);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

FileFacts InspectFile(const std::string& path) {
    FileFacts facts;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return facts;
    facts.exists = true;
    facts.directory = S_ISDIR(st.st_mode);
    facts.regular = S_ISREG(st.st_mode);
    facts.links = static_cast<uint64_t>(st.st_nlink);
    // Root may write any file; a file without write bits is still read-only
    // to the user who made it so.
    facts.readOnly =
        (st.st_mode & 0222) == 0 || (access(path.c_str(), W_OK) != 0 && errno != ENOENT);
    return facts;
}

std::string FollowLinks(const std::string& path) {
    std::string name = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st;
        if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = readlink(name.c_str(), &target[0], target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) return name;
        target.resize(static_cast<size_t>(n));
        name = target[0] == '/' ? target : FolderOf(name) + target;
    }
    return name;  // a loop: the rename fails on it with the system's reason
}

FILE* CreateFileBeside(const std::string& target, const char* like, std::string* name,
                       std::string* error) {
    std::string pattern = target + ".vkcdict-XXXXXX";
    int fd = MakeUnique(&pattern);
    if (fd < 0 && errno == ENAMETOOLONG) {
        pattern = FolderOf(target) + "vkcdict-XXXXXX";
        fd = MakeUnique(&pattern);
    }
    if (fd < 0) {
        *error = std::strerror(errno);
        return nullptr;
    }
    // mkstemp makes the file private (0600): give it the target's mode, or
    // the one any new file gets. The owner first, since chown may clear the
    // set-user-ID bits; a process that may not give files away keeps its own.
    struct stat st;
    mode_t mode;
    if (like != nullptr && stat(like, &st) == 0) {
        if (fchown(fd, st.st_uid, st.st_gid) != 0 &&
            fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
            // EPERM: the file stays the process's own.
        }
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    FILE* file = nullptr;
    if (fchmod(fd, mode) == 0) file = fdopen(fd, "wb");
    // Nothing allocates once the file exists, so that running out of memory
    // never leaves it behind.
    if (file == nullptr) {
        const int reason = errno;
        close(fd);
        unlink(pattern.c_str());
        *error = std::strerror(reason);
        return nullptr;
    }
    name->swap(pattern);
    return file;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string* error) {
    if (rename(from.c_str(), to.c_str()) == 0) return true;
    *error = std::strerror(errno);
    return false;
}

bool SameExistingFile(const std::string& a, const std::string& b) {
    struct stat x;
    struct stat y;
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

std::string LastErrorText() {
    return std::strerror(errno);
}

}  // namespace platform

#endif  // _WIN32
