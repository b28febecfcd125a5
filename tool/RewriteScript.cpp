#include "tool/RewriteScript.h"

#include <cstdio>
#include <cstring>
#include <new>

VKCStringDict g_dictionary;

namespace {

// The longest text that is looked up; a text buffer holds it and its NUL.
constexpr size_t kTextBufferSize = 2048;
constexpr size_t kOutputBufferSize = 1 << 20;

// Reads the whole file into a new block (the caller releases it with
// delete[]); null when the file cannot be opened for update or read.
unsigned char* ReadScript(const char* inputPath, size_t* size) {
    FILE* in = std::fopen(inputPath, "r+b");
    if (in == nullptr) return nullptr;
    unsigned char* block = nullptr;
    long end = -1;
    if (std::fseek(in, 0, SEEK_END) == 0) end = std::ftell(in);
    if (end >= 0 && std::fseek(in, 0, SEEK_SET) == 0) {
        block = new (std::nothrow) unsigned char[end > 0 ? static_cast<size_t>(end) : 1];
        if (block != nullptr) *size = std::fread(block, 1, static_cast<size_t>(end), in);
    }
    std::fclose(in);
    return block;
}

// The first position in [from, end) holding '[' or '"', or `end`.
const unsigned char* NextOpening(const unsigned char* from, const unsigned char* end) {
    while (from < end && *from != '[' && *from != '"') ++from;
    return from;
}

// Writes the text that replaces `text`: its record's CHI text when there is
// one and it is not empty, the text itself otherwise.
void WriteTranslation(const unsigned char* text, size_t length, FILE* out) {
    if (length < kTextBufferSize) {
        char buffer[kTextBufferSize];
        std::memcpy(buffer, text, length);
        buffer[length] = '\0';
        const StringEntry* entry = g_dictionary.FindStringA(buffer);
        if (entry != nullptr && entry->chiLen != 0) {
            std::fwrite(entry->chi, 1, entry->chiLen, out);
            return;
        }
    }
    std::fwrite(text, 1, length, out);
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
    std::setvbuf(out, nullptr, _IOFBF, kOutputBufferSize);

    const unsigned char* end = block + size;
    const unsigned char* at = block;
    while (at < end) {
        // The run up to and including the next opening delimiter goes out as is.
        const unsigned char* opening = NextOpening(at, end);
        if (opening == end) {
            std::fwrite(at, 1, static_cast<size_t>(end - at), out);
            break;
        }
        std::fwrite(at, 1, static_cast<size_t>(opening - at) + 1, out);
        const unsigned char* text = opening + 1;
        const unsigned char closing = *opening == '[' ? ']' : '"';
        // The raw bytes up to the end of the data: a NUL is an ordinary byte here.
        const unsigned char* close = static_cast<const unsigned char*>(
            std::memchr(text, closing, static_cast<size_t>(end - text)));
        if (close == nullptr) {
            std::fwrite(text, 1, static_cast<size_t>(end - text), out);
            break;
        }
        WriteTranslation(text, static_cast<size_t>(close - text), out);
        std::fputc(closing, out);
        at = close + 1;
    }

    // A write that failed (a full disk) is no success.
    bool written = std::ferror(out) == 0;
    if (std::fclose(out) != 0) written = false;
    delete[] block;
    return written ? 1 : 0;
}
