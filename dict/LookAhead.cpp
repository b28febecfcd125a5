#include "dict/LookAhead.h"

#include <cstring>

#include "dict/VKCStringDict.h"

// Reaches the dictionary's private index and key rule for the hints.
struct LookAheadAccess {
    static const EngIndex* Index(const VKCStringDict& dict) {
        return dict.engIndex_.Usable(dict.entries, dict.count, dict.pool) ? &dict.engIndex_
                                                                          : nullptr;
    }
    static const char* TrimmedKey(const char* text, size_t* length) {
        return VKCStringDict::TrimmedKey(text, length);
    }
};

namespace lookahead {

Key Prepare(const char* text, size_t length) {
    const void* nul = std::memchr(text, '\0', length);
    if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    const char* key = LookAheadAccess::TrimmedKey(text, &length);
    return Key{key, length, EngIndex::Hash(key, length)};
}

void FetchSlot(const VKCStringDict& dict, const Key& key) {
    if (const EngIndex* index = LookAheadAccess::Index(dict)) index->FetchSlot(key.hash);
}

void FetchText(const VKCStringDict& dict, const Key& key) {
    if (const EngIndex* index = LookAheadAccess::Index(dict)) index->FetchText(key.hash);
}

bool Find(VKCStringDict& dict, const Key& key, StringEntry** found) {
    const EngIndex* index = LookAheadAccess::Index(dict);
    if (index == nullptr) return false;
    // FindStringA's indexed path, with the key it would trim and hash.
    const int64_t at = index->Find(key.key, key.length, key.hash);
    *found = at >= 0 ? &dict.entries[at] : nullptr;
    return true;
}

}  // namespace lookahead
