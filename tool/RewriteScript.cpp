#include "tool/RewriteScript.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "dict/ScriptScanner.h"
#include "platform/PageMemory.h"

VKCStringDict g_dictionary;

namespace {

// A text buffer holds the longest text that is looked up and its NUL.
constexpr size_t kTextBufferSize = scriptscan::kLookupLimit;
// The output is gathered in a buffer of this size on the stack; a plain run at
// least half as long goes straight from the script to the file.
constexpr size_t kOutputBufferSize = 128 << 10;

// Gathers the rewritten script's many short pieces into few large writes.
class Output {
public:
    explicit Output(FILE* file) : file_(file) {}
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Write(const void* bytes, size_t n) {
        if (n > sizeof(buffer_) - used_) {
            Flush();
            if (n >= sizeof(buffer_) / 2) {
                std::fwrite(bytes, 1, n, file_);
                return;
            }
        }
        std::memcpy(buffer_ + used_, bytes, n);
        used_ += n;
    }
    void Put(unsigned char byte) {
        if (used_ == sizeof(buffer_)) Flush();
        buffer_[used_++] = byte;
    }
    void Flush() {
        if (used_ != 0) std::fwrite(buffer_, 1, used_, file_);
        used_ = 0;
    }

private:
    FILE* file_;
    size_t used_ = 0;
    unsigned char buffer_[kOutputBufferSize];
};

// Reads the whole file into a new block (the caller releases it with
// delete[]); null when the file cannot be opened for update or read. The
// block is advised for huge pages before the read fills it, which cuts the
// cost of a large script's first touch. Only the bytes read are used, so a
// file that shrinks meanwhile gives a shorter script, never a fault.
unsigned char* ReadScript(const char* inputPath, size_t* size) {
    FILE* in = std::fopen(inputPath, "r+b");
    if (in == nullptr) return nullptr;
    unsigned char* block = nullptr;
    long end = -1;
    if (std::fseek(in, 0, SEEK_END) == 0) end = std::ftell(in);
    if (end >= 0 && std::fseek(in, 0, SEEK_SET) == 0) {
        const size_t bytes = end > 0 ? static_cast<size_t>(end) : 1;
        block = new (std::nothrow) unsigned char[bytes];
        if (block != nullptr) {
            platform::AdviseHugePages(block, bytes);
            *size = std::fread(block, 1, static_cast<size_t>(end), in);
        }
    }
    std::fclose(in);
    return block;
}

// Writes the text that replaces `text`: its record's CHI text when there is
// one and it is not empty, the text itself otherwise.
void WriteTranslation(const unsigned char* text, size_t length, Output& out) {
    if (scriptscan::IsLookedUp(length)) {
        char buffer[kTextBufferSize];
        std::memcpy(buffer, text, length);
        buffer[length] = '\0';
        const StringEntry* entry = g_dictionary.FindStringA(buffer);
        if (entry != nullptr && entry->chiLen != 0) {
            out.Write(entry->chi, entry->chiLen);
            return;
        }
    }
    out.Write(text, length);
}

}  // namespace

int RewriteScriptFile(const char* outputPath, const char* inputPath) {
    size_t size = 0;
    unsigned char* block = ReadScript(inputPath, &size);
    if (block == nullptr) return 0;
    FILE* out = std::fopen(outputPath, "w+b");
    if (out == nullptr) {
        delete[] block;
        return 0;
    }
    // Output gathers the writes, so the stream needs no buffer of its own.
    std::setvbuf(out, nullptr, _IONBF, 0);

    {
        Output output(out);
        scriptscan::Scanner scanner(block, size);
        scriptscan::Text text;
        for (;;) {
            const unsigned char* at = scanner.position();
            if (!scanner.Next(&text)) {
                output.Write(at, static_cast<size_t>(scanner.end() - at));
                break;
            }
            // The run up to and including the opening delimiter goes out as is.
            output.Write(at, static_cast<size_t>(text.begin - at));
            WriteTranslation(text.begin, text.length, output);
            output.Put(text.closing);
        }
        output.Flush();
    }

    // A write that failed (a full disk) is no success.
    bool written = std::ferror(out) == 0;
    if (std::fclose(out) != 0) written = false;
    delete[] block;
    return written ? 1 : 0;
}
