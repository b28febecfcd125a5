#include "vkcdict/qa/Glossary.h"

#include <algorithm>

#include "vkcdict/i18n/Translate.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

bool IsWordByte(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return IsAsciiLetter(u) || IsAsciiDigit(u) || c == '_';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The length of the word at `at` (0 when no word starts there).
size_t WordAt(std::string_view text, size_t at) {
    size_t n = 0;
    while (at + n < text.size() && IsWordByte(text[at + n])) ++n;
    return n;
}

// Equal but for the case of ASCII letters that stand as characters (a
// trail byte is compared as it is).
bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size();) {
        const size_t n = CharAt(a, i);
        if (n == 1 ? Lower(a[i]) != Lower(b[i]) : a.compare(i, 2, b, i, 2) != 0) return false;
        i += n;
    }
    return true;
}

// `text` with the ASCII letters that stand as characters in lower case.
void Lowered(std::string_view text, std::string* out) {
    out->assign(text.data(), text.size());
    for (size_t i = 0; i < text.size(); i += CharAt(text, i)) (*out)[i] = Lower(text[i]);
}

constexpr uint64_t kHashBasis = 14695981039346656037u;

// FNV-1a of `text` lowered as Lowered() lowers it, going on from `hash` (the
// hash of the text in front of it, when that ends on a character boundary).
uint64_t LoweredHash(std::string_view text, uint64_t hash = kHashBasis) {
    for (size_t i = 0; i < text.size();) {
        const size_t n = CharAt(text, i);
        hash = (hash ^ static_cast<unsigned char>(Lower(text[i]))) * 1099511628211u;
        if (n == 2) hash = (hash ^ static_cast<unsigned char>(text[i + 1])) * 1099511628211u;
        i += n;
    }
    return hash;
}

// True when `text` lowered is `lowered`.
bool LowersTo(std::string_view text, std::string_view lowered) {
    if (text.size() != lowered.size()) return false;
    for (size_t i = 0; i < text.size();) {
        const size_t n = CharAt(text, i);
        if (Lower(text[i]) != lowered[i] || (n == 2 && text[i + 1] != lowered[i + 1])) {
            return false;
        }
        i += n;
    }
    return true;
}

// The length of the index key of a word at `at`, `word` bytes long: up to
// the end of the next word when one follows (after bytes that are no word),
// else the word alone. Two keys never collide: only the longer holds a byte
// that is no word.
size_t KeyLength(std::string_view text, size_t at, size_t word) {
    size_t next = at + word;
    while (next < text.size() && !IsWordByte(text[next])) next += CharAt(text, next);
    return next < text.size() ? next + WordAt(text, next) - at : word;
}

}  // namespace

void GlossaryIndex::Add(const DictFile& glossary, Diagnostics& diagnostics) {
    std::string key;
    for (uint32_t i = 0; i < glossary.count(); ++i) {
        const StringEntry& r = glossary.record(i);
        std::string_view eng(r.eng, r.engLen);
        const size_t begin = eng.find_first_not_of(' ');
        if (begin == std::string_view::npos) continue;
        eng = eng.substr(begin, eng.find_last_not_of(' ') + 1 - begin);
        const size_t first = WordAt(eng, 0);
        if (first == 0) {
            diagnostics.Warning(glossary.path, glossary.lines[i],
                                Tr("glossary term {1} does not begin with a letter, digit or "
                                   "'_': left out",
                                   {Quote(eng.data(), eng.size(), StderrIsTerminal())}));
            continue;
        }
        Lowered(eng.substr(0, KeyLength(eng, 0, first)), &key);
        std::vector<uint32_t>& candidates = File(key);
        bool known = false;
        for (uint32_t t : candidates) known = known || SameIgnoringCase(terms_[t].eng, eng);
        if (known) continue;
        candidates.push_back(static_cast<uint32_t>(terms_.size()));
        const size_t last = LastCharAt(eng);
        terms_.push_back({std::string(eng), std::string(r.chi, r.chiLen), glossary.Where(i),
                          last + 1 == eng.size() && IsWordByte(eng[last])});
    }
}

std::vector<uint32_t>& GlossaryIndex::File(const std::string& lowered) {
    const uint64_t hash = LoweredHash(lowered);
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    size_t mask = slots_.size() - 1;
    size_t slot = hash & mask;
    if (!slots_.empty()) {
        for (; slots_[slot].key != 0; slot = (slot + 1) & mask) {
            Key& key = keys_[slots_[slot].key - 1];
            if (slots_[slot].tag == tag && key.lowered == lowered) return key.terms;
        }
    }
    keys_.push_back({lowered, hash, {}});
    if (keys_.size() * 2 <= slots_.size()) {
        slots_[slot] = {static_cast<uint32_t>(keys_.size()), tag};
        return keys_.back().terms;
    }
    // Grown: every key is filed anew.
    slots_.assign(std::max<size_t>(16, slots_.size() * 2), Slot{0, 0});
    mask = slots_.size() - 1;
    for (uint32_t k = 0; k < keys_.size(); ++k) {
        for (slot = keys_[k].hash & mask; slots_[slot].key != 0;) slot = (slot + 1) & mask;
        slots_[slot] = {k + 1, static_cast<uint32_t>(keys_[k].hash >> 32)};
    }
    return keys_.back().terms;
}

const std::vector<uint32_t>* GlossaryIndex::Candidates(std::string_view text, uint64_t hash) const {
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask; slots_[slot].key != 0; slot = (slot + 1) & mask) {
        if (slots_[slot].tag != tag) continue;
        const Key& key = keys_[slots_[slot].key - 1];
        if (LowersTo(text, key.lowered)) return &key.terms;
    }
    return nullptr;
}

void GlossaryIndex::Find(std::string_view text, std::vector<Match>* matches) const {
    matches->clear();
    if (terms_.empty()) return;
    for (size_t at = 0; at < text.size();) {
        const size_t word = WordAt(text, at);
        if (word == 0) {
            at += CharAt(text, at);
            continue;
        }
        // Terms of one word, then (when another word follows) terms of several;
        // the longer key's hash goes on from the word's.
        const size_t pair = KeyLength(text, at, word);
        const uint64_t hash = LoweredHash(text.substr(at, word));
        Look(text, at, word, hash, matches);
        if (pair != word) {
            Look(text, at, pair, LoweredHash(text.substr(at + word, pair - word), hash), matches);
        }
        at += word;
    }
}

void GlossaryIndex::Look(std::string_view text, size_t at, size_t keyLength, uint64_t hash,
                         std::vector<Match>* matches) const {
    const std::vector<uint32_t>* candidates = Candidates(text.substr(at, keyLength), hash);
    if (candidates == nullptr) return;
    for (uint32_t t : *candidates) {
        const std::string& term = terms_[t].eng;
        if (!SameIgnoringCase(text.substr(at, term.size()), term)) continue;
        const size_t end = at + term.size();
        if (terms_[t].endsInWord && end < text.size() && IsWordByte(text[end])) continue;
        matches->push_back({t, at});
    }
}

}  // namespace vkcdict
