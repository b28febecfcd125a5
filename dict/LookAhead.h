// Lookups for a caller that looks up many texts in a row and knows the next
// ones in advance, such as the script rewriter. Each text is prepared once
// (trimmed and hashed); hints then start loading what its lookup will read a
// few lookups before it is asked, so that the memory latencies of several
// lookups overlap instead of following each other, and the lookup itself
// reuses the preparation.
//
// The hints read the dictionary and change nothing, neither its state nor any
// result; they do nothing while the dictionary has no usable lookup index
// (until a lookup builds it after a load, or for a dictionary it cannot
// serve). Find answers exactly as FindStringA does.
#pragma once

#include <cstddef>
#include <cstdint>

class VKCStringDict;
struct StringEntry;

namespace lookahead {

// A text prepared for lookup: the key FindStringA would look for (cut at the
// text's first NUL, blanks trimmed), which points into the caller's text and
// is valid as long as that is, and its hash.
struct Key {
    const char* key;
    size_t length;
    uint64_t hash;
};

// Prepares the `length` bytes at `text` (not necessarily NUL-terminated).
Key Prepare(const char* text, size_t length);

// Call FetchSlot first and FetchText a few lookups later, for the same key,
// then look it up a few lookups after that.
void FetchSlot(const VKCStringDict& dict, const Key& key);
void FetchText(const VKCStringDict& dict, const Key& key);

// When the dictionary's index can answer, stores in `*found` what FindStringA
// on the prepared text would return and returns true. Returns false, storing
// nothing, when only FindStringA can answer (it then also decides when to
// build the index).
bool Find(VKCStringDict& dict, const Key& key, StringEntry** found);

}  // namespace lookahead
