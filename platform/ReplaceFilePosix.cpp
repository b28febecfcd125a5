// Replacing a file whole, over POSIX. See platform/ReplaceFile.h.
#ifndef _WIN32

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

// The rule by which the system refuses to follow a link (fs.protected_symlinks):
// a link in a sticky folder that anyone may write is followed only by its
// owner or when the folder's owner owns it too.
bool PlantedLink(const std::string& link, const struct stat& st) {
    if (st.st_uid == geteuid()) return false;
    std::string folder = FolderOf(link);
    if (folder.empty()) folder = ".";
    struct stat parent;
    if (stat(folder.c_str(), &parent) != 0) return false;
    const bool shared = (parent.st_mode & S_ISVTX) != 0 && (parent.st_mode & S_IWOTH) != 0;
    return shared && parent.st_uid != st.st_uid;
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

bool FollowLinks(const std::string& path, std::string* reached, std::string* error) {
    std::string name = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat st;
        if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            reached->swap(name);
            return true;
        }
        if (hop == kMaxLinks) break;
        if (PlantedLink(name, st)) {
            *error =
                "it is a symbolic link in a folder that anyone may write, owned by another "
                "user; it is not followed";
            return false;
        }
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = readlink(name.c_str(), &target[0], target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) {
            *error = n < 0 ? std::strerror(errno) : "the symbolic link changed while it was read";
            return false;
        }
        target.resize(static_cast<size_t>(n));
        name = target[0] == '/' ? target : FolderOf(name) + target;
    }
    *error = std::strerror(ELOOP);  // a loop, or more links than the system follows
    return false;
}

int OwnDescriptor(const std::string& path) {
    if (path == "/dev/stdin") return 0;
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const size_t length = std::strlen(prefix);
        if (path.compare(0, length, prefix) != 0 || path.size() == length) continue;
        long fd = 0;
        for (size_t i = length; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9' || fd > INT_MAX / 10) return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd <= INT_MAX ? static_cast<int>(fd) : -1;
    }
    return -1;
}

FILE* OpenDescriptor(int fd, std::string* error) {
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    FILE* file = copy < 0 ? nullptr : fdopen(copy, "wb");
    if (file == nullptr) {
        const int reason = errno;
        if (copy >= 0) close(copy);
        *error = std::strerror(reason);
    }
    return file;
}

bool NameTaken(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
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

bool SyncToDisk(FILE* stream, std::string* error) {
    if (std::fflush(stream) != 0 || fsync(fileno(stream)) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

bool SyncFolderOf(const std::string& path, std::string* error) {
    std::string folder = FolderOf(path);
    if (folder.empty()) folder = ".";
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Some file systems refuse fsync on a folder (EINVAL): their renames are
    // as durable as they get.
    const bool synced = fd >= 0 && (fsync(fd) == 0 || errno == EINVAL);
    if (!synced) *error = std::strerror(errno);
    if (fd >= 0) close(fd);
    return synced;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, bool replace, std::string* error,
                   bool* exists) {
    *exists = false;
    if (replace) {
        if (rename(from.c_str(), to.c_str()) == 0) return true;
    } else {
        // Neither call replaces what stands at `to` or follows a link there.
#ifdef RENAME_NOREPLACE
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
            return true;
        }
        const bool unsupported = errno == EINVAL || errno == ENOSYS;
#else
        const bool unsupported = true;
#endif
        // A file system without that rename: a hard link is made only where
        // the name is free, and the temporary name then goes.
        if (unsupported && link(from.c_str(), to.c_str()) == 0) {
            unlink(from.c_str());
            return true;
        }
        *exists = errno == EEXIST;
    }
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
