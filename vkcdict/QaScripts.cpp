#include "vkcdict/QaScripts.h"

#include "vkcdict/ScriptTexts.h"

namespace vkcdict {

void ScriptDelimiters::Add(const std::string& script) {
    ScriptWalk walk(nullptr, script);
    ScriptText t;
    while (walk.Next(&t)) {
        if (!t.lookedUp) continue;
        kinds_[std::string(t.key)] |= t.text.closing == ']' ? kBracketed : kQuoted;
    }
}

uint8_t ScriptDelimiters::Of(std::string_view key) const {
    const auto it = kinds_.find(std::string(key));
    return it == kinds_.end() ? 0 : it->second;
}

}  // namespace vkcdict
