// Editing the dictionary in memory: sorted insertion of records, blank
// records, and replacement of one text of a record.
//
// The pool only grows. New texts are appended at `poolUsed`; a text replaced
// by one of the same or greater length stays behind, unreferenced, until the
// next load. When the pool or the record array is too small it is replaced by
// a larger zero-filled copy; a pool growth moves every record's text pointers
// by the distance between the two blocks, which is why every record's texts
// must lie in the pool block.
//
// Every edit returns the matcher to idle first: its cursors point into the
// pool and would otherwise be left in a released or rewritten block.
#include <cstdint>
#include <cstring>
#include <new>

#include "dict/FailureNote.h"
#include "dict/RecordArray.h"
#include "dict/VKCStringDict.h"

namespace {

// A pool growth adds this much beyond what the call needs, so that a run of
// small additions copies the pool about once per MiB of added text.
constexpr uint64_t kPoolSlack = 0x100000;
// A record array growth adds this many records.
constexpr uint64_t kEntrySlack = 10000;
// AddStringA reserves, besides its three texts, their NULs and three spare
// bytes behind the ENG and the CHI text: ENG NUL +3, CHI NUL +3, remark NUL +3.
constexpr uint64_t kAddReserve = 12;
// A set operation reserves the text's NUL and three spare bytes.
constexpr uint64_t kSetReserve = 4;
constexpr uint64_t kMax32 = 0xFFFFFFFFu;

// The size of the block `pool` designates, derived from the counters. Three
// kinds of block exist and each leaves its own mark on them:
//   - the constructor's placeholder: poolCapacity 0 (and poolUsed 0);
//   - a loaded pool, poolCapacity + 4 bytes: poolUsed == poolCapacity;
//   - a grown pool, exactly poolCapacity bytes: poolUsed < poolCapacity, and
//     it stays below because every append fits strictly inside its reserve.
size_t PoolBlockSize(const VKCStringDict& d) {
    if (d.pool == nullptr) return 0;
    if (d.poolCapacity == 0) return recordarray::kPlaceholderSize;
    if (d.poolUsed == d.poolCapacity) return static_cast<size_t>(d.poolCapacity) + 4;
    return d.poolCapacity;
}

bool LiesIn(const char* text, const char* block, size_t size) {
    uintptr_t at = reinterpret_cast<uintptr_t>(text);
    uintptr_t start = reinterpret_cast<uintptr_t>(block);
    return block != nullptr && at >= start && at - start < size;
}

// A text argument as the edit reads it. One that lies inside the pool block
// (another record's text handed back by a lookup, say) is copied aside first,
// so that neither a growth, which releases the block, nor the call's own
// writes at the append position can change it before it is copied in. Any
// text that starts in the pool block also ends in it: every such block ends
// in bytes that no append reaches (a loaded pool's CR LF NUL, a grown pool's
// last byte, the placeholder's zeros).
class ArgumentText {
public:
    // REQUIRES: `text` is NUL-terminated at `length`. Throws std::bad_alloc.
    ArgumentText(const char* text, size_t length, const VKCStringDict& d) : text_(text) {
        if (LiesIn(text, d.pool, PoolBlockSize(d))) {
            copy_ = new char[length + 1];
            std::memcpy(copy_, text, length + 1);
            text_ = copy_;
        }
    }
    ~ArgumentText() { delete[] copy_; }
    ArgumentText(const ArgumentText&) = delete;
    ArgumentText& operator=(const ArgumentText&) = delete;

    // Valid for the life of this object, whatever happens to the pool.
    const char* get() const { return text_; }

private:
    const char* text_;
    char* copy_ = nullptr;
};

// Makes room for `need` bytes at the append position. When poolUsed + need
// reaches poolCapacity, the pool is replaced by a zero-filled block of
// poolCapacity + need + 1 MiB bytes holding the old block's first
// poolCapacity + 4 bytes (or the whole old block where smaller), records'
// pointers are moved along, and appending goes on at the old capacity. Sums
// are taken in 64 bits: a capacity that does not fit in 32 bits is an
// allocation failure. Throws std::bad_alloc with the dictionary unchanged.
void GrowPool(VKCStringDict& d, uint64_t need) {
    if (d.poolUsed + need < d.poolCapacity) return;
    const uint64_t capacity = d.poolCapacity + need + kPoolSlack;
    if (capacity > kMax32) throw std::bad_alloc();
    char* block = new char[static_cast<size_t>(capacity)]();

    char* old = d.pool;
    if (old != nullptr) {  // none after a failed reload: nothing to carry over
        size_t copied = PoolBlockSize(d);
        if (copied > static_cast<size_t>(d.poolCapacity) + 4) {
            copied = static_cast<size_t>(d.poolCapacity) + 4;
        }
        std::memcpy(block, old, copied);
        for (uint32_t i = 0; i < d.count; ++i) {
            StringEntry& e = d.entries[i];
            e.eng = block + (e.eng - old);
            e.chi = block + (e.chi - old);
            e.remark = block + (e.remark - old);
        }
        delete[] old;
    }
    d.pool = block;
    d.poolUsed = d.poolCapacity;
    d.poolCapacity = static_cast<uint32_t>(capacity);
}

// Makes sure two more records fit: when count + 2 reaches entryCapacity (or
// there is no array), the array is replaced by a zero-filled one of
// entryCapacity + 10,000 records holding records 0 to count-1. The pool does
// not move, so the copied records stay valid. Throws std::bad_alloc (also
// when the array's 32-bit byte size would overflow) with the dictionary
// unchanged.
void GrowEntries(VKCStringDict& d) {
    if (d.entryBlock != nullptr && uint64_t{d.count} + 2 < d.entryCapacity) return;
    const uint64_t capacity = d.entryCapacity + kEntrySlack;
    StringEntry* block = recordarray::Allocate(capacity);
    if (d.count != 0) std::memcpy(block, d.entries, sizeof(StringEntry) * d.count);
    recordarray::Release(d.entryBlock);
    d.entryBlock = block;
    d.entries = block;
    d.entryCapacity = static_cast<uint32_t>(capacity);
}

// One of the set operations: replaces the text in `field`/`length` of record
// `index` (the last record when `index` is beyond it; the empty text for a
// null `text`). A strictly shorter text is written over the old one; any
// other is appended (`*inPlace` says which). Returns 1, or 0 without touching
// anything when there are no records. Throws std::bad_alloc with the dictionary unchanged.
int SetText(VKCStringDict& d, uint32_t index, const char* text, char* StringEntry::*field,
            uint32_t StringEntry::*length, bool* inPlace) {
    *inPlace = false;
    if (d.count == 0) return 0;
    if (index >= d.count) index = d.count - 1;
    if (text == nullptr) text = "";
    const size_t n = std::strlen(text);
    StringEntry& e = d.entries[index];  // a pool growth moves texts, never the array

    if (n < e.*length) {
        *inPlace = true;
        // The text may be part of the old one (a suffix handed back): memmove.
        std::memmove(e.*field, text, n + 1);
        e.*length = static_cast<uint32_t>(n);
        return 1;
    }

    ArgumentText argument(text, n, d);
    GrowPool(d, uint64_t{n} + kSetReserve);
    char* at = d.pool + d.poolUsed;
    std::memcpy(at, argument.get(), n + 1);
    e.*field = at;
    e.*length = static_cast<uint32_t>(n);
    d.poolUsed += static_cast<uint32_t>(n + kSetReserve);
    d.dataSize = d.poolUsed;
    return 1;
}

}  // namespace

StringEntry* VKCStringDict::AddStringA(const char* eng, const char* chi, const char* remark) {
    ResetMatch();
    if (eng == nullptr) return nullptr;
    try {
        // A null CHI or remark stands for the ENG text as passed in, untrimmed.
        const char* chiText = chi != nullptr ? chi : eng;
        const char* remarkText = remark != nullptr ? remark : eng;
        const size_t engBytes = std::strlen(eng);
        const size_t chiBytes = std::strlen(chiText);
        const size_t remarkBytes = std::strlen(remarkText);
        const ArgumentText engArgument(eng, engBytes, *this);
        const ArgumentText chiArgument(chiText, chiBytes, *this);
        const ArgumentText remarkArgument(remarkText, remarkBytes, *this);

        // The reserve counts the untrimmed ENG text, so it covers every byte
        // written below whatever trimming does. A completed pool growth stays
        // in effect if the array growth then fails.
        const bool indexed = engIndex_.Usable(entries, count, pool);
        GrowPool(*this, uint64_t{engBytes} + chiBytes + remarkBytes + kAddReserve);
        GrowEntries(*this);
        // A growth moves blocks, not texts' offsets or order.
        if (indexed) engIndex_.Follow(entries, pool);

        // The key is trimmed where it will stay: trailing blanks become NULs,
        // leading blanks are skipped and left in front of it.
        char* start = pool + poolUsed;
        std::memcpy(start, engArgument.get(), engBytes + 1);
        uint32_t keyLength = 0;
        char* key = TrimSpacesA(start, 0, &keyLength);

        uint32_t position = 0;
        if (SearchEng(key, &position)) return &entries[position];  // the key copy is abandoned

        if (position < count) {
            std::memmove(&entries[position + 1], &entries[position],
                         sizeof(StringEntry) * (count - position));
        }
        StringEntry& e = entries[position];
        e.eng = key;
        e.engLen = keyLength;
        e.chi = key + keyLength + 4;
        e.chiLen = static_cast<uint32_t>(chiBytes);
        std::memcpy(e.chi, chiArgument.get(), chiBytes + 1);
        e.remark = e.chi + chiBytes + 4;
        e.remarkLen = static_cast<uint32_t>(remarkBytes);
        std::memcpy(e.remark, remarkArgument.get(), remarkBytes + 1);

        // The skipped leading blanks are counted too, so that the remark and
        // its NUL lie below the new append position.
        const uint32_t skipped = static_cast<uint32_t>(key - start);
        poolUsed +=
            static_cast<uint32_t>(skipped + keyLength + chiBytes + remarkBytes + kAddReserve);
        dataSize = poolUsed;
        ++count;
        DropIndex(EditWait());
        return &e;
    } catch (...) {
        failurenote::NoteMemory();
        return nullptr;
    }
}

uint32_t VKCStringDict::InsertBlankEntry(uint32_t index) {
    ResetMatch();
    // A blank record points at the pool's first byte, so a dictionary left
    // without a pool (after a failed reload) gets the constructor's zero-filled
    // placeholder back; null text pointers would crash every reader.
    char* placeholder = pool == nullptr ? new char[recordarray::kPlaceholderSize]() : nullptr;
    try {
        GrowEntries(*this);
    } catch (...) {
        delete[] placeholder;
        throw;
    }
    if (placeholder != nullptr) {
        pool = placeholder;
        poolCapacity = 0;
        poolUsed = 0;
    }

    const uint32_t position = index < count ? index : count;
    if (position < count) {
        std::memmove(&entries[position + 1], &entries[position],
                     sizeof(StringEntry) * (count - position));
    }
    entries[position] = StringEntry{pool, pool, pool, 0, 0, 0};
    ++count;
    DropIndex(EditWait());
    return count;
}

int VKCStringDict::SetENGTextA(uint32_t index, const char* text) {
    ResetMatch();
    bool inPlace;
    const int result =
        SetText(*this, index, text, &StringEntry::eng, &StringEntry::engLen, &inPlace);
    if (result != 0) DropIndex(EditWait());
    return result;
}

int VKCStringDict::SetCHITextA(uint32_t index, const char* text) {
    ResetMatch();
    const bool indexed = engIndex_.Usable(entries, count, pool);
    bool inPlace;
    const int result =
        SetText(*this, index, text, &StringEntry::chi, &StringEntry::chiLen, &inPlace);
    // An appended text changes no ENG text; one written in place may, where
    // texts overlap (a binary image may make them).
    if (inPlace) {
        DropIndex(EditWait());
    } else if (indexed) {
        engIndex_.Follow(entries, pool);
    }
    return result;
}

int VKCStringDict::SetRemarkTextA(uint32_t index, const char* text) {
    ResetMatch();
    const bool indexed = engIndex_.Usable(entries, count, pool);
    bool inPlace;
    const int result =
        SetText(*this, index, text, &StringEntry::remark, &StringEntry::remarkLen, &inPlace);
    if (inPlace) {
        DropIndex(EditWait());
    } else if (indexed) {
        engIndex_.Follow(entries, pool);
    }
    return result;
}
