// Loading the binary dictionary image: five reads and one pass over the
// records that turns the stored offsets into pointers into the pool. No text
// is parsed, copied on its own or sorted; records keep the image's order.
//
// The loader trusts nothing in the image. It asks for the file's size before
// it reads the record table, so that a head announcing more records than the
// file can hold is refused before anything is allocated for them, and every
// offset and length is checked in 64-bit arithmetic against the text block
// before it becomes a pointer. A text may run to the very end of the block:
// the pool holds zero bytes behind the block (12 + 24 × N of them), which end
// such a text for every reader that stops at a NUL.
//
// Whatever the outcome, once the name is resolved the former content is gone:
// a refused image leaves an empty dictionary (no pool, no records, `count`,
// `dataSize` and the counters 0) whose `path` names the image, and the matcher
// is idle.
#include <cstring>

#include "dict/BinaryFormat.h"
#include "dict/FailureNote.h"
#include "dict/RecordArray.h"
#include "dict/TextFormat.h"
#include "dict/VKCStringDict.h"
#include "fileio/FileRange.h"
#include "platform/Win32.h"

namespace {

using namespace binaryformat;

static_assert(kRecordSize == recordarray::kRecordSize32,
              "the record array's 32-bit size bound is the image's record size");

// The blocks one load allocates. Whatever is still held when the load gives up
// (a refusal or an exception) is released with the holder.
struct LoadBlocks {
    unsigned char* table = nullptr;  // the record table as read, 24 bytes a record
    char* pool = nullptr;
    StringEntry* records = nullptr;

    LoadBlocks() = default;
    LoadBlocks(const LoadBlocks&) = delete;
    LoadBlocks& operator=(const LoadBlocks&) = delete;
    ~LoadBlocks() {
        delete[] table;
        delete[] pool;
        recordarray::Release(records);
    }
};

// Reads the word at `offset`. False when the file does not deliver all four
// bytes, so that a word cut short is never decoded from missing bytes.
bool ReadWord(const char* path, uint64_t offset, uint32_t* value) {
    unsigned char bytes[kWordSize] = {};
    if (ReadFileRangeA(path, bytes, static_cast<int64_t>(offset), kWordSize) !=
        static_cast<int32_t>(kWordSize)) {
        return false;
    }
    *value = DecodeWord(bytes);
    return true;
}

// One text's offset and length, taken from the record at `raw`, becomes a
// pointer into `pool`, provided the text lies inside the text block of
// `blockSize` bytes. An offset equal to the block's size with length 0 is the
// empty text that the pool's zero bytes end.
bool DecodeText(const unsigned char* raw, unsigned offsetWord, unsigned lengthWord, char* pool,
                uint64_t blockSize, char** text, uint32_t* length) {
    uint64_t offset = DecodeWord(raw + offsetWord * kWordSize);
    uint64_t bytes = DecodeWord(raw + lengthWord * kWordSize);
    if (offset > blockSize || offset + bytes > blockSize) return false;
    *text = pool + offset;
    *length = static_cast<uint32_t>(bytes);
    return true;
}

// Converts one 24-byte record of the table into `entry`. False, with `entry`
// holding no offset, when any of its texts lies outside the text block.
bool DecodeRecord(const unsigned char* raw, char* pool, uint64_t blockSize, StringEntry* entry) {
    return DecodeText(raw, kEngOffsetWord, kEngLengthWord, pool, blockSize, &entry->eng,
                      &entry->engLen) &&
           DecodeText(raw, kChiOffsetWord, kChiLengthWord, pool, blockSize, &entry->chi,
                      &entry->chiLen) &&
           DecodeText(raw, kRemarkOffsetWord, kRemarkLengthWord, pool, blockSize, &entry->remark,
                      &entry->remarkLen);
}

}  // namespace

uint32_t VKCStringDict::LoadFromBINFileA(const char* fileName) {
    char resolved[MAX_PATH];
    if (!ResolvePath(fileName, resolved)) return 0;  // as the text loader: nothing changes
    std::memcpy(path, resolved, std::strlen(resolved) + 1);

    // The former content goes first, whatever the image turns out to hold.
    ResetMatch();
    ReleaseBlocks();
    dataSize = 0;

    try {
        uint32_t format = 0;
        if (!ReadWord(path, kFormatWordOffset, &format) || format != kFormatWord) return 0;
        uint32_t recordCount = 0;
        if (!ReadWord(path, kRecordCountOffset, &recordCount)) return 0;

        // The size comes before the table so that an impossible record count
        // is refused before anything is allocated for it.
        uint32_t fileSize = static_cast<uint32_t>(ReadFileRangeA(path, nullptr, 0, 0));
        if (fileSize == 0 || fileSize == 0xFFFFFFFFu || fileSize > textformat::kMaxDataSize) {
            return 0;
        }
        const uint64_t tableSize = kRecordSize * recordCount;
        const uint64_t blockOffset = kHeadSize + tableSize;
        if (blockOffset > fileSize) return 0;
        const uint64_t blockSize = fileSize - blockOffset;

        LoadBlocks blocks;
        // Zero-filled: bytes a short read leaves out decode as zero.
        blocks.table = new unsigned char[static_cast<size_t>(tableSize)]();
        ReadFileRangeA(path, blocks.table, static_cast<int64_t>(kHeadSize), tableSize);

        // S + 4 zero bytes; the block, asked for by its exact size, can never
        // fill more than its start.
        blocks.pool = new char[static_cast<size_t>(fileSize) + 4]();
        ReadFileRangeA(path, blocks.pool, static_cast<int64_t>(blockOffset), blockSize);

        blocks.records = recordarray::Allocate(recordCount);
        for (uint32_t i = 0; i < recordCount; ++i) {
            if (!DecodeRecord(blocks.table + i * kRecordSize, blocks.pool, blockSize,
                              &blocks.records[i])) {
                return 0;
            }
        }

        pool = blocks.pool;
        blocks.pool = nullptr;
        entryBlock = blocks.records;
        entries = entryBlock;
        blocks.records = nullptr;
        dataSize = fileSize;
        poolCapacity = fileSize;
        poolUsed = fileSize;
        entryCapacity = recordCount;
        count = recordCount;
        DropIndex(LoadWait());
        return count;
    } catch (...) {
        failurenote::NoteMemory();
        return 0;  // the holder has released what was allocated
    }
}
