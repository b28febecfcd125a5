#include "vkcdict/qa/Scripts.h"

#include "vkcdict/files/ScriptTexts.h"

namespace vkcdict {

bool ScriptDelimiters::Add(const std::string& path, std::string* error) {
    InputPieces in;
    if (!in.Open(path, error)) return false;
    ScriptStream walk(nullptr, &in);
    ScriptText t;
    while (walk.Next(&t)) {
        if (!t.lookedUp) continue;
        kinds_[std::string(t.key)] |= t.text.closing == ']' ? kBracketed : kQuoted;
    }
    *error = in.error();
    return error->empty();
}

uint8_t ScriptDelimiters::Of(std::string_view key) const {
    const auto it = kinds_.find(std::string(key));
    return it == kinds_.end() ? 0 : it->second;
}

}  // namespace vkcdict
