// Finding the texts of a game script that the substitution translates.
//
// A text runs from an opening '[' to the next ']', or from a '"' to the next
// '"'; a '[' or '"' inside a text belongs to that text, and nothing escapes a
// delimiter. An opening delimiter that is never closed ends the scan: the
// rest of the script holds no text. Only a text of fewer than kLookupLimit
// bytes is looked up, after its blanks are trimmed (TrimSpacesA mode 0).
//
// This is the one statement of that rule: the substitution tool and every
// program that reports on scripts find texts through ScriptScanner.
#pragma once

#include <cstddef>

namespace scriptscan {

// Texts of this many bytes or more are never looked up.
constexpr size_t kLookupLimit = 2048;

// One closed text. All pointers lie in the scanned block.
struct Text {
    const unsigned char* opening;  // the opening delimiter
    const unsigned char* begin;    // the text's first byte (just after `opening`)
    size_t length;                 // bytes between the delimiters
    unsigned char closing;         // ']' or '"'; it lies at begin + length
};

// The delimiter that closes a text opened by `opening` ('[' or '"').
inline unsigned char ClosingFor(unsigned char opening) {
    return opening == '[' ? ']' : '"';
}

// The first byte in [from, end) that is '[' or '"', or `end`.
const unsigned char* NextOpening(const unsigned char* from, const unsigned char* end);

// Walks a block of script bytes from its start, one closed text at a time.
// The scanner does not own the block, which must outlive it unchanged.
class Scanner {
public:
    Scanner(const void* data, size_t size);

    // Finds the next closed text after the previous one (or from the start)
    // and returns true; the bytes from position() up to text->opening are
    // plain. Returns false when no closed text is left: the bytes from
    // position() to the end are copied as they are (no opening delimiter, or
    // one that is never closed). After a true result, position() is the byte
    // after the closing delimiter.
    bool Next(Text* text);

    // The first byte not yet covered by a text handed out.
    const unsigned char* position() const { return at_; }
    const unsigned char* end() const { return end_; }

private:
    const unsigned char* at_;
    const unsigned char* end_;
};

// True when a text of `length` bytes is looked up at all.
inline bool IsLookedUp(size_t length) {
    return length < kLookupLimit;
}

}  // namespace scriptscan
