// Loading the dictionary text file: the whole file goes into the pool in one
// read and is cut into records in place. Each text is NUL-terminated where it
// stands; nothing is copied, trimmed or sorted.
#include <algorithm>
#include <cstring>

#include "dict/ByteScan.h"
#include "dict/FailureNote.h"
#include "dict/RecordArray.h"
#include "dict/RecordLines.h"
#include "dict/TextFormat.h"
#include "dict/VKCStringDict.h"
#include "fileio/FileRange.h"
#include "platform/PageMemory.h"
#include "platform/Win32.h"

namespace {

using textformat::Marker;

// The parse finds markers by their line feeds: the record marker holds one,
// its second byte, and every other marker holds one, its last byte. A marker
// can then be told by the bytes around one line feed, and the line feeds are
// found many bytes at a time (dict/ByteScan.h).
constexpr bool HasOneLineFeedAt(const Marker& marker, size_t at) {
    for (size_t i = 0; i < marker.length; ++i) {
        if ((marker.bytes[i] == '\n') != (i == at)) return false;
    }
    return true;
}
static_assert(HasOneLineFeedAt(textformat::kRecord, 1), "record marker: line feed second");
static_assert(HasOneLineFeedAt(textformat::kEngStart, textformat::kEngStart.length - 1) &&
                  HasOneLineFeedAt(textformat::kEngEnd, textformat::kEngEnd.length - 1) &&
                  HasOneLineFeedAt(textformat::kChiStart, textformat::kChiStart.length - 1) &&
                  HasOneLineFeedAt(textformat::kChiEnd, textformat::kChiEnd.length - 1) &&
                  HasOneLineFeedAt(textformat::kRemarkStart, textformat::kRemarkStart.length - 1) &&
                  HasOneLineFeedAt(textformat::kRemarkEnd, textformat::kRemarkEnd.length - 1),
              "section markers: line feed last");

// memcmp(a, b, n) == 0 for the marker lengths (n >= 8), inline and eight
// bytes at a time: the parse compares a marker at nearly every line feed.
inline bool SameBytes(const char* a, const char* b, size_t n) {
    uint64_t x;
    uint64_t y;
    for (size_t i = 0; i + 8 < n; i += 8) {
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) return false;
    }
    std::memcpy(&x, a + n - 8, 8);
    std::memcpy(&y, b + n - 8, 8);
    return x == y;
}
static_assert(textformat::kRecord.length - 2 >= 8 && textformat::kEngEnd.length - 1 >= 8 &&
                  textformat::kChiEnd.length - 1 >= 8,
              "the compared marker parts (the end markers are the shortest) fill a word");

// True when the record marker begins one byte in front of the line feed at
// `lineFeed` and ends by `limit`. REQUIRES: lineFeed > block start.
bool RecordMarkerAt(const char* lineFeed, const char* limit) {
    using textformat::kRecord;
    return limit - lineFeed >= static_cast<ptrdiff_t>(kRecord.length - 1) && lineFeed[-1] == '\r' &&
           SameBytes(lineFeed + 1, kRecord.bytes + 2, kRecord.length - 2);
}

// When the record marker at `lineFeed` (see RecordMarkerAt) begins the head
// of a record, its marker line directly followed by the ENG start line, the
// position just past that ENG start line; else null. Only called at a record
// marker inside a section, so its cost never reaches an undamaged file.
const char* RecordHeadEnd(const char* lineFeed, const char* limit) {
    using textformat::kEngStart;
    using textformat::kRecord;
    const char* const endBytes = textformat::kTextEnd.bytes;
    const char* line = lineFeed + (kRecord.length - 1);  // the rest of the marker line
    const char* lineEnd = std::search(line, limit, endBytes, endBytes + 2);
    if (lineEnd == limit) return nullptr;
    const char* eng = lineEnd + 2;
    if (limit - eng < static_cast<ptrdiff_t>(kEngStart.length) ||
        !SameBytes(eng, kEngStart.bytes, kEngStart.length)) {
        return nullptr;
    }
    return eng + kEngStart.length;
}

// Composes the message for a record whose marker is missing and sends it to
// the debugger output; the load itself reports only its result.
void ReportBrokenRecord(int message, uint32_t index) {
    char text[1024];
    wsprintfA(text, textformat::kMissingMarkerMessages[message], static_cast<int>(index));
    OutputDebugStringA(text);
    failurenote::NoteBrokenRecord(message, index);
}

// A pool block for `dataSize` bytes and the four the parse appends, advised
// for huge pages before anything touches it: filling a large block page by
// small page costs more than reading the file into it.
char* NewBlock(uint32_t dataSize) {
    const size_t bytes = static_cast<size_t>(dataSize) + 4;
    char* block = new char[bytes];
    platform::AdviseHugePages(block, bytes);
    return block;
}

bool AcceptableSize(uint32_t size) {
    return size != 0 && size != 0xFFFFFFFFu && size <= textformat::kMaxDataSize;
}

}  // namespace

bool VKCStringDict::ResolvePath(const char* fileName, char* resolved) {
#ifdef _WIN32
    constexpr char kSeparator = '\\';
#else
    // A backslash is part of a POSIX name, so the current directory is joined
    // with '/'; the result starts with '/' and is taken unchanged on reload.
    constexpr char kSeparator = '/';
#endif
    if (fileName == nullptr) return false;
    size_t nameLength = strnlen(fileName, MAX_PATH);
    if (nameLength >= MAX_PATH) {
        failurenote::NotePathTooLong();
        return false;
    }
    bool taken = std::memchr(fileName, '\\', nameLength) != nullptr;
#ifndef _WIN32
    // An absolute POSIX path is taken unchanged, as an absolute Windows path
    // (which always holds a backslash) is.
    taken = taken || fileName[0] == '/';
#endif
    if (taken) {
        std::memcpy(resolved, fileName, nameLength + 1);
        return true;
    }
    char directory[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0) return false;
    // A root (C:\ or /) ends in a separator already.
    if (length < MAX_PATH && directory[length - 1] == kSeparator) --length;
    if (length >= MAX_PATH || length + 1 + nameLength > MAX_PATH - 1) {
        failurenote::NotePathTooLong();
        return false;
    }
    std::memcpy(resolved, directory, length);
    resolved[length] = kSeparator;
    std::memcpy(resolved + length + 1, fileName, nameLength + 1);
    return true;
}

char* VKCStringDict::NewPool() {
    ReleaseBlocks();
    pool = NewBlock(dataSize);
    return pool;
}

uint32_t VKCStringDict::ParsePool() {
    using namespace textformat;
    pool[dataSize] = '\r';
    pool[dataSize + 1] = '\n';
    pool[dataSize + 2] = '\0';
    pool[dataSize + 3] = '\0';
    poolCapacity = dataSize;
    poolUsed = dataSize;

    // Counting pass: the record markers before the first NUL, which ends all
    // that the parse sees. pool[dataSize + 2] is a NUL, so the scan stops.
    const char* const blockEnd = pool + dataSize + 3;
    const char* limit = blockEnd;
    uint32_t records = 0;
    // Only line feeds with the 'N' of the record marker eleven bytes on can
    // end one, so only those (and NULs) are visited.
    constexpr size_t kToN = 11;
    static_assert(kRecord.bytes[1] == '\n' && kRecord.bytes[1 + kToN] == 'N',
                  "the record marker's line feed and its N");
    bytescan::ForEachPair(pool, blockEnd, '\n', kToN, 'N', '\0', [&](const char* at) {
        if (*at == '\0') {
            limit = at;
            return false;
        }
        if (at != pool && RecordMarkerAt(at, blockEnd)) ++records;
        return true;
    });
    if (records == 0) return 0;
    entryBlock = recordarray::Allocate(records);
    entries = entryBlock;
    entryCapacity = records;
    std::vector<uint32_t>* const notedLines = recordlines::Current();
    if (notedLines != nullptr) notedLines->reserve(records);

    // Parse pass. Each marker is the first of its kind at or after a point
    // that only moves forward (the cursor, or the marker found before it), so
    // one scan over the line feeds, in order, meets each wanted marker where
    // a search from that point would find it. The NULs the parse writes all
    // lie in front of that point, so they never change a marker still wanted.
    struct Wanted {
        const Marker* marker;
        bool isStart;
        int section;  // 0 ENG, 1 CHI, 2 Remark00
    };
    static const Wanted kOrder[6] = {{&kEngStart, true, 0},    {&kEngEnd, false, 0},
                                     {&kChiStart, true, 1},    {&kChiEnd, false, 1},
                                     {&kRemarkStart, true, 2}, {&kRemarkEnd, false, 2}};
    const char* from = pool;  // where the wanted marker may begin at the earliest
    int step = -1;            // -1: a record marker; else the index in kOrder
    uint32_t i = 0;
    char* text = nullptr;
    // While an end marker is wanted: the last line feed of a record's head
    // that began inside the text, or null. Reaching it before the end marker
    // means the text holds another record: the end marker is missing there.
    const char* headLast = nullptr;
    bool headInText = false;
    uint32_t lineFeeds = 0;  // up to and including `at`
    bytescan::ForEach(pool, limit, '\n', '\n', [&](const char* at) {
        ++lineFeeds;
        for (;;) {  // one line feed may close one marker and open the next
            if (step < 0) {
                if (at == pool || at - 1 < from || !RecordMarkerAt(at, limit)) return true;
                if (i == records) return false;
                if (notedLines != nullptr) notedLines->push_back(lineFeeds + 1);
                from = at - 1;  // the ENG start marker is looked for from here
                step = 0;
                continue;
            }
            const Wanted& wanted = kOrder[step];
            const size_t length = wanted.marker->length;
            char* marker = pool + (at - pool) + 1 - length;
            if (static_cast<size_t>(at - from) + 1 < length ||
                !SameBytes(marker, wanted.marker->bytes, length - 1)) {
                if (wanted.isStart) return true;
                // Inside a text (the start marker's own line feed included:
                // a record marker may share it). A record's head here breaks
                // this record; a bare record marker line does not.
                if (at == headLast) {
                    headInText = true;
                    return false;
                }
                if (headLast == nullptr && RecordMarkerAt(at, limit)) {
                    if (const char* headEnd = RecordHeadEnd(at, limit)) headLast = headEnd - 1;
                }
                return true;
            }
            StringEntry& entry = entries[i];
            char** texts[3] = {&entry.eng, &entry.chi, &entry.remark};
            uint32_t* lengths[3] = {&entry.engLen, &entry.chiLen, &entry.remarkLen};
            if (wanted.isStart) {
                text = marker + length;
                *texts[wanted.section] = text;
                from = marker;  // the end marker is looked for from here
            } else {
                // The two bytes in front of the end marker close the text.
                const ptrdiff_t distance = marker - text;
                const uint32_t n = distance >= 2 ? static_cast<uint32_t>(distance - 2) : 0;
                text[n] = '\0';
                *lengths[wanted.section] = n;
                // One byte past the end marker's first byte, so that the NUL of
                // an empty text, written onto that byte, cuts no later search.
                from = marker + 1;
                headLast = nullptr;
            }
            if (++step == 6) {
                step = -1;
                ++i;
            }
        }
    });
    count = i;
    DropIndex(LoadWait());
    if (step >= 0) {
        // The record's wanted marker is missing: it is broken, the ones before
        // it stay usable.
        ReportBrokenRecord(step, i);
        return 0;
    }
    return count;
}

uint32_t VKCStringDict::LoadFromTXTFileA(const char* fileName) {
    if (std::vector<uint32_t>* lines = recordlines::Current()) lines->clear();
    char resolved[MAX_PATH];
    if (!ResolvePath(fileName, resolved)) return 0;
    ResetMatch();
    std::memcpy(path, resolved, std::strlen(resolved) + 1);

    dataSize = static_cast<uint32_t>(ReadFileRangeA(path, nullptr, 0, 0));
    if (!AcceptableSize(dataSize)) return 0;
    try {
        char* block = NewPool();
        int32_t read = ReadFileRangeA(path, block, 0, dataSize);
        // A file that shrank since the size query: the parse sees only what
        // was read.
        uint32_t delivered = read < 0 ? 0 : std::min(static_cast<uint32_t>(read), dataSize);
        std::memset(block + delivered, 0, dataSize - delivered);
        return ParsePool();
    } catch (...) {
        ReleaseBlocks();
        failurenote::NoteMemory();
        return 0;
    }
}

uint32_t VKCStringDict::LoadFromTXTStringA(const char* text) {
    if (std::vector<uint32_t>* lines = recordlines::Current()) lines->clear();
    if (text == nullptr) return 0;
    ResetMatch();
    path[0] = '\0';
    size_t length = std::strlen(text);
    dataSize = static_cast<uint32_t>(std::min<size_t>(length, 0xFFFFFFFFu));
    if (!AcceptableSize(dataSize)) return 0;  // an overlong length is clamped above the limit
    try {
        // The text may be one of this dictionary's own texts, so it is copied
        // into the new block before the old pool is released.
        char* block = NewBlock(dataSize);
        std::memcpy(block, text, dataSize);
        ReleaseBlocks();
        pool = block;
        return ParsePool();
    } catch (...) {
        ReleaseBlocks();
        failurenote::NoteMemory();
        return 0;
    }
}

uint32_t VKCStringDict::ReloadTXTFileA() {
    ResetMatch();
    ReleaseBlocks();
    char previous[sizeof(path)];
    std::memcpy(previous, path, sizeof(path));
    path[0] = '\0';
    return LoadFromTXTFileA(previous);
}
