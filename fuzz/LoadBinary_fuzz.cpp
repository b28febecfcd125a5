// Fuzz target: the binary dictionary image loader.
//
// The input is written as an image file and loaded. The target decides by
// itself, from the image's own words, whether the image is one the loader
// must take (format word 1, the record table inside the file, every text by
// its offset and length inside the text block) and what it must then hold;
// a refused image must leave an empty dictionary. Every record's texts are
// then read by length and to their NUL, looked up, matched, edited once, and
// saved; a save of texts free of NULs and markers must load back the same.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

using fuzz::TextAt;
using fuzz::TextOf;

constexpr uint64_t kHead = 8;
constexpr uint64_t kRecordBytes = 24;
constexpr uint64_t kLargestImage = 200000000;

uint32_t WordAt(const std::string& image, uint64_t offset) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(image[offset + i])) << (8 * i);
    }
    return value;
}

// The image as the target reads it: taken or refused, and its record table.
struct Expected {
    bool taken = false;
    uint32_t records = 0;
    uint64_t blockOffset = 0;
    uint64_t blockSize = 0;
};

Expected Decode(const std::string& image) {
    Expected e;
    const uint64_t size = image.size();
    if (size < kHead || WordAt(image, 0) != 1 || size > kLargestImage) return e;
    e.records = WordAt(image, 4);
    e.blockOffset = kHead + kRecordBytes * e.records;
    if (e.blockOffset > size) return e;
    e.blockSize = size - e.blockOffset;
    for (uint32_t i = 0; i < e.records; ++i) {
        for (int t = 0; t < 3; ++t) {
            const uint64_t offset = WordAt(image, kHead + kRecordBytes * i + 4 * t);
            const uint64_t length = WordAt(image, kHead + kRecordBytes * i + 12 + 4 * t);
            if (offset + length > e.blockSize) return e;
        }
    }
    e.taken = true;
    return e;
}

void CheckRefused(const VKCStringDict& d, const std::string& file) {
    FUZZ_CHECK(d.pool == nullptr && d.entryBlock == nullptr && d.entries == nullptr);
    FUZZ_CHECK(d.count == 0 && d.dataSize == 0 && d.poolCapacity == 0 && d.poolUsed == 0 &&
               d.entryCapacity == 0);
    FUZZ_CHECK(file == d.path);
}

// Every record holds the offsets and lengths of the image's table, as
// pointers into the pool, and the pool holds the text block followed by zeros.
void CheckTaken(const VKCStringDict& d, const std::string& image, const Expected& e) {
    const uint64_t size = image.size();
    FUZZ_CHECK(d.count == e.records && d.entryCapacity == e.records);
    FUZZ_CHECK(d.dataSize == size && d.poolCapacity == size && d.poolUsed == size);
    FUZZ_CHECK(fuzz::BlockSize(d.pool) >= size + 4);
    FUZZ_CHECK(std::memcmp(d.pool, image.data() + e.blockOffset, e.blockSize) == 0);
    for (uint64_t i = e.blockSize; i < size + 4; ++i) FUZZ_CHECK(d.pool[i] == '\0');
    for (uint32_t i = 0; i < d.count; ++i) {
        const StringEntry& r = d.entries[i];
        const char* texts[3] = {r.eng, r.chi, r.remark};
        const uint32_t lengths[3] = {r.engLen, r.chiLen, r.remarkLen};
        for (int t = 0; t < 3; ++t) {
            FUZZ_CHECK(texts[t] == d.pool + WordAt(image, kHead + kRecordBytes * i + 4 * t));
            FUZZ_CHECK(lengths[t] == WordAt(image, kHead + kRecordBytes * i + 12 + 4 * t));
            // Read by length and to the NUL: both inside the pool (CheckLayout
            // has bounded them by the block's real size).
            FUZZ_CHECK(TextOf(texts[t], lengths[t]).size() == lengths[t]);
            FUZZ_CHECK(std::strlen(texts[t]) < size + 4);
        }
    }
}

// Texts that a save writes by length and a load reads back to the same bytes:
// no NUL inside the length and no marker.
bool SavesFaithfully(const VKCStringDict& d) {
    for (uint32_t i = 0; i < d.count; ++i) {
        const StringEntry& r = d.entries[i];
        for (const std::string& text :
             {TextOf(r.eng, r.engLen), TextOf(r.chi, r.chiLen), TextOf(r.remark, r.remarkLen)}) {
            if (text.find('\0') != std::string::npos || fuzz::HoldsMarker(text)) return false;
        }
    }
    return true;
}

bool SameRecords(const VKCStringDict& a, const VKCStringDict& b) {
    if (a.count != b.count) return false;
    for (uint32_t i = 0; i < a.count; ++i) {
        const StringEntry& x = a.entries[i];
        const StringEntry& y = b.entries[i];
        if (TextOf(x.eng, x.engLen) != TextOf(y.eng, y.engLen) ||
            TextOf(x.chi, x.chiLen) != TextOf(y.chi, y.chiLen) ||
            TextOf(x.remark, x.remarkLen) != TextOf(y.remark, y.remarkLen)) {
            return false;
        }
    }
    return true;
}

// The first half of each ENG text as a first piece, then the rest: whatever
// the image holds, results stay in range and the cursors in the records.
void Match(VKCStringDict& d) {
    for (uint32_t i = 0; i < d.count && i < 8; ++i) {
        const std::string eng = TextAt(d.entries[i].eng);
        const std::string pieces[2] = {eng.substr(0, eng.size() / 2), eng.substr(eng.size() / 2)};
        for (const std::string& piece : pieces) {
            char out[64];
            const int32_t result = d.MatchNextA(piece.c_str(), out, sizeof(out));
            FUZZ_CHECK(result >= 0 && result <= 2);
            if (result != 0) FUZZ_CHECK(std::memchr(out, '\0', sizeof(out)) != nullptr);
            fuzz::CheckCursors(d);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string image(reinterpret_cast<const char*>(data), size);
    const std::string file = fuzz::ScratchFile("image.bin");
    fuzz::WriteFileBytes(file, image);

    VKCStringDict d;
    const Expected expected = Decode(image);
    const uint32_t loaded = d.LoadFromBINFileA(file.c_str());
    fuzz::CheckLayout(d);
    FUZZ_CHECK(fuzz::Idle(d));
    if (!expected.taken) {
        FUZZ_CHECK(loaded == 0);
        CheckRefused(d, file);
    } else {
        FUZZ_CHECK(loaded == expected.records);
        CheckTaken(d, image, expected);
    }
    fuzz::RemoveFile(file);

    for (uint32_t i = 0; i < d.count && i < 64; ++i) {
        fuzz::CheckLookup(d, d.entries[i].eng);
    }
    fuzz::CheckNumericLookups(d, size > 4 ? static_cast<uint32_t>(size) * 0x9E3779B9u : 0);
    Match(d);

    const std::string saved = fuzz::ScratchFile("saved.txt");
    fuzz::RemoveFile(saved);
    const int32_t written = d.SaveToTXTFileA(saved.c_str());
    FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) == fuzz::ReadFileBytes(saved).size());
    {
        VKCStringDict reloaded;
        const uint32_t again = reloaded.LoadFromTXTFileA(saved.c_str());
        fuzz::CheckLayout(reloaded);
        if (SavesFaithfully(d)) {
            FUZZ_CHECK(again == d.count);
            FUZZ_CHECK(SameRecords(d, reloaded));
        }
    }
    fuzz::RemoveFile(saved);

    // Edits on a pool laid out by the image, whatever offsets it gave: the
    // pool and the array grow, and every record moves with the pool. (Edits
    // on the empty dictionary a refused image leaves are the editor target's.)
    const uint32_t records = d.count;
    if (records > 0) {
        const std::string chi = TextAt(d.entries[0].chi) + "+";
        FUZZ_CHECK(d.SetCHITextA(0, chi.c_str()) == 1);
        FUZZ_CHECK(TextOf(d.entries[0].chi, d.entries[0].chiLen) == chi);
        fuzz::CheckLayout(d);
        StringEntry* added = d.AddStringA(" added ", nullptr, "");
        FUZZ_CHECK(added != nullptr && TextAt(added->eng) == "added");
        fuzz::CheckLayout(d);
        FUZZ_CHECK(d.InsertBlankEntry(0) == d.count && d.count >= records + 1);
        FUZZ_CHECK(d.entries[0].eng == d.pool && d.entries[0].engLen == 0);
        fuzz::CheckLayout(d);
    }
    return 0;
}
