// What the fuzz targets share: a check that aborts (so that the fuzzer keeps
// the input), a reader over the fuzzer's bytes, a scratch folder for files,
// and checks of a dictionary that hold whatever was loaded into it or done to
// it. The builders of dictionary files are in tests/Samples.h.
//
// The layout checks ask the allocator how large the pool and the record array
// really are, rather than trusting the dictionary's own counters, so a
// counter that drifts from its block shows up as a failed check and not only
// when a later access happens to fall outside the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dict/VKCStringDict.h"

// Aborts with the condition's text when it does not hold.
#define FUZZ_CHECK(condition)                                         \
    do {                                                              \
        if (!(condition)) fuzz::Fail(#condition, __FILE__, __LINE__); \
    } while (0)

namespace fuzz {

[[noreturn]] void Fail(const char* condition, const char* file, int line);

// Hands out the fuzzer's bytes from the front. Once they run out, every read
// gives zeros and empty texts, so a decoder never needs to look ahead.
class Input {
public:
    Input(const uint8_t* data, size_t size) : at_(data), end_(data + size) {}

    bool empty() const { return at_ == end_; }
    uint8_t Byte() { return at_ < end_ ? *at_++ : 0; }
    // A number from 0 to bound - 1 (0 when bound is 0).
    uint32_t Below(uint32_t bound);
    bool Flag() { return (Byte() & 1) != 0; }
    // A text of up to `maxLength` bytes, its length taken first; NUL bytes
    // are left out, since every text handed to the dictionary is a C string.
    std::string Text(size_t maxLength);
    std::string Rest();

private:
    const uint8_t* at_;
    const uint8_t* end_;
};

// A file in this process's scratch folder, which lies in memory-backed
// storage (the folder named by VKC_FUZZ_TMPDIR, else /dev/shm, else the
// system's temporary folder) and is removed, with what it holds, at exit.
std::string ScratchFile(const std::string& name);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// The file's bytes; aborts when it cannot be read.
std::string ReadFileBytes(const std::string& path);
void RemoveFile(const std::string& path);

// The word every marker of the text format begins with; a text without it
// cannot be mistaken for a marker when it is saved and loaded again.
constexpr char kMarkerWord[] = "mirok_res_";
bool HoldsMarker(const std::string& text);

// `text` without the blanks (0x20 only) at either end.
std::string Trim(const std::string& text);
// The first four bytes of `text` as a little-endian number, bytes after its
// NUL counting as 0.
uint32_t NumericKey(const char* text);
// The NUL-terminated text at `text`.
inline std::string TextAt(const char* text) {
    return std::string(text);
}
// A record's text by its stored length.
inline std::string TextOf(const char* text, uint32_t length) {
    return std::string(text, length);
}

// True when the ENG texts of records 0 to count-1, read to their NUL, are in
// strictly ascending unsigned byte order.
bool StrictlyAscending(const VKCStringDict& d);

// The size of the live heap block that begins at `block`, as the allocator
// knows it; 0 when `block` does not begin one.
size_t BlockSize(const void* block);

// Layout every dictionary keeps: `entries` is `entryBlock` or null; the
// record array holds `entryCapacity` records and `count` fits in it; the
// pool's counters fit its block; every text of records 0 to count-1 begins
// inside the pool, its stored length stays inside it, and a NUL inside the
// pool ends it.
void CheckLayout(const VKCStringDict& d);

// The value of both cursors in a dictionary whose matcher is idle.
const char* IdleCursor();
// The matcher is idle, or its cursors stand inside one record's texts: the
// ENG cursor on a byte of the ENG text before its NUL, the CHI cursor on the
// CHI text or its NUL.
void CheckCursors(const VKCStringDict& d);
inline bool Idle(const VKCStringDict& d) {
    return d.matchKey == IdleCursor() && d.matchValue == IdleCursor();
}

// Looks `key` up with FindStringA and FindStringIndexA and checks that the
// two agree and that a found record's ENG text is the trimmed key. When the
// records are strictly ascending, also that they find exactly what a linear
// scan finds, and otherwise the position a linear scan gives for insertion.
void CheckLookup(VKCStringDict& d, const char* key);
// FindByKey on the numeric key of every record, and on one key that no
// record holds; exact results when the records ascend by that key.
void CheckNumericLookups(VKCStringDict& d, uint32_t absentKey);

}  // namespace fuzz
