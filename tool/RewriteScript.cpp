#include "tool/RewriteScript.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "dict/ScriptRewrite.h"
#include "dict/ScriptScanner.h"
#include "platform/PageMemory.h"

VKCStringDict g_dictionary;

namespace {

// The output is gathered in a buffer of this size on the stack; a plain run at
// least half as long goes straight from the script to the file.
constexpr size_t kOutputBufferSize = 128 << 10;
static_assert(kScriptPieceSize > scriptscan::kLookupLimit + 1, "a piece holds a held-back text");

// Gathers the rewritten script's many short pieces into few large writes.
class FileOutput : public scriptrewrite::Output {
public:
    explicit FileOutput(FILE* file) : file_(file) {
        at_ = buffer_;
        end_ = buffer_ + sizeof(buffer_);
    }

    void Flush() {
        if (at_ != buffer_) std::fwrite(buffer_, 1, static_cast<size_t>(at_ - buffer_), file_);
        at_ = buffer_;
    }

private:
    void Overflow(const void* bytes, size_t n) override {
        Flush();
        if (n >= sizeof(buffer_) / 2) {
            std::fwrite(bytes, 1, n, file_);
            return;
        }
        std::memcpy(at_, bytes, n);
        at_ += n;
    }

    FILE* file_;
    unsigned char buffer_[kOutputBufferSize];
};

// False only when `outputPath` is surely another file than the open script:
// it does not exist, or (where files have identities) it is another file.
// Then the script may be read piece by piece while the output is written.
bool MayBeTheScript(FILE* script, const char* outputPath) {
    struct stat output;
    if (stat(outputPath, &output) != 0) return errno != ENOENT;
#ifdef _WIN32
    (void)script;
    return true;
#else
    struct stat input;
    if (fstat(fileno(script), &input) != 0) return true;
    return input.st_dev == output.st_dev && input.st_ino == output.st_ino;
#endif
}

// The size of the open script, or -1 when it cannot be had.
long ScriptSize(FILE* in) {
    long end = -1;
    if (std::fseek(in, 0, SEEK_END) == 0) end = std::ftell(in);
    if (end < 0 || std::fseek(in, 0, SEEK_SET) != 0) return -1;
    return end;
}

}  // namespace

int RewriteScriptFile(const char* outputPath, const char* inputPath) {
    FILE* in = std::fopen(inputPath, "r+b");
    if (in == nullptr) return 0;
    // The pieces are read straight into the block.
    std::setvbuf(in, nullptr, _IONBF, 0);
    const long size = ScriptSize(in);
    // A script that may be the output itself is read whole before the output
    // replaces it. Any other is read in pieces into one block used again and
    // again, which is faster than touching fresh memory for a whole script.
    const bool whole = size >= 0 && MayBeTheScript(in, outputPath);
    const size_t capacity = !whole ? kScriptPieceSize : size > 0 ? static_cast<size_t>(size) : 1;
    unsigned char* block = size >= 0 ? new (std::nothrow) unsigned char[capacity] : nullptr;
    if (block == nullptr) {
        std::fclose(in);
        return 0;
    }
    // Advised before the read fills it, which is its first touch.
    if (whole) platform::AdviseHugePages(block, capacity);
    // Only the bytes read are used, so a file that shrinks meanwhile gives a
    // shorter script, never a fault.
    size_t filled = std::fread(block, 1, whole ? static_cast<size_t>(size) : capacity, in);
    bool last = whole || filled < capacity;
    if (whole) {
        std::fclose(in);
        in = nullptr;
    }
    FILE* out = std::fopen(outputPath, "w+b");
    if (out == nullptr) {
        if (in != nullptr) std::fclose(in);
        delete[] block;
        return 0;
    }
    // Output gathers the writes, so the stream needs no buffer of its own.
    std::setvbuf(out, nullptr, _IONBF, 0);

    {
        FileOutput output(out);
        unsigned char open = 0;
        for (;;) {
            const size_t held =
                scriptrewrite::RewritePiece(g_dictionary, block, filled, last, &open, output);
            if (last) break;
            std::memmove(block, block + filled - held, held);
            filled = held + std::fread(block + held, 1, capacity - held, in);
            last = filled < capacity;
        }
        output.Flush();
    }

    if (in != nullptr) std::fclose(in);
    // A write that failed (a full disk) is no success.
    bool written = std::ferror(out) == 0;
    if (std::fclose(out) != 0) written = false;
    delete[] block;
    return written ? 1 : 0;
}
