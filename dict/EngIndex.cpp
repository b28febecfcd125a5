#include "dict/EngIndex.h"

#include <cstring>

#include "dict/VKCStringDict.h"
#include "platform/PageMemory.h"

namespace {

uint64_t Mix(uint64_t h) {
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return h;
}

// A slot's tag: eight bits of the hash that Home() does not use, never 0.
uint8_t Tag(uint64_t hash) {
    const uint8_t tag = static_cast<uint8_t>(hash);
    return tag != 0 ? tag : 1;
}

inline void Prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

}  // namespace

// A 64-bit hash of `length` bytes, eight at a time. Only its use inside one
// process matters, so the words are read in the machine's byte order.
uint64_t EngIndex::Hash(const char* text, size_t length) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (length * 0xFF51AFD7ED558CCDull);
    for (; length >= 8; text += 8, length -= 8) {
        uint64_t word;
        std::memcpy(&word, text, 8);
        h = (h ^ word) * 0xC4CEB9FE1A85EC53ull;
        h ^= h >> 29;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, text, length);
    return Mix((h ^ tail) * 0xC4CEB9FE1A85EC53ull);
}

int64_t EngIndex::Find(const char* key, size_t length, uint64_t hash) const {
    const uint8_t tag = Tag(hash);
    for (size_t at = Home(hash);; at = Next(at)) {
        if (tags_[at] == 0) return -1;
        if (tags_[at] != tag) continue;
        // strncmp stops at the stored text's NUL, so a shorter text is never
        // read past its end.
        const Slot& slot = slots_[at];
        const char* text = pool_ + slot.offset;
        if (std::strncmp(text, key, length) == 0 && text[length] == '\0') return slot.entry;
    }
}

void EngIndex::FetchSlot(uint64_t hash) const {
    const size_t at = Home(hash);
    Prefetch(&tags_[at]);
    Prefetch(&slots_[at]);
}

void EngIndex::FetchText(uint64_t hash) const {
    const uint8_t tag = Tag(hash);
    for (size_t at = Home(hash); tags_[at] != 0; at = Next(at)) {
        if (tags_[at] != tag) continue;
        // The record too: the caller reads its CHI text's pointer and length.
        Prefetch(pool_ + slots_[at].offset);
        Prefetch(&entries_[slots_[at].entry]);
    }
}

void EngIndex::Release() {
    platform::ReleasePages(slots_, Bytes());
    slots_ = nullptr;
    tags_ = nullptr;
    slotCount_ = 0;
    entries_ = nullptr;
    count_ = 0;
    pool_ = nullptr;
}

void EngIndex::Drop(uint32_t wait) {
    Release();
    wait_ = wait;
}

bool EngIndex::BuildDue() {
    if (wait_ == 0) return true;
    --wait_;
    return false;
}

bool EngIndex::Build(const StringEntry* entries, uint32_t count, const char* pool) {
    Drop(count);
    if (entries == nullptr || pool == nullptr || count < kMinRecords) return false;
    // A third of the slots stay empty, so that a miss ends after a probe or two.
    const uint64_t slotCount = uint64_t{count} + count / 2 + 1;
    if (slotCount > 0xFFFFFFFFu || slotCount * (sizeof(Slot) + 1) > SIZE_MAX) return false;

    const size_t bytes = static_cast<size_t>(slotCount * (sizeof(Slot) + 1));
    slots_ = static_cast<Slot*>(platform::AllocatePages(bytes));
    if (slots_ == nullptr) return false;
    slotCount_ = static_cast<uint32_t>(slotCount);
    tags_ = reinterpret_cast<uint8_t*>(slots_ + slotCount_);

    // One pass checks the order and fills the table; the first record out of
    // order (or without text, or outside the pool's 4 GiB) drops it again.
    // Records go in by batches whose slots are fetched ahead, so that the
    // cache misses of one batch overlap instead of following each other.
    constexpr uint32_t kBatch = 16;
    const uintptr_t base = reinterpret_cast<uintptr_t>(pool);
    const char* previous = nullptr;
    size_t previousLength = 0;
    for (uint32_t first = 0; first < count; first += kBatch) {
        const uint32_t batch = count - first < kBatch ? count - first : kBatch;
        uint64_t hashes[kBatch];
        for (uint32_t k = 0; k < batch; ++k) {
            const char* text = entries[first + k].eng;
            const uintptr_t at = reinterpret_cast<uintptr_t>(text);
            if (text == nullptr || at < base || at - base > 0xFFFFFFFFu) {
                Drop(count);
                return false;
            }
            const size_t length = std::strlen(text);
            // With the shorter text's NUL included, memcmp orders as CompareKey.
            const size_t shorter = length < previousLength ? length : previousLength;
            if (previous != nullptr && std::memcmp(previous, text, shorter + 1) >= 0) {
                Drop(count);
                return false;
            }
            previous = text;
            previousLength = length;
            hashes[k] = Hash(text, length);
            FetchSlot(hashes[k]);
        }
        for (uint32_t k = 0; k < batch; ++k) {
            size_t slot = Home(hashes[k]);
            while (tags_[slot] != 0) slot = Next(slot);
            const uint32_t i = first + k;
            tags_[slot] = Tag(hashes[k]);
            slots_[slot] = Slot{i, static_cast<uint32_t>(entries[i].eng - pool)};
        }
    }
    entries_ = entries;
    count_ = count;
    pool_ = pool;
    wait_ = 0;
    return true;
}
