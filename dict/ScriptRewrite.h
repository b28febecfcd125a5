// The substitution's rewriting of a game script: every closed text that the
// scanner finds (dict/ScriptScanner.h) and whose record has a non-empty CHI
// text is replaced by that text; everything else is copied byte for byte. The
// substitution tool and the C interface both rewrite through this one core,
// so their bytes are the same by construction.
//
// The rewritten bytes go to an Output, which gathers them in a window of
// memory the sink provides and hands the sink whatever does not fit.
#pragma once

#include <cstddef>
#include <cstring>

class VKCStringDict;

namespace scriptrewrite {

// Where the rewritten script goes. Write is the hot path: a copy into the
// window [at_, end_); only bytes that do not fit reach the sink's Overflow.
class Output {
public:
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Write(const void* bytes, size_t n) {
        if (n <= static_cast<size_t>(end_ - at_)) {
            if (n != 0) std::memcpy(at_, bytes, n);
            at_ += n;
            return;
        }
        Overflow(bytes, n);
    }

protected:
    Output() = default;
    ~Output() = default;

    // Takes `n` bytes that do not fit in the window, and may set a new
    // window. May throw, which abandons the rewrite.
    virtual void Overflow(const void* bytes, size_t n) = 0;

    unsigned char* at_ = nullptr;   // where the next byte goes
    unsigned char* end_ = nullptr;  // the window's end
};

// Rewrites `size` bytes at `data`, the script's next piece (or the whole
// script, with `last`), looking texts up in `dict`; `last` when no piece
// follows. `*open` carries a text too long to be looked up from one piece to
// the next: its closing delimiter while it is still open, else 0 (start with
// 0). Returns how many bytes at the end of the piece were held back (an
// opening delimiter whose text may yet close and be looked up, with that text
// so far); they must come again at the front of the next piece. With `last`,
// nothing is held back. The dictionary's lookups may build its index; records
// and texts do not change.
size_t RewritePiece(VKCStringDict& dict, const unsigned char* data, size_t size, bool last,
                    unsigned char* open, Output& out);

}  // namespace scriptrewrite
