// Reading a whole input file (a script, or a dictionary's bytes beside the
// library's own load) into memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace vkcdict {

// Reads the file at `path`, or standard input when `path` is "-", into
// `*bytes` (replaced). A pipe or another stream is read to its end. False
// with the reason in `*error` when it cannot be opened or read: "is a
// directory" for a folder, "out of memory" when the bytes cannot be held.
bool ReadInput(const std::string& path, std::string* bytes, std::string* error);

// The message for an input that could not be read, given the `error` of
// ReadInput, OpenRegularFile or ReadBlock: a folder ("is a directory") and a
// file that is not a regular one are named as such, anything else is
// "cannot read: " and the reason. The reasons given by this file and the
// message are in the user's language (vkcdict/i18n/Translate.h).
std::string ReadFailure(const std::string& error);

// Opens the file at `path` for reading, without waiting: only a regular file
// opens; a folder is refused with "is a directory", a FIFO, device or socket
// as not a regular file (a FIFO with no writer would make a plain open wait
// for ever). Returns the file, which the caller closes, with its size in
// `*size`; null with the reason in `*error` (ReadFailure words it).
FILE* OpenRegularFile(const std::string& path, uint64_t* size, std::string* error);

// A whole file in a block of its size, read without first filling the block.
struct FileBlock {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    std::string_view view() const { return std::string_view(data.get(), size); }
};
// Reads the regular file at `path` (opened as OpenRegularFile says) into
// `*block`, at most `limit` bytes (a longer file is refused before anything is
// read, with `*tooLong` set). False with the reason in `*error` when it cannot
// be opened or read.
bool ReadBlock(const std::string& path, size_t limit, FileBlock* block, bool* tooLong,
               std::string* error);

// An input read piece by piece, so that only a piece need be held: the file
// at a path, or standard input for "-" (a pipe or another stream is read to
// its end).
class InputPieces {
public:
    InputPieces() = default;
    ~InputPieces();
    InputPieces(const InputPieces&) = delete;
    InputPieces& operator=(const InputPieces&) = delete;

    // False with the reason in `*error`, as ReadInput says, when it cannot be
    // opened or is a folder.
    bool Open(const std::string& path, std::string* error);
    // Reads up to `size` bytes into `data`: how many, 0 at the end or when
    // reading failed (then error() says why).
    size_t Read(char* data, size_t size);
    // Empty unless reading failed.
    const std::string& error() const { return error_; }
    // The size of a regular file when it was opened, else 0.
    uint64_t size() const { return size_; }

private:
    FILE* in_ = nullptr;
    bool standardInput_ = false;
    uint64_t size_ = 0;
    std::string error_;
};

// Names the input that a command is working on while it lives, so that
// main() can say which file it was when memory runs out. Scopes nest. A
// scope left by an exception keeps its name in place, for the handler that
// catches the exception further out.
class WorkingOn {
public:
    explicit WorkingOn(const std::string& path);
    ~WorkingOn();
    WorkingOn(const WorkingOn&) = delete;
    WorkingOn& operator=(const WorkingOn&) = delete;

    // The input in work (or in work when an exception left its scope), or
    // null.
    static const std::string* Current();

private:
    std::string outer_;
    bool hadOuter_;
    int exceptions_;
};

}  // namespace vkcdict
