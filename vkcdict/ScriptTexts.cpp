#include "vkcdict/ScriptTexts.h"

#include <algorithm>
#include <cstring>

#include "vkcdict/DictWriter.h"

namespace vkcdict {

bool ScriptText::extractable() const {
    return lookedUp && !translated() && !key.empty() && Storable(key, kEngSection);
}

ScriptWalk::ScriptWalk(VKCStringDict* dict, const std::string& script)
    : dict_(dict),
      scanner_(script.data(), script.size()),
      begin_(reinterpret_cast<const unsigned char*>(script.data())),
      lineAt_(begin_) {}

bool ScriptWalk::Next(ScriptText* t) {
    if (!scanner_.Next(&t->text)) return false;
    t->lookedUp = scriptscan::IsLookedUp(t->text.length);
    t->entry = nullptr;
    t->key = std::string_view();
    if (!t->lookedUp) return true;
    // The lookup sees the text as a C string in the rewriter's buffer.
    std::memcpy(buffer_, t->text.begin, t->text.length);
    buffer_[t->text.length] = '\0';
    uint32_t length = 0;
    const char* key = TrimSpacesA(buffer_, 0, &length);
    t->key = std::string_view(key, length);
    if (dict_ != nullptr) t->entry = dict_->FindStringA(key);
    return true;
}

const unsigned char* ScriptWalk::Unclosed() const {
    const unsigned char* opening = scriptscan::NextOpening(position(), end());
    return opening == end() ? nullptr : opening;
}

uint64_t ScriptWalk::LineOf(const unsigned char* at) {
    if (at < lineAt_) {
        lineAt_ = begin_;
        line_ = 1;
    }
    line_ += static_cast<uint64_t>(std::count(lineAt_, at, '\n'));
    lineAt_ = at;
    return line_;
}

}  // namespace vkcdict
