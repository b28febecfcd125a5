#include "fuzz/FuzzSupport.h"

#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

namespace fuzz {

void Fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
    std::abort();
}

uint32_t Input::Below(uint32_t bound) {
    if (bound == 0) return 0;
    uint32_t value = Byte();
    if (bound > 0x100) value = value << 8 | Byte();
    return value % bound;
}

std::string Input::Text(size_t maxLength) {
    size_t length = Below(static_cast<uint32_t>(maxLength + 1));
    std::string text;
    while (text.size() < length && !empty()) {
        char c = static_cast<char>(Byte());
        if (c != '\0') text += c;
    }
    return text;
}

std::string Input::Rest() {
    std::string rest(reinterpret_cast<const char*>(at_), static_cast<size_t>(end_ - at_));
    at_ = end_;
    return rest;
}

namespace {

// The scratch folder, made on first use and removed at exit. A fuzzer that
// stops on a finding leaves it behind; fuzz/run.sh removes the folder it
// hands down in VKC_FUZZ_TMPDIR.
class ScratchFolder {
public:
    static const std::string& Path() {
        static ScratchFolder folder;
        return folder.path_;
    }

private:
    ScratchFolder() {
        const char* root = std::getenv("VKC_FUZZ_TMPDIR");
        std::string base;
        if (root != nullptr && root[0] != '\0') {
            base = root;
        } else if (access("/dev/shm", W_OK) == 0) {
            base = "/dev/shm";  // memory-backed: the targets write files on every run
        } else {
            base = std::filesystem::temp_directory_path().string();
        }
        std::string pattern = base + "/vkc-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr) Fail("mkdtemp", __FILE__, __LINE__);
        path_ = name.data();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::string path_;
};

}  // namespace

std::string ScratchFile(const std::string& name) {
    return ScratchFolder::Path() + "/" + name;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    FUZZ_CHECK(in.good());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveFile(const std::string& path) {
    std::remove(path.c_str());
}

bool HoldsMarker(const std::string& text) {
    return text.find(kMarkerWord) != std::string::npos;
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

uint32_t NumericKey(const char* text) {
    uint32_t value = 0;
    for (int i = 0; i < 4 && text[i] != '\0'; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    }
    return value;
}

bool StrictlyAscending(const VKCStringDict& d) {
    for (uint32_t i = 1; i < d.count; ++i) {
        // std::string compares its chars as unsigned bytes.
        if (!(TextAt(d.entries[i - 1].eng) < TextAt(d.entries[i].eng))) return false;
    }
    return true;
}

size_t BlockSize(const void* block) {
    if (block == nullptr || __sanitizer_get_ownership(block) == 0) return 0;
    return __sanitizer_get_allocated_size(block);
}

namespace {

void CheckText(const char* text, uint32_t length, const char* pool, size_t poolSize) {
    FUZZ_CHECK(text != nullptr);
    FUZZ_CHECK(text >= pool && text < pool + poolSize);
    const size_t offset = static_cast<size_t>(text - pool);
    // Room for the text by its length, and a NUL that ends it inside the pool.
    FUZZ_CHECK(uint64_t{offset} + length <= poolSize);
    FUZZ_CHECK(std::memchr(text, '\0', poolSize - offset) != nullptr);
}

}  // namespace

void CheckLayout(const VKCStringDict& d) {
    FUZZ_CHECK(d.entries == nullptr || d.entries == d.entryBlock);
    FUZZ_CHECK(d.count <= d.entryCapacity);
    if (d.entryBlock != nullptr) {
        FUZZ_CHECK(BlockSize(d.entryBlock) >= uint64_t{d.entryCapacity} * sizeof(StringEntry));
    }
    if (d.count > 0) FUZZ_CHECK(d.entries != nullptr && d.pool != nullptr);

    size_t poolSize = 0;
    if (d.pool != nullptr) {
        poolSize = BlockSize(d.pool);
        FUZZ_CHECK(poolSize > 0);
        FUZZ_CHECK(d.poolUsed <= d.poolCapacity);
        FUZZ_CHECK(d.poolCapacity <= poolSize);
    }
    for (uint32_t i = 0; i < d.count; ++i) {
        const StringEntry& e = d.entries[i];
        CheckText(e.eng, e.engLen, d.pool, poolSize);
        CheckText(e.chi, e.chiLen, d.pool, poolSize);
        CheckText(e.remark, e.remarkLen, d.pool, poolSize);
    }
}

const char* IdleCursor() {
    static const VKCStringDict fresh;
    FUZZ_CHECK(fresh.matchKey == fresh.matchValue && fresh.matchKey[0] == '\0');
    return fresh.matchKey;
}

void CheckCursors(const VKCStringDict& d) {
    if (Idle(d)) return;
    FUZZ_CHECK(d.matchKey != nullptr && d.matchValue != nullptr);
    FUZZ_CHECK(*d.matchKey != '\0' && *d.matchKey != ' ');
    for (uint32_t i = 0; i < d.count; ++i) {
        const StringEntry& e = d.entries[i];
        const bool inEng = d.matchKey >= e.eng && d.matchKey < e.eng + std::strlen(e.eng);
        const bool inChi = d.matchValue >= e.chi && d.matchValue <= e.chi + std::strlen(e.chi);
        if (inEng && inChi) return;
    }
    Fail("matcher cursors inside one record's texts", __FILE__, __LINE__);
}

namespace {

// The binary search as the dictionary promises it, over the records as they
// stand, sorted or not: found, and the record or the insertion position.
std::pair<bool, uint32_t> PlainSearch(const VKCStringDict& d, const std::string& key) {
    int64_t lo = 0, hi = static_cast<int64_t>(d.count) - 1;
    while (lo <= hi) {
        const int64_t mid = (lo + hi) / 2;
        const char* text = d.entries[mid].eng != nullptr ? d.entries[mid].eng : "";
        const int order = key.compare(text);
        if (order == 0) return {true, static_cast<uint32_t>(mid)};
        if (order < 0) hi = mid - 1;
        if (order > 0) lo = mid + 1;
    }
    return {false, static_cast<uint32_t>(lo)};
}

}  // namespace

void CheckLookup(VKCStringDict& d, const char* key) {
    StringEntry* found = d.FindStringA(key);
    const int32_t index = d.FindStringIndexA(key);
    if (d.entries == nullptr) {
        FUZZ_CHECK(found == nullptr && index == -1);
        return;
    }
    const std::string trimmed = Trim(TextAt(key));
    FUZZ_CHECK(index >= 0 && static_cast<uint32_t>(index) <= d.count);
    if (found != nullptr) {
        FUZZ_CHECK(found >= d.entries && found < d.entries + d.count);
        FUZZ_CHECK(TextAt(found->eng) == trimmed);
        FUZZ_CHECK(found == d.entries + index);
    }
    // Whatever the lookup index answers, it is the plain search's answer.
    const auto [plainFound, plainPosition] = PlainSearch(d, trimmed);
    FUZZ_CHECK(found == (plainFound ? d.entries + plainPosition : nullptr));
    FUZZ_CHECK(static_cast<uint32_t>(index) == plainPosition);
    if (!StrictlyAscending(d)) return;
    uint32_t below = 0;  // records whose ENG text sorts before the key
    while (below < d.count && TextAt(d.entries[below].eng) < trimmed) ++below;
    const bool present = below < d.count && TextAt(d.entries[below].eng) == trimmed;
    FUZZ_CHECK(found == (present ? d.entries + below : nullptr));
    FUZZ_CHECK(static_cast<uint32_t>(index) == below);
}

void CheckNumericLookups(VKCStringDict& d, uint32_t absentKey) {
    if (d.entries == nullptr) {
        FUZZ_CHECK(d.FindByKey(absentKey) == nullptr);
        return;
    }
    bool ascending = true;
    bool held = false;
    for (uint32_t i = 0; i < d.count; ++i) {
        const uint32_t key = NumericKey(d.entries[i].eng);
        if (i > 0 && !(NumericKey(d.entries[i - 1].eng) < key)) ascending = false;
        if (key == absentKey) held = true;
    }
    for (uint32_t i = 0; i < d.count; ++i) {
        const uint32_t key = NumericKey(d.entries[i].eng);
        StringEntry* found = d.FindByKey(key);
        if (ascending) FUZZ_CHECK(found == d.entries + i);
        if (found != nullptr) {
            FUZZ_CHECK(found >= d.entries && found < d.entries + d.count);
            FUZZ_CHECK(NumericKey(found->eng) == key);
        }
    }
    StringEntry* found = d.FindByKey(absentKey);
    if (ascending && !held) FUZZ_CHECK(found == nullptr);
    if (found != nullptr) FUZZ_CHECK(NumericKey(found->eng) == absentKey);
}

}  // namespace fuzz
