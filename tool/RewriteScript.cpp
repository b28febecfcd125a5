#include "tool/RewriteScript.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "dict/ScriptRewrite.h"
#include "dict/ScriptScanner.h"
#include "fileio/AtomicFile.h"
#include "platform/Win32.h"

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

// The size of the open script, or -1 when it cannot be had.
long ScriptSize(FILE* in) {
    long end = -1;
    if (std::fseek(in, 0, SEEK_END) == 0) end = std::ftell(in);
    if (end < 0 || std::fseek(in, 0, SEEK_SET) != 0) return -1;
    return end;
}

// Tells the debugger output (VKC_DEBUG on POSIX) why the output was not
// written, or what was done that the user may not expect.
void Note(const char* outputPath, const char* what, const std::string& text) {
    OutputDebugStringA(("vkcsubst: " + std::string(outputPath) + ": " + what + text).c_str());
}

struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};

// RewriteScriptFile without its guard against running out of memory.
int Rewrite(const char* outputPath, const char* inputPath) {
    std::unique_ptr<FILE, CloseFile> in(std::fopen(inputPath, "r+b"));
    if (in == nullptr) return 0;
    // The pieces are read straight into the block.
    std::setvbuf(in.get(), nullptr, _IONBF, 0);
    // The script is read in pieces into one block used again and again,
    // which is faster than touching fresh memory for a whole script. The
    // output may be the script itself: it replaces the script only once it is
    // complete, after the last piece was read.
    if (ScriptSize(in.get()) < 0) return 0;
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kScriptPieceSize]);
    if (block == nullptr) return 0;
    fileio::AtomicFile out;
    if (!out.Open(outputPath)) {
        Note(outputPath, "not written: ", out.error());
        return 0;
    }
    // A device or descriptor is written while the script is read: where it
    // reaches the script itself (/dev/stdout appending to it), the rewrite
    // would read its own output.
    if (out.direct() && fileio::SameFile(outputPath, inputPath)) {
        Note(outputPath, "not written: ", "it is the script, which would be written as it is read");
        return 0;
    }
    if (!out.warning().empty()) Note(outputPath, "", out.warning());
    // Output gathers the writes, so the stream needs no buffer of its own.
    std::setvbuf(out.stream(), nullptr, _IONBF, 0);

    // Only the bytes read are used, so a file that shrinks meanwhile gives a
    // shorter script, never a fault.
    unsigned char* const data = block.get();
    size_t filled = std::fread(data, 1, kScriptPieceSize, in.get());
    bool last = filled < kScriptPieceSize;
    {
        FileOutput output(out.stream());
        unsigned char open = 0;
        for (;;) {
            const size_t held =
                scriptrewrite::RewritePiece(g_dictionary, data, filled, last, &open, output);
            if (last) break;
            std::memmove(data, data + filled - held, held);
            filled = held + std::fread(data + held, 1, kScriptPieceSize - held, in.get());
            last = filled < kScriptPieceSize;
        }
        output.Flush();
    }
    // Closed before the output may replace it (Windows refuses to replace an
    // open file).
    in.reset();
    // A write that failed (a full disk) is no success, and leaves the target
    // as it was.
    if (!out.Commit()) {
        Note(outputPath, "not written: ", out.error());
        return 0;
    }
    return 1;
}

}  // namespace

int RewriteScriptFile(const char* outputPath, const char* inputPath) {
    try {
        return Rewrite(outputPath, inputPath);
    } catch (const std::bad_alloc&) {
        return 0;  // whatever was made is discarded on the way out
    }
}
