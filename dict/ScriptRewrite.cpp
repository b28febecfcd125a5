#include "dict/ScriptRewrite.h"

#include <cstring>

#include "dict/LookAhead.h"
#include "dict/ScriptScanner.h"
#include "dict/VKCStringDict.h"

namespace scriptrewrite {

namespace {

// A text buffer holds the longest text that is looked up and its NUL.
constexpr size_t kTextBufferSize = scriptscan::kLookupLimit;
// Texts are found this many ahead of their rewriting, and the memory of each
// one's lookup is fetched in two steps on the way (dict/LookAhead.h): the
// index slots when it is found, its text kFetchTextAt texts later.
constexpr size_t kRing = 32;
constexpr size_t kFetchTextAt = 16;

// One text found ahead of its rewriting, prepared for its lookup when it is
// short enough to have one.
struct Found {
    scriptscan::Text text;
    lookahead::Key key;
};

// The record whose CHI text replaces `found`, or null when the text stays:
// it is too long to be looked up, or its record is missing or has an empty
// CHI text.
const StringEntry* Translation(VKCStringDict& dict, const Found& found) {
    const size_t length = found.text.length;
    if (!scriptscan::IsLookedUp(length)) return nullptr;
    StringEntry* entry;
    if (!lookahead::Find(dict, found.key, &entry)) {
        char buffer[kTextBufferSize];
        std::memcpy(buffer, found.text.begin, length);
        buffer[length] = '\0';
        entry = dict.FindStringA(buffer);
    }
    return entry != nullptr && entry->chiLen != 0 ? entry : nullptr;
}

// Rewrites the closed texts of [begin, end) in order, with the plain runs in
// front of them; returns the byte after the last closing delimiter (begin
// when there is none), up to which everything has been written. Bytes that
// stay as they are go out in runs as long as possible, straight from the
// script when they are long.
const unsigned char* RewriteTexts(VKCStringDict& dict, const unsigned char* begin,
                                  const unsigned char* end, Output& out) {
    // An empty dictionary finds nothing: its texts are not even prepared.
    const bool lookups = dict.count != 0;
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
                lookahead::FetchSlot(dict, next.key);
            }
            if (found >= done + kFetchTextAt) {
                const Found& earlier = ring[(found - kFetchTextAt) % kRing];
                if (scriptscan::IsLookedUp(earlier.text.length)) {
                    lookahead::FetchText(dict, earlier.key);
                }
            }
        }
        if (done == found) break;
        const Found& next = ring[done++ % kRing];
        const StringEntry* entry = lookups ? Translation(dict, next) : nullptr;
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

}  // namespace

size_t RewritePiece(VKCStringDict& dict, const unsigned char* data, size_t size, bool last,
                    unsigned char* open, Output& out) {
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
    at = RewriteTexts(dict, at, end, out);
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

}  // namespace scriptrewrite
