// The lookup index of a dictionary: a hash table over the records' ENG texts
// that answers an exact lookup with one probe instead of a binary search.
//
// It gives the binary search's answer only where that answer is decided by
// the texts alone: every record of 0 to count-1 has an ENG text, and the
// texts are strictly ascending under CompareKey (then the search finds a key
// exactly when some record holds it, and only that record holds it). Build
// checks this in one linear pass and builds nothing otherwise.
//
// The index remembers the record array, the count and the pool it was built
// over, and Usable() is false once any of them differs. It cannot see a
// record's ENG pointer or text changed in place, so the dictionary drops it at
// every such edit. Its table lives in page-backed memory
// (platform/PageMemory.h), not the global allocator; a table that cannot be
// had leaves no index, which is no failure: the binary search serves.
//
// Each slot has a one-byte tag in an array of its own, 1.5 bytes a record,
// which stays in the caches where the slots do not: a miss is almost always
// settled there, and a hit reads one slot and its text.
//
// Rebuilding costs about as much as count binary searches, so after an edit
// the index waits for a share of that many plain lookups before it is built
// again; a run of edits between lookups then never pays for more than it saves.
#pragma once

#include <cstddef>
#include <cstdint>

struct StringEntry;  // dict/VKCStringDict.h

class EngIndex {
public:
    // Fewer records than this are never indexed: the binary search is as fast.
    static constexpr uint32_t kMinRecords = 32;

    EngIndex() = default;
    ~EngIndex() { Release(); }
    EngIndex(const EngIndex&) = delete;
    EngIndex& operator=(const EngIndex&) = delete;

    // True when the index was built over exactly these blocks and this count.
    bool Usable(const StringEntry* entries, uint32_t count, const char* pool) const {
        return slots_ != nullptr && entries == entries_ && count == count_ && pool == pool_;
    }
    // The hash of the `length` bytes at `key` that every index uses.
    static uint64_t Hash(const char* key, size_t length);
    // Index of the record whose ENG text is the `length` bytes at `key`, or -1;
    // `hash` is Hash(key, length), for a caller that has it already.
    // REQUIRES: Usable(); no NUL among the `length` bytes.
    int64_t Find(const char* key, size_t length) const {
        return Find(key, length, Hash(key, length));
    }
    int64_t Find(const char* key, size_t length, uint64_t hash) const;

    // Hints that a Find with this hash will follow soon: FetchSlot starts
    // loading the tags and slots that Find reads first; FetchText, called
    // after FetchSlot has had time to finish, starts loading the texts and
    // records those slots name. A caller that looks up many texts in a row
    // can so overlap the memory latencies of several lookups. Neither changes
    // any result. REQUIRES: Usable().
    void FetchSlot(uint64_t hash) const;
    void FetchText(uint64_t hash) const;

    // Drops the index; the next `wait` plain lookups do not rebuild it.
    void Drop(uint32_t wait);
    // Called by a lookup that found the index unusable: true when it is time
    // to (re)build, else counts the lookup against the wait.
    bool BuildDue();
    // Builds over records 0 to count-1, whose texts lie in the block at `pool`.
    // False, leaving no index, when the records do not qualify or the table
    // cannot be allocated; the index then waits `count` plain lookups.
    bool Build(const StringEntry* entries, uint32_t count, const char* pool);
    // Keeps the index across a growth that moved the record array or the pool
    // without changing any text, its offset in the pool or the records' order.
    void Follow(const StringEntry* entries, const char* pool) {
        entries_ = entries;
        pool_ = pool;
    }

private:
    // One slot: a record, by its index, and its ENG text, as an offset into
    // the pool. A slot is in use when its tag is not 0.
    struct Slot {
        uint32_t entry;
        uint32_t offset;
    };

    void Release();
    size_t Home(uint64_t hash) const {
        return static_cast<size_t>(((hash >> 32) * slotCount_) >> 32);
    }
    // The slot a probe tries after `at`.
    size_t Next(size_t at) const { return at + 1 == slotCount_ ? 0 : at + 1; }

    size_t Bytes() const { return size_t{slotCount_} * (sizeof(Slot) + 1); }

    Slot* slots_ = nullptr;    // slotCount_ slots, then their tags, in one block
    uint8_t* tags_ = nullptr;  // 0: the slot is empty; else Tag() of its text's hash
    uint32_t slotCount_ = 0;
    const StringEntry* entries_ = nullptr;
    uint32_t count_ = 0;
    const char* pool_ = nullptr;
    uint32_t wait_ = 0;
};
