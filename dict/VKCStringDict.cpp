// The dictionary object: construction, destruction, key normalisation and
// ordering, and the read-only lookups.
#include "dict/VKCStringDict.h"

#include <cstring>

#include "dict/FailureNote.h"
#include "dict/RecordArray.h"

namespace {

// The matcher's idle cursor target. Never written through.
const char kEmptyText[1] = {'\0'};

// Reads a record's numeric key: the first four bytes of its ENG text as a
// little-endian number, stopping at the text's NUL (missing bytes count as 0)
// so that a short text is never read past its end.
uint32_t NumericKey(const char* eng) {
    uint32_t value = 0;
    for (int i = 0; i < 4 && eng[i] != '\0'; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(eng[i])) << (8 * i);
    }
    return value;
}

// A lookup's private copy of the caller's text, trimmed; released on scope exit.
class ScratchKey {
public:
    explicit ScratchKey(const char* text) {
        size_t n = std::strlen(text);
        block_ = new char[n + 8];
        std::memcpy(block_, text, n + 1);
        key_ = TrimSpacesA(block_, 0);
    }
    ~ScratchKey() { delete[] block_; }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const char* key() const { return key_; }

private:
    char* block_;
    const char* key_;
};

}  // namespace

char* TrimSpacesA(char* text, int mode, uint32_t* outLength) {
    if (text == nullptr) return nullptr;
    size_t n = std::strlen(text);
    while (n >= 1 && text[n - 1] == ' ') text[--n] = '\0';
    if (n == 0) {
        if (outLength != nullptr) *outLength = 0;
        return text;
    }
    if (mode != 0 && mode != 1) return nullptr;
    char* p = text;
    while (*p == ' ') {
        ++p;
        --n;
    }
    if (outLength != nullptr) *outLength = static_cast<uint32_t>(n);
    if (mode == 0) return p;
    std::memmove(text, p, n + 1);
    return text;
}

VKCStringDict::VKCStringDict()
    : pool(nullptr),
      dataSize(0),
      entryBlock(nullptr),
      poolCapacity(0),
      poolUsed(0),
      entryCapacity(0),
      matchKey(kEmptyText),
      matchValue(kEmptyText),
      count(0),
      entries(nullptr) {
    std::memset(path, 0, sizeof(path));
    // Zero-filled so that a blank record made on a fresh dictionary, whose
    // texts point at the pool's first byte, reads as the empty text.
    pool = new char[recordarray::kPlaceholderSize]();
    try {
        entryBlock = recordarray::AllocateBytes(recordarray::kPlaceholderSize);
    } catch (...) {
        delete[] pool;
        throw;
    }
}

VKCStringDict::~VKCStringDict() {
    ReleaseBlocks();
}

void VKCStringDict::ReleaseBlocks() {
    DropIndex(0);
    delete[] pool;
    pool = nullptr;
    recordarray::Release(entryBlock);
    entryBlock = nullptr;
    entries = nullptr;
    count = 0;
    entryCapacity = 0;
    poolCapacity = 0;
    poolUsed = 0;
}

void VKCStringDict::ResetMatch() {
    matchKey = kEmptyText;
    matchValue = kEmptyText;
}

int VKCStringDict::CompareKey(const char* key, const char* recordText) const {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(key);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(recordText);
    for (;; ++a, ++b) {
        if (*a == 0 && *b == 0) return 1;
        if (*a < *b) return 2;
        if (*a > *b) return 3;
    }
}

bool VKCStringDict::SearchEng(const char* key, uint32_t* position) const {
    uint32_t lo = 0;
    if (entries != nullptr) {
        uint32_t hi = count - 1;  // wraps to 0xFFFFFFFF when there are no records
        while (lo <= hi) {
            uint32_t mid = static_cast<uint32_t>((static_cast<uint64_t>(lo) + hi) / 2);
            if (mid >= count || hi == 0xFFFFFFFFu) break;
            // A record without text (a blank record made while there was no
            // pool) compares as the empty text.
            const char* text = entries[mid].eng != nullptr ? entries[mid].eng : "";
            int order = CompareKey(key, text);
            if (order == 1) {
                *position = mid;
                return true;
            }
            if (order == 2) {
                hi = mid - 1;
            } else {
                lo = mid + 1;
            }
        }
    }
    *position = lo;
    return false;
}

bool VKCStringDict::IndexReady() {
    if (engIndex_.Usable(entries, count, pool)) return true;
    return engIndex_.BuildDue() && engIndex_.Build(entries, count, pool);
}

const char* VKCStringDict::TrimmedKey(const char* text, size_t* length) {
    size_t n = *length;
    while (n != 0 && text[n - 1] == ' ') --n;
    while (n != 0 && *text == ' ') {
        ++text;
        --n;
    }
    *length = n;
    return text;
}

StringEntry* VKCStringDict::FindStringA(const char* text) {
    if (text == nullptr || entries == nullptr) return nullptr;
    if (IndexReady()) {
        // No scratch copy: the key is read where the caller holds it.
        size_t length = std::strlen(text);
        const char* key = TrimmedKey(text, &length);
        const int64_t found = engIndex_.Find(key, length);
        return found >= 0 ? &entries[found] : nullptr;
    }
    try {
        ScratchKey scratch(text);
        uint32_t position;
        return SearchEng(scratch.key(), &position) ? &entries[position] : nullptr;
    } catch (...) {
        failurenote::NoteMemory();
        return nullptr;
    }
}

int32_t VKCStringDict::FindStringIndexA(const char* text) {
    if (text == nullptr || entries == nullptr) return -1;
    if (IndexReady()) {
        // A hit is the search's answer; a miss needs its insertion position.
        size_t length = std::strlen(text);
        const char* key = TrimmedKey(text, &length);
        const int64_t found = engIndex_.Find(key, length);
        if (found >= 0) return static_cast<int32_t>(found);
    }
    try {
        ScratchKey scratch(text);
        uint32_t position;
        SearchEng(scratch.key(), &position);
        return static_cast<int32_t>(position);
    } catch (...) {
        failurenote::NoteMemory();
        return -1;
    }
}

StringEntry* VKCStringDict::FindByKey(uint32_t key) {
    if (entries == nullptr) return nullptr;
    uint32_t lo = 0;
    uint32_t hi = count - 1;
    while (lo <= hi) {
        uint32_t mid = static_cast<uint32_t>((static_cast<uint64_t>(lo) + hi) / 2);
        if (mid >= count || hi == 0xFFFFFFFFu) break;
        if (entries[mid].eng == nullptr) break;
        uint32_t value = NumericKey(entries[mid].eng);
        if (value == key) return &entries[mid];
        if (key > value) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return nullptr;
}

uint32_t VKCStringDict::GetDataSize() const {
    return dataSize;
}
