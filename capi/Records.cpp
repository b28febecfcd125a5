// Records, lookups, edits and piecewise matching through the C interface.
// Each function checks what the class would take silently (a NULL text, an
// index beyond the records) and turns what the class swallows (memory that ran
// out, noted in dict/FailureNote.h) or throws into a result.
#include <cstring>

#include "capi/Handle.h"
#include "dict/FailureNote.h"

namespace {

using capi::Fail;

uint32_t Count(const vkc_dict* d) {
    return d->dict.entries != nullptr ? d->dict.count : 0;
}

// True when record text `eng` equals `text` with its blanks trimmed, as the
// class compares keys (bytes up to the NULs); nothing is copied.
bool SameKey(const char* eng, const char* text) {
    size_t n = std::strlen(text);
    while (n != 0 && text[n - 1] == ' ') --n;
    while (n != 0 && *text == ' ') {
        ++text;
        --n;
    }
    if (eng == nullptr) return n == 0;
    return std::strncmp(eng, text, n) == 0 && eng[n] == '\0';
}

int OutOfRange(vkc_dict* d, const char* operation, uint32_t index) {
    return Fail(d, VKC_E_RANGE, "%s: record %u is out of range (the dictionary holds %u)",
                operation, index, Count(d));
}

// One of the three set operations.
template <class Set>
int SetText(vkc_dict* d, uint32_t index, const char* operation, Set set) {
    if (d == nullptr) return capi::NullHandle();
    if (index >= Count(d)) return OutOfRange(d, operation, index);
    return capi::Guarded(d, operation, [&] {
        capi::Changing(d);
        set(index);
        return VKC_OK;
    });
}

}  // namespace

extern "C" {

int vkc_dict_count(const vkc_dict* d, uint32_t* count) {
    if (d == nullptr) return capi::NullHandle();
    if (count == nullptr) {
        return Fail(const_cast<vkc_dict*>(d), VKC_E_ARGUMENT, "count: the result pointer is NULL");
    }
    *count = Count(d);
    return VKC_OK;
}

// A const handle's message is still the handle's to set: the message block is
// not part of the dictionary a const handle promises to leave alone.
int vkc_dict_record(const vkc_dict* d, uint32_t index, vkc_record* out) {
    if (d == nullptr) return capi::NullHandle();
    vkc_dict* writable = const_cast<vkc_dict*>(d);
    if (out == nullptr) return Fail(writable, VKC_E_ARGUMENT, "record: the result pointer is NULL");
    if (index >= Count(d)) return OutOfRange(writable, "record", index);
    capi::FillRecord(d->dict.entries[index], out);
    return VKC_OK;
}

int vkc_dict_find(vkc_dict* d, const char* text, vkc_record* out, uint32_t* index) {
    if (d == nullptr) return capi::NullHandle();
    if (text == nullptr || out == nullptr) {
        return Fail(d, VKC_E_ARGUMENT, "find: the %s is NULL",
                    text == nullptr ? "text" : "result pointer");
    }
    return capi::Guarded(d, "find", [&] {
        failurenote::Clear();
        const StringEntry* found = d->dict.FindStringA(text);
        if (found == nullptr) {
            if (failurenote::Last().cause == failurenote::Cause::kMemory) {
                return Fail(d, VKC_E_MEMORY, "find: out of memory");
            }
            return VKC_NOT_FOUND;
        }
        capi::FillRecord(*found, out);
        if (index != nullptr) *index = static_cast<uint32_t>(found - d->dict.entries);
        return VKC_OK;
    });
}

int vkc_dict_find_index(vkc_dict* d, const char* text, uint32_t* index, int* found) {
    if (d == nullptr) return capi::NullHandle();
    if (text == nullptr || index == nullptr || found == nullptr) {
        return Fail(d, VKC_E_ARGUMENT, "find_index: the %s is NULL",
                    text == nullptr ? "text" : "result pointer");
    }
    return capi::Guarded(d, "find_index", [&] {
        // Without a record array the class answers -1; the insertion position
        // is 0 all the same.
        if (d->dict.entries == nullptr) {
            *index = 0;
            *found = 0;
            return VKC_OK;
        }
        const int32_t position = d->dict.FindStringIndexA(text);
        if (position < 0) return Fail(d, VKC_E_MEMORY, "find_index: out of memory");
        *index = static_cast<uint32_t>(position);
        *found = *index < Count(d) && SameKey(d->dict.entries[*index].eng, text) ? 1 : 0;
        return VKC_OK;
    });
}

int vkc_dict_add(vkc_dict* d, const char* eng, const char* chi, const char* remark, vkc_record* out,
                 uint32_t* index) {
    if (d == nullptr) return capi::NullHandle();
    if (eng == nullptr) return Fail(d, VKC_E_ARGUMENT, "add: the ENG text is NULL");
    return capi::Guarded(d, "add", [&] {
        capi::Changing(d);
        failurenote::Clear();
        const StringEntry* added = d->dict.AddStringA(eng, chi, remark);
        if (added == nullptr) return Fail(d, VKC_E_MEMORY, "add: out of memory");
        if (out != nullptr) capi::FillRecord(*added, out);
        if (index != nullptr) *index = static_cast<uint32_t>(added - d->dict.entries);
        return VKC_OK;
    });
}

int vkc_dict_insert_blank(vkc_dict* d, uint32_t index, uint32_t* count) {
    if (d == nullptr) return capi::NullHandle();
    if (index > Count(d)) return OutOfRange(d, "insert_blank", index);
    return capi::Guarded(d, "insert_blank", [&] {
        capi::Changing(d);
        const uint32_t now = d->dict.InsertBlankEntry(index);
        if (count != nullptr) *count = now;
        return VKC_OK;
    });
}

int vkc_dict_set_eng(vkc_dict* d, uint32_t index, const char* text) {
    return SetText(d, index, "set_eng", [&](uint32_t i) { d->dict.SetENGTextA(i, text); });
}

int vkc_dict_set_chi(vkc_dict* d, uint32_t index, const char* text) {
    return SetText(d, index, "set_chi", [&](uint32_t i) { d->dict.SetCHITextA(i, text); });
}

int vkc_dict_set_remark(vkc_dict* d, uint32_t index, const char* text) {
    return SetText(d, index, "set_remark", [&](uint32_t i) { d->dict.SetRemarkTextA(i, text); });
}

int vkc_dict_match(vkc_dict* d, const char* piece, char* out, uint32_t capacity) {
    if (d == nullptr) return capi::NullHandle();
    if (piece == nullptr || out == nullptr || capacity == 0) {
        return Fail(d, VKC_E_ARGUMENT, "match: %s",
                    piece == nullptr ? "the piece is NULL"
                    : out == nullptr ? "the output buffer is NULL"
                                     : "the output buffer's capacity is 0");
    }
    return capi::Guarded(d, "match", [&] {
        failurenote::Clear();
        const int32_t result = d->dict.MatchNextA(piece, out, capacity);
        if (result == 0 && failurenote::Last().cause == failurenote::Cause::kMemory) {
            return Fail(d, VKC_E_MEMORY, "match: out of memory");
        }
        return static_cast<int>(result);
    });
}

int vkc_dict_match_capacity(vkc_dict* d, uint32_t* capacity) {
    if (d == nullptr) return capi::NullHandle();
    if (capacity == nullptr) {
        return Fail(d, VKC_E_ARGUMENT, "match_capacity: the result pointer is NULL");
    }
    if (!d->longestKnown) {
        uint32_t longest = 0;
        const uint32_t records = Count(d);
        for (uint32_t i = 0; i < records; ++i) {
            const StringEntry& e = d->dict.entries[i];
            if (e.chi == nullptr) continue;
            // The matcher reads a CHI text up to its NUL, which lies at its
            // length except in a binary image, whose texts may run on.
            const size_t length = e.chi[e.chiLen] == '\0' ? e.chiLen : std::strlen(e.chi);
            if (length > longest) longest = static_cast<uint32_t>(length);
        }
        d->longestChi = longest;
        d->longestKnown = true;
    }
    *capacity = d->longestChi + 1;
    return VKC_OK;
}

}  // extern "C"
