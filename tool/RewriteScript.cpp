#include "tool/RewriteScript.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "dict/LookAhead.h"
#include "dict/ScriptScanner.h"
#include "fileio/AtomicFile.h"
#include "platform/Win32.h"

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
    // A direct write (when the output's folder takes no temporary file)
    // truncates the output first, so it must not be the script.
    fileio::AtomicFileOptions options;
    options.directFallback = !fileio::SameFile(outputPath, inputPath);
    fileio::AtomicFile out;
    if (!out.Open(outputPath, options)) {
        Note(outputPath, "not written: ", out.error());
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
        Output output(out.stream());
        unsigned char open = 0;
        for (;;) {
            const size_t held = RewritePiece(data, filled, last, &open, output);
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
