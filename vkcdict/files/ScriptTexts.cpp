#include "vkcdict/files/ScriptTexts.h"

#include <algorithm>
#include <cstring>

#include "dict/LookAhead.h"
#include "vkcdict/files/DictWriter.h"

namespace vkcdict {

bool ScriptText::extractable() const {
    return lookedUp && !translated() && !key.empty() && Storable(key, kEngSection);
}

ScriptWalk::ScriptWalk(VKCStringDict* dict, std::string_view script)
    : dict_(dict), scanner_(nullptr, 0), ring_(new Ahead[kRing]) {
    Restart(script);
}

void ScriptWalk::Restart(std::string_view script) {
    scanner_ = scriptscan::Scanner(script.data(), script.size());
    begin_ = reinterpret_cast<const unsigned char*>(script.data());
    after_ = begin_;
    lineAt_ = begin_;
    line_ = 1;
    found_ = 0;
    done_ = 0;
    more_ = true;
}

bool ScriptWalk::Next(ScriptText* t) {
    // Texts are found kRing ahead of their handing out, and the memory of
    // each one's lookup is fetched in two steps on the way (dict/LookAhead.h),
    // as the substitution does, so that the waits of many lookups overlap.
    const bool lookups = dict_ != nullptr && dict_->count != 0;
    for (; more_ && found_ - done_ < kRing; ++found_) {
        Ahead& next = ring_[found_ % kRing];
        more_ = scanner_.Next(&next.text);
        if (!more_) break;
        if (scriptscan::IsLookedUp(next.text.length)) {
            next.key = lookahead::Prepare(reinterpret_cast<const char*>(next.text.begin),
                                          next.text.length);
            if (lookups) lookahead::FetchSlot(*dict_, next.key);
        }
        if (lookups && found_ >= done_ + kFetchTextAt) {
            const Ahead& earlier = ring_[(found_ - kFetchTextAt) % kRing];
            if (scriptscan::IsLookedUp(earlier.text.length)) {
                lookahead::FetchText(*dict_, earlier.key);
            }
        }
    }
    if (done_ == found_) return false;
    const Ahead& next = ring_[done_++ % kRing];
    t->text = next.text;
    after_ = next.text.begin + next.text.length + 1;
    t->lookedUp = scriptscan::IsLookedUp(t->text.length);
    t->entry = nullptr;
    t->key = std::string_view();
    if (!t->lookedUp) return true;
    t->key = std::string_view(next.key.key, next.key.length);
    if (!lookups) return true;
    StringEntry* entry = nullptr;
    if (!lookahead::Find(*dict_, next.key, &entry)) {
        // The lookup sees the text as a C string in the substitution's buffer.
        std::memcpy(buffer_, t->text.begin, t->text.length);
        buffer_[t->text.length] = '\0';
        entry = dict_->FindStringA(buffer_);
    }
    t->entry = entry;
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

ScriptStream::ScriptStream(VKCStringDict* dict, InputPieces* in, size_t piece)
    : in_(in), block_(new char[piece]), capacity_(piece), walk_(dict, std::string_view()) {}

bool ScriptStream::Next(ScriptText* text) {
    for (;;) {
        if (walk_.Next(text)) return true;
        if (ended_) return false;
        Refill();
    }
}

void ScriptStream::Refill() {
    const unsigned char* begin = reinterpret_cast<const unsigned char*>(block_.get());
    const unsigned char* open = walk_.Unclosed();
    const size_t keep = open == nullptr ? filled_ : static_cast<size_t>(open - begin);
    linesBefore_ += static_cast<uint64_t>(std::count(block_.get(), block_.get() + keep, '\n'));
    std::memmove(block_.get(), block_.get() + keep, filled_ - keep);
    filled_ -= keep;
    if (filled_ == capacity_) {  // an open text fills the block: it grows
        std::unique_ptr<char[]> grown(new char[capacity_ * 2]);
        std::memcpy(grown.get(), block_.get(), filled_);
        block_ = std::move(grown);
        capacity_ *= 2;
    }
    const size_t got = in_->Read(block_.get() + filled_, capacity_ - filled_);
    ended_ = got == 0;
    filled_ += got;
    walk_.Restart(std::string_view(block_.get(), filled_));
}

}  // namespace vkcdict
