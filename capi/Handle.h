// The C interface's handle and the few steps every function shares: the
// message of a failing call, the translation of an exception into a result,
// and a record handed out as a vkc_record. Internal to the shared library.
#pragma once

#include <cstdint>
#include <new>

#include "capi/vkcstringdict.h"
#include "dict/VKCStringDict.h"

struct vkc_dict {
    VKCStringDict dict;
    // The last failing call's message; a fixed block, so that reporting a
    // failure (memory running out among them) never allocates.
    char message[512] = {};
    // vkc_dict_match_capacity's answer, until the next load or edit.
    uint32_t longestChi = 0;
    bool longestKnown = false;
};

namespace capi {

// Sets `d`'s message from a printf format and returns `result`.
int Fail(vkc_dict* d, int result, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// The result for a NULL handle (vkc_dict_last_error(NULL) says why).
inline int NullHandle() {
    return VKC_E_ARGUMENT;
}

// Every pointer handed out is about to change: forgets what was derived from
// the records.
inline void Changing(vkc_dict* d) {
    d->longestKnown = false;
}

// Runs `body` (returning a result) so that no exception leaves it: memory
// running out becomes VKC_E_MEMORY. The class's throwing operations leave the
// dictionary as it was when they throw.
template <class Body>
int Guarded(vkc_dict* d, const char* operation, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return Fail(d, VKC_E_MEMORY, "%s: out of memory", operation);
    } catch (...) {
        return Fail(d, VKC_E_MEMORY, "%s: unexpected failure", operation);
    }
}

// The record as the interface hands it out: no NULL pointers.
void FillRecord(const StringEntry& entry, vkc_record* out);

}  // namespace capi
