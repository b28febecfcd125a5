// Writing the dictionary text file. The records are laid out in one block,
// sized beforehand from the records' own lengths, and the writer appends the
// file in three pieces: header, record text, terminator.
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "dict/SaveHeader.h"
#include "dict/TextFormat.h"
#include "dict/VKCStringDict.h"
#include "fileio/FileRange.h"

namespace {

using textformat::Marker;

// The largest record text that is written. The save reports the sum of its
// three writes as a signed 32-bit number, which must hold the record text
// with the header and the terminator. A 32-bit program never obtains a block
// this large, so a larger one is refused as an allocation failure, before
// anything is written.
constexpr uint64_t kMaxRecordText =
    INT32_MAX - saveheader::kBufferSize - textformat::kTerminator.length;

// Under that bound no record index needs more than the eight digits that the
// fixed part of a record counts on.
static_assert(kMaxRecordText / textformat::kFixedRecordBytes < 100000000u,
              "record numbers stay within eight digits");

// What a text contributes to the record text: its stored length, or nothing
// when it is null (an empty text contributes nothing either).
uint32_t WrittenLength(const char* text, uint32_t length) {
    return text != nullptr ? length : 0;
}

// The record text's exact size for records 0 to count-1. Summed in 64 bits
// and checked after every record (each adds less than 2^34), so it cannot
// wrap, whatever the lengths say. Throws std::bad_alloc above kMaxRecordText.
uint64_t RecordTextSize(const StringEntry* records, uint32_t count) {
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const StringEntry& r = records[i];
        total += textformat::kFixedRecordBytes;
        total += WrittenLength(r.eng, r.engLen);
        total += WrittenLength(r.chi, r.chiLen);
        total += WrittenLength(r.remark, r.remarkLen);
        if (total > kMaxRecordText) throw std::bad_alloc();
    }
    return total;
}

// Fills a block from its front. The block is sized for everything put into
// it, so the bounds below only guard against a sizing fault.
class BlockFiller {
public:
    BlockFiller(char* block, size_t size) : at_(block), end_(block + size), start_(block) {}

    // The record number line; the formatter's NUL lands on the next piece.
    void PutNumber(uint32_t index) {
        const size_t room = static_cast<size_t>(end_ - at_);
        const int n =
            std::snprintf(at_, room, textformat::kRecordNumberFormat, static_cast<int>(index));
        assert(n > 0 && static_cast<size_t>(n) < room);
        at_ += n > 0 && static_cast<size_t>(n) < room ? n : 0;
    }
    void Put(const char* bytes, size_t length) {
        assert(length <= static_cast<size_t>(end_ - at_));
        std::memcpy(at_, bytes, length);
        at_ += length;
    }
    void Put(const Marker& marker) { Put(marker.bytes, marker.length); }
    // A text by its stored length, never up to a NUL.
    void PutText(const char* text, uint32_t length) {
        if (WrittenLength(text, length) > 0) Put(text, length);
        Put(textformat::kTextEnd);
    }

    size_t Filled() const { return static_cast<size_t>(at_ - start_); }

private:
    char* at_;
    char* const end_;
    char* const start_;
};

// Lays out records 0 to count-1 into `block` (`size` bytes, at least the
// record text's size + 1) and returns the number of bytes filled.
size_t FillRecordText(const StringEntry* records, uint32_t count, char* block, size_t size) {
    using namespace textformat;
    BlockFiller out(block, size);
    for (uint32_t i = 0; i < count; ++i) {
        const StringEntry& r = records[i];
        out.PutNumber(i);  // the position, not whatever number the record was loaded with
        out.Put(kEngStart);
        out.PutText(r.eng, r.engLen);
        out.Put(kEngEnd);
        out.Put(kChiStart);
        out.PutText(r.chi, r.chiLen);
        out.Put(kChiEnd);
        out.Put(kRemarkStart);
        out.PutText(r.remark, r.remarkLen);
        out.Put(kRemarkEnd);
    }
    return out.Filled();
}

int32_t AppendToFile(const char* fileName, const char* data, uint64_t count) {
    return WriteFileRangeA(fileName, data, -1, count, OPEN_ALWAYS);
}

}  // namespace

int32_t VKCStringDict::SaveToTXTFileA(const char* fileName) {
    if (fileName == nullptr) return 0;
    // A dictionary without a record array (a refused reload) has nothing to
    // lay out. The block is sized from the records, not from dataSize, which
    // a refused load leaves holding the refused size.
    const uint32_t records = entries != nullptr ? count : 0;
    const uint64_t textSize = RecordTextSize(entries, records);
    char* block = nullptr;
    size_t filled = 0;
    if (records > 0) {
        const size_t blockSize = static_cast<size_t>(textSize) + 1;  // the formatter's NUL
        block = new char[blockSize];
        filled = FillRecordText(entries, records, block, blockSize);
    }

    SYSTEMTIME now;
    GetSystemTime(&now);
    char header[saveheader::kBufferSize];
    saveheader::ComposeHeader(now, header);

    // Each piece is attempted whatever came of the one before; a count of 0
    // writes up to the NUL. Without records the middle piece is empty and is
    // not written: a count of 0 would mean "up to a NUL" there.
    int64_t sum = AppendToFile(fileName, header, 0);
    if (filled > 0) sum += AppendToFile(fileName, block, filled);
    sum += AppendToFile(fileName, textformat::kTerminator.bytes, 0);
    delete[] block;
    return static_cast<int32_t>(sum);
}
