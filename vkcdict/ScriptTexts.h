// The texts of a script as the substitution sees them: found by the library's
// scanner (scriptscan::Scanner), each text shorter than the lookup limit
// trimmed and looked up in the dictionary exactly as vkcsubst looks it up.
// extract, stats and subst all walk scripts through this one class, and
// subst writes its output by vkcsubst's rule (WriteSubstitution).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dict/ScriptScanner.h"
#include "dict/VKCStringDict.h"
#include "vkcdict/Output.h"

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
    ScriptWalk(VKCStringDict* dict, const std::string& script);
    ScriptWalk(const ScriptWalk&) = delete;
    ScriptWalk& operator=(const ScriptWalk&) = delete;

    // The next text, or false when none is left.
    bool Next(ScriptText* text);
    // After Next() returned false: the opening delimiter that is never
    // closed, or null when there is none.
    const unsigned char* Unclosed() const;
    // The line (from 1) of a byte of the script; ask in ascending order.
    uint64_t LineOf(const unsigned char* at);

    const unsigned char* position() const { return scanner_.position(); }
    const unsigned char* end() const { return scanner_.end(); }

private:
    VKCStringDict* dict_;
    scriptscan::Scanner scanner_;
    const unsigned char* begin_;
    const unsigned char* lineAt_;
    uint64_t line_ = 1;
    char buffer_[scriptscan::kLookupLimit];
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
