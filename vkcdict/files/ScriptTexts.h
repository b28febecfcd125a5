// The texts of a script as the substitution sees them: found by the library's
// scanner (scriptscan::Scanner), each text shorter than the lookup limit
// trimmed and looked up in the dictionary exactly as vkcsubst looks it up.
// extract, stats and subst all walk scripts through this one class, and
// subst writes its output by vkcsubst's rule (WriteSubstitution).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dict/LookAhead.h"
#include "dict/ScriptScanner.h"
#include "dict/VKCStringDict.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/files/Output.h"

namespace vkcdict {

struct ScriptText {
    scriptscan::Text text;
    bool lookedUp = false;               // shorter than the lookup limit
    std::string_view key;                // the trimmed text, up to a NUL; valid until the next text
    const StringEntry* entry = nullptr;  // what the lookup returns (null: none, or not looked up)

    bool translated() const { return entry != nullptr && entry->chiLen != 0; }
    // A text that extract makes a record of: looked up, without a
    // translation, not empty, and storable as an ENG text.
    bool extractable() const;
};

class ScriptWalk {
public:
    // `dict` may be null: nothing is translated. Neither `dict` nor `script`
    // is owned; both must outlive the walk unchanged (lookups only read).
    ScriptWalk(VKCStringDict* dict, std::string_view script);
    ScriptWalk(const ScriptWalk&) = delete;
    ScriptWalk& operator=(const ScriptWalk&) = delete;

    // Walks `script` from its start instead, with the same dictionary.
    void Restart(std::string_view script);

    // The next text, or false when none is left.
    bool Next(ScriptText* text);
    // After Next() returned false: the opening delimiter that is never
    // closed, or null when there is none.
    const unsigned char* Unclosed() const;
    // The line (from 1) of a byte of the script; ask in ascending order.
    uint64_t LineOf(const unsigned char* at);

    // The first byte after the last text handed out (the script's first
    // byte before any), and the script's end.
    const unsigned char* position() const { return after_; }
    const unsigned char* end() const { return scanner_.end(); }

private:
    static constexpr size_t kRing = 32;         // texts found ahead
    static constexpr size_t kFetchTextAt = 16;  // when a text's record is fetched
    struct Ahead {
        scriptscan::Text text;
        lookahead::Key key;  // when looked up
    };

    VKCStringDict* dict_;
    scriptscan::Scanner scanner_;
    const unsigned char* begin_ = nullptr;
    const unsigned char* after_ = nullptr;
    const unsigned char* lineAt_ = nullptr;
    uint64_t line_ = 1;
    std::unique_ptr<Ahead[]> ring_;
    size_t found_ = 0;  // texts found; ring_[i % kRing] holds text i
    size_t done_ = 0;   // texts handed out
    bool more_ = true;  // the scanner may find more
    char buffer_[scriptscan::kLookupLimit];
};

// The texts of a script read in pieces, as ScriptWalk finds them in the whole
// script, holding about a MiB of it at a time: what follows the last closed
// text is dropped, except from an opening delimiter on whose text may yet
// close (kept whole, however long).
class ScriptStream {
public:
    // `dict` may be null; neither it nor `in` is owned, and both must outlive
    // the stream. `piece`: bytes read at a time (tests make it small).
    ScriptStream(VKCStringDict* dict, InputPieces* in, size_t piece = size_t{1} << 20);

    // The next text, or false when none is left (in->error() then says
    // whether reading failed). The text's pointers are valid until the next
    // call.
    bool Next(ScriptText* text);
    // After Next() returned false: the opening delimiter that is never
    // closed, or null when there is none.
    const unsigned char* Unclosed() const { return walk_.Unclosed(); }
    // The line (from 1) of a byte of the text last handed out (or of the
    // unclosed delimiter); ask in ascending order.
    uint64_t LineOf(const unsigned char* at) { return linesBefore_ + walk_.LineOf(at); }

private:
    // Drops what is done with, keeps an open text, and reads on.
    void Refill();

    InputPieces* in_;
    std::unique_ptr<char[]> block_;
    size_t capacity_;
    size_t filled_ = 0;
    bool ended_ = false;
    uint64_t linesBefore_ = 0;  // line feeds in the bytes dropped so far
    ScriptWalk walk_;
};

// Rewrites `script` into `out` by vkcsubst's rule: each text with a non-empty
// translation replaced by it, every other byte copied. `visit` (when given)
// sees each text.
template <class Visit>
void WriteSubstitution(VKCStringDict* dict, const std::string& script, SafeOutput& out,
                       Visit visit) {
    ScriptWalk walk(dict, script);
    ScriptText t;
    for (;;) {
        const unsigned char* at = walk.position();
        if (!walk.Next(&t)) {
            out.Write(reinterpret_cast<const char*>(at), static_cast<size_t>(walk.end() - at));
            return;
        }
        visit(walk, t);
        out.Write(reinterpret_cast<const char*>(at), static_cast<size_t>(t.text.begin - at));
        if (t.translated()) {
            out.Write(t.entry->chi, t.entry->chiLen);
        } else {
            out.Write(reinterpret_cast<const char*>(t.text.begin), t.text.length);
        }
        const char closing = static_cast<char>(t.text.closing);
        out.Write(&closing, 1);
    }
}

}  // namespace vkcdict
