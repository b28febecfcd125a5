#include "tool/RewriteScript.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "dict/LookAhead.h"
#include "dict/ScriptScanner.h"
#include "platform/PageMemory.h"

VKCStringDict g_dictionary;

namespace {

// A text buffer holds the longest text that is looked up and its NUL.
constexpr size_t kTextBufferSize = scriptscan::kLookupLimit;
// The output is gathered in a buffer of this size on the stack; a plain run at
// least half as long goes straight from the script to the file.
constexpr size_t kOutputBufferSize = 128 << 10;
// Texts are found this many ahead of their rewriting, and the memory of each
// one's lookup is fetched in two steps on the way (dict/LookAhead.h): the
// index slots when it is found, its text kFetchTextAt texts later.
constexpr size_t kRing = 32;
constexpr size_t kFetchTextAt = 16;
static_assert(kScriptPieceSize > scriptscan::kLookupLimit + 1, "a piece holds a held-back text");

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
    void Flush() {
        if (used_ != 0) std::fwrite(buffer_, 1, used_, file_);
        used_ = 0;
    }

private:
    FILE* file_;
    size_t used_ = 0;
    unsigned char buffer_[kOutputBufferSize];
};

// One text found ahead of its rewriting, prepared for its lookup when it is
// short enough to have one.
struct Found {
    scriptscan::Text text;
    lookahead::Key key;
};

// The record whose CHI text replaces `found`, or null when the text stays:
// it is too long to be looked up, or its record is missing or has an empty
// CHI text.
const StringEntry* Translation(const Found& found) {
    const size_t length = found.text.length;
    if (!scriptscan::IsLookedUp(length)) return nullptr;
    StringEntry* entry;
    if (!lookahead::Find(g_dictionary, found.key, &entry)) {
        char buffer[kTextBufferSize];
        std::memcpy(buffer, found.text.begin, length);
        buffer[length] = '\0';
        entry = g_dictionary.FindStringA(buffer);
    }
    return entry != nullptr && entry->chiLen != 0 ? entry : nullptr;
}

// Rewrites the closed texts of [begin, end) in order, with the plain runs in
// front of them; returns the byte after the last closing delimiter (begin
// when there is none), up to which everything has been written. Bytes that
// stay as they are go out in runs as long as possible, straight from the
// script when they are long.
const unsigned char* RewriteTexts(const unsigned char* begin, const unsigned char* end,
                                  Output& out) {
    // An empty dictionary finds nothing: its texts are not even prepared.
    const bool lookups = g_dictionary.count != 0;
    scriptscan::Scanner scanner(begin, static_cast<size_t>(end - begin));
    Found ring[kRing];
    size_t found = 0;  // texts found so far; ring[i % kRing] holds text i
    size_t done = 0;   // texts rewritten so far
    bool more = true;
    const unsigned char* run = begin;  // the first byte not yet written
    const unsigned char* at = begin;   // the byte after the last text rewritten
    for (;;) {
        for (; more && found - done < kRing; ++found) {
            Found& next = ring[found % kRing];
            more = scanner.Next(&next.text);
            if (!more) break;
            if (!lookups) continue;
            if (scriptscan::IsLookedUp(next.text.length)) {
                next.key = lookahead::Prepare(reinterpret_cast<const char*>(next.text.begin),
                                              next.text.length);
                lookahead::FetchSlot(g_dictionary, next.key);
            }
            if (found >= done + kFetchTextAt) {
                const Found& earlier = ring[(found - kFetchTextAt) % kRing];
                if (scriptscan::IsLookedUp(earlier.text.length)) {
                    lookahead::FetchText(g_dictionary, earlier.key);
                }
            }
        }
        if (done == found) break;
        const Found& next = ring[done++ % kRing];
        const StringEntry* entry = lookups ? Translation(next) : nullptr;
        if (entry != nullptr) {
            // The run up to and including the opening delimiter, then the
            // translation; the closing delimiter begins the next run.
            out.Write(run, static_cast<size_t>(next.text.begin - run));
            out.Write(entry->chi, entry->chiLen);
            run = next.text.begin + next.text.length;
        }
        at = next.text.begin + next.text.length + 1;
    }
    out.Write(run, static_cast<size_t>(at - run));
    return at;
}

// Rewrites `size` bytes at `data`, the script's next piece; `last` when no
// piece follows. `*open` carries a text too long to be looked up from one
// piece to the next: its closing delimiter while it is still open, else 0.
// Returns how many bytes at the end of the piece were held back (an opening
// delimiter whose text may yet close and be looked up, with that text so
// far); they must come again at the front of the next piece.
size_t RewritePiece(const unsigned char* data, size_t size, bool last, unsigned char* open,
                    Output& out) {
    const unsigned char* at = data;
    const unsigned char* const end = data + size;
    if (*open != 0) {
        const void* close = std::memchr(at, *open, size);
        if (close == nullptr) {
            out.Write(at, size);
            return 0;
        }
        at = static_cast<const unsigned char*>(close) + 1;
        out.Write(data, static_cast<size_t>(at - data));
        *open = 0;
    }
    at = RewriteTexts(at, end, out);
    const unsigned char* opening = scriptscan::NextOpening(at, end);
    out.Write(at, static_cast<size_t>(opening - at));
    if (opening == end) return 0;
    // The text has no closing delimiter in this piece. It is held back while
    // it may still close short enough to be looked up; a longer one is
    // copied as it comes, and the scan waits for its closing delimiter.
    const size_t sofar = static_cast<size_t>(end - opening) - 1;
    if (!last && scriptscan::IsLookedUp(sofar)) return sofar + 1;
    out.Write(opening, sofar + 1);
    if (!last) *open = scriptscan::ClosingFor(*opening);
    return 0;
}

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
        Output output(out);
        unsigned char open = 0;
        for (;;) {
            const size_t held = RewritePiece(block, filled, last, &open, output);
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
