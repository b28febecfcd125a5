// The binary dictionary image: a dictionary's record table and its texts as
// they stand in memory, with each text pointer stored as an offset into the
// text block. All numbers are unsigned 32-bit little-endian words.
//
//   offset 0            format word (kFormatWord)
//   offset 4            N, the number of records
//   offset 8            record table: N records of kRecordSize bytes
//   offset 8 + 24 × N   text block, up to the end of the file
//
// A record holds six words in the field order of StringEntry: the offsets of
// the ENG, CHI and Remark00 texts, counted from the first byte of the text
// block, then their lengths in bytes (NUL not counted). Each text is followed
// by a NUL inside the block or runs exactly to the block's end.
#pragma once

#include <cstdint>

namespace binaryformat {

constexpr uint32_t kFormatWord = 1;

constexpr uint64_t kWordSize = 4;
constexpr uint64_t kFormatWordOffset = 0;
constexpr uint64_t kRecordCountOffset = 4;
constexpr uint64_t kHeadSize = 8;  // the record table begins here

// Word positions inside one record of the table.
enum RecordWord : unsigned {
    kEngOffsetWord = 0,
    kChiOffsetWord,
    kRemarkOffsetWord,
    kEngLengthWord,
    kChiLengthWord,
    kRemarkLengthWord,
    kWordsPerRecord
};
constexpr uint64_t kRecordSize = kWordsPerRecord * kWordSize;
static_assert(kRecordSize == 24, "the image's records are six 32-bit words");

// The word stored little-endian at `bytes`.
inline uint32_t DecodeWord(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace binaryformat
