#include "tool/RewriteScript.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "dict/ScriptScanner.h"

VKCStringDict g_dictionary;

namespace {

// A text buffer holds the longest text that is looked up and its NUL.
constexpr size_t kTextBufferSize = scriptscan::kLookupLimit;
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

// Writes the text that replaces `text`: its record's CHI text when there is
// one and it is not empty, the text itself otherwise.
void WriteTranslation(const unsigned char* text, size_t length, FILE* out) {
    if (scriptscan::IsLookedUp(length)) {
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

    scriptscan::Scanner scanner(block, size);
    scriptscan::Text text;
    for (;;) {
        const unsigned char* at = scanner.position();
        if (!scanner.Next(&text)) {
            std::fwrite(at, 1, static_cast<size_t>(scanner.end() - at), out);
            break;
        }
        // The run up to and including the opening delimiter goes out as is.
        std::fwrite(at, 1, static_cast<size_t>(text.begin - at), out);
        WriteTranslation(text.begin, text.length, out);
        std::fputc(text.closing, out);
    }

    // A write that failed (a full disk) is no success.
    bool written = std::ferror(out) == 0;
    if (std::fclose(out) != 0) written = false;
    delete[] block;
    return written ? 1 : 0;
}
