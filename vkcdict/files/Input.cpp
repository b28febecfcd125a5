// Inputs are opened with the C library and looked at with fstat before they
// are read: a regular file is read into a block of its size at once, a
// folder is refused by name (fopen opens one on Linux, and its "size" from
// fseek and ftell is 2^63 - 1), and anything else (a pipe, a terminal, a
// device) is read in pieces until its end. A dictionary's bytes (ReadBlock)
// come from a regular file only, which the library's loader needs too; it is
// opened without waiting, as a FIFO with no writer would make an open wait.
#include "vkcdict/files/Input.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "vkcdict/i18n/SystemText.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

// The reasons given here, in the user's language (ReadFailure knows the
// first two by their text).
const char* IsDirectory() {
    return Tr("is a directory");
}
const char* NotAFile() {
    return Tr("not a regular file (a named pipe, a device or a socket)");
}
const char* OutOfMemory() {
    return Tr("out of memory");
}

std::string inWork;
bool working = false;

enum class Kind { kRegular, kDirectory, kOther };

struct Shape {
    Kind kind = Kind::kOther;
    uint64_t size = 0;  // of a regular file
};

Shape ShapeOf(FILE* in) {
    Shape shape;
#ifdef _WIN32
    struct _stat64 st;
    if (_fstat64(_fileno(in), &st) != 0) return shape;
#else
    struct stat st;
    if (fstat(fileno(in), &st) != 0) return shape;
#endif
    if ((st.st_mode & S_IFMT) == S_IFDIR) shape.kind = Kind::kDirectory;
    if ((st.st_mode & S_IFMT) == S_IFREG && st.st_size >= 0) {
        shape.kind = Kind::kRegular;
        shape.size = static_cast<uint64_t>(st.st_size);
    }
    return shape;
}

// Why `path` could not be opened. Windows' fopen refuses a folder with
// "Permission denied"; the folder is named as such there too.
std::string OpenFailure(const std::string& path) {
    const int error = errno;
#ifdef _WIN32
    struct _stat64 st;
    if (_stat64(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR) return IsDirectory();
#else
    (void)path;
#endif
    return std::strerror(error);
}

// A size that this process could never hold is refused before any
// allocation is tried.
size_t BlockSize(uint64_t size) {
    if (size >= SIZE_MAX / 2) throw std::bad_alloc();
    return static_cast<size_t>(size);
}

}  // namespace

std::string ReadFailure(const std::string& error) {
    return error == IsDirectory() || error == NotAFile()
               ? error
               : Tr("cannot read: {1}", {SystemText(error)});
}

FILE* OpenRegularFile(const std::string& path, uint64_t* size, std::string* error) {
#ifdef _WIN32
    FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        *error = OpenFailure(path);
        return nullptr;
    }
#else
    int fd;
    do {
        fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *error = OpenFailure(path);
        return nullptr;
    }
    FILE* in = fdopen(fd, "rb");
    if (in == nullptr) {
        *error = std::strerror(errno);
        close(fd);
        return nullptr;
    }
#endif
    const Shape shape = ShapeOf(in);
    if (shape.kind != Kind::kRegular) {
        *error = shape.kind == Kind::kDirectory ? IsDirectory() : NotAFile();
        std::fclose(in);
        return nullptr;
    }
#ifndef _WIN32
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // reads wait for the disk again
#endif
    *size = shape.size;
    return in;
}

WorkingOn::WorkingOn(const std::string& path)
    : outer_(inWork), hadOuter_(working), exceptions_(std::uncaught_exceptions()) {
    inWork = path;
    working = true;
}

WorkingOn::~WorkingOn() {
    if (std::uncaught_exceptions() != exceptions_) return;
    inWork.swap(outer_);
    working = hadOuter_;
}

const std::string* WorkingOn::Current() {
    return working ? &inWork : nullptr;
}

bool ReadInput(const std::string& path, std::string* bytes, std::string* error) {
    bytes->clear();
    InputPieces in;
    if (!in.Open(path, error)) return false;
    bool outOfMemory = false;
    try {
        if (in.size() > 0) {
            bytes->resize(BlockSize(in.size()));
            bytes->resize(in.Read(&(*bytes)[0], bytes->size()));
        }
        // The rest of a stream, or what a file grew by meanwhile.
        char buffer[1 << 16];
        size_t got;
        while ((got = in.Read(buffer, sizeof(buffer))) > 0) bytes->append(buffer, got);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    } catch (const std::length_error&) {
        outOfMemory = true;
    }
    if (!outOfMemory && in.error().empty()) return true;
    *error = outOfMemory ? OutOfMemory() : in.error();
    std::string().swap(*bytes);
    return false;
}

InputPieces::~InputPieces() {
    if (in_ != nullptr && !standardInput_) std::fclose(in_);
}

bool InputPieces::Open(const std::string& path, std::string* error) {
    standardInput_ = path == "-";
#ifdef _WIN32
    if (standardInput_) _setmode(_fileno(stdin), _O_BINARY);
#endif
    in_ = standardInput_ ? stdin : std::fopen(path.c_str(), "rb");
    if (in_ == nullptr) {
        *error = OpenFailure(path);
        return false;
    }
    const Shape shape = ShapeOf(in_);
    if (shape.kind == Kind::kDirectory) {
        *error = IsDirectory();
        return false;
    }
    size_ = shape.kind == Kind::kRegular ? shape.size : 0;
    return true;
}

size_t InputPieces::Read(char* data, size_t size) {
    const size_t got = std::fread(data, 1, size, in_);
    if (got == 0 && std::ferror(in_) != 0 && error_.empty()) error_ = std::strerror(errno);
    return got;
}

bool ReadBlock(const std::string& path, size_t limit, FileBlock* block, bool* tooLong,
               std::string* error) {
    *tooLong = false;
    uint64_t size = 0;
    FILE* in = OpenRegularFile(path, &size, error);
    if (in == nullptr) return false;
    bool read = false;
    if (size > limit) {
        *tooLong = true;
        block->size = static_cast<size_t>(std::min<uint64_t>(size, SIZE_MAX));
        read = true;
    } else {
        try {
            block->data.reset(new char[static_cast<size_t>(size) + 1]);
            block->size = std::fread(block->data.get(), 1, static_cast<size_t>(size), in);
            read = std::ferror(in) == 0;
            if (!read) *error = std::strerror(errno);
        } catch (const std::bad_alloc&) {
            *error = OutOfMemory();
        }
    }
    std::fclose(in);
    return read;
}

}  // namespace vkcdict
