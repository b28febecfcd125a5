#include "dict/LookAhead.h"

#include <cstring>

#include "dict/VKCStringDict.h"

// Reaches the dictionary's private index for the hints.
struct LookAheadAccess {
    static const EngIndex* Index(const VKCStringDict& dict) {
        return dict.engIndex_.Usable(dict.entries, dict.count, dict.pool) ? &dict.engIndex_
                                                                          : nullptr;
    }
};

namespace lookahead {
namespace {

// The text FindStringA looks for: up to the first NUL, blanks trimmed.
const char* Key(const char* text, size_t* length) {
    const void* nul = std::memchr(text, '\0', *length);
    size_t n = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - text) : *length;
    while (n != 0 && text[n - 1] == ' ') --n;
    while (n != 0 && *text == ' ') {
        ++text;
        --n;
    }
    *length = n;
    return text;
}

}  // namespace

bool Worthwhile(const VKCStringDict& dict) {
    const EngIndex* index = LookAheadAccess::Index(dict);
    return index != nullptr && index->WorthFetching();
}

void FetchSlot(const VKCStringDict& dict, const char* text, size_t length) {
    if (const EngIndex* index = LookAheadAccess::Index(dict)) {
        const char* key = Key(text, &length);
        index->FetchSlot(key, length);
    }
}

void FetchText(const VKCStringDict& dict, const char* text, size_t length) {
    if (const EngIndex* index = LookAheadAccess::Index(dict)) {
        const char* key = Key(text, &length);
        index->FetchText(key, length);
    }
}

}  // namespace lookahead
