// Hints for a caller that looks up many texts in a row and knows the next
// ones in advance, such as the script rewriter: it can start loading what a
// lookup will read a few lookups before it asks, so that the memory latencies
// of several lookups overlap instead of following each other.
//
// A hint reads the dictionary and changes nothing, neither its state nor any
// later result; it is a no-op until the dictionary's lookup index has been
// built (by a lookup soon after a load) and whenever the index is unusable.
#pragma once

#include <cstddef>

class VKCStringDict;

namespace lookahead {

// True when the hints below are worth their cost for this dictionary now: it
// has a usable index too large for the caches. A caller may skip them when
// false; they would change nothing either way.
bool Worthwhile(const VKCStringDict& dict);

// `text` is the `length` bytes that will be passed to FindStringA, untrimmed
// and not necessarily NUL-terminated; only those bytes are read, and only
// during the call. Call FetchSlot first and FetchText a few lookups later,
// for the same text, then look it up a few lookups after that.
void FetchSlot(const VKCStringDict& dict, const char* text, size_t length);
void FetchText(const VKCStringDict& dict, const char* text, size_t length);

}  // namespace lookahead
