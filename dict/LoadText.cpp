// Loading the dictionary text file: the whole file goes into the pool in one
// read and is cut into records in place. Each text is NUL-terminated where it
// stands; nothing is copied, trimmed or sorted.
#include <algorithm>
#include <cstring>

#include "dict/RecordArray.h"
#include "dict/TextFormat.h"
#include "dict/VKCStringDict.h"
#include "fileio/FileRange.h"
#include "platform/Win32.h"

namespace {

using textformat::Marker;

// The first occurrence of `marker` wholly inside [from, limit), or null.
char* FindMarker(char* from, const char* limit, const Marker& marker) {
    if (from >= limit) return nullptr;
    size_t available = static_cast<size_t>(limit - from);
#ifdef __GLIBC__
    return static_cast<char*>(memmem(from, available, marker.bytes, marker.length));
#else
    char* hit = std::search(from, from + available, marker.bytes, marker.bytes + marker.length);
    return hit == from + available ? nullptr : hit;
#endif
}

enum class SectionResult { kOk, kNoStart, kNoEnd };

// Takes one section: its start marker is searched from `from`, its end marker
// from the start marker's first byte. The two bytes in front of the end
// marker close the text and are dropped; a text shorter than those two bytes
// is empty. On success the text is NUL-terminated at its length and
// `*cursor` moves one byte past the end marker's first byte, so that the NUL
// of an empty text (written onto that first byte) never cuts a later search.
SectionResult TakeSection(char* from, const char* limit, const Marker& start, const Marker& end,
                          char** text, uint32_t* length, char** cursor) {
    char* startMarker = FindMarker(from, limit, start);
    if (startMarker == nullptr) return SectionResult::kNoStart;
    *text = startMarker + start.length;
    char* endMarker = FindMarker(startMarker, limit, end);
    if (endMarker == nullptr) return SectionResult::kNoEnd;
    ptrdiff_t distance = endMarker - *text;
    *length = distance >= 2 ? static_cast<uint32_t>(distance - 2) : 0;
    (*text)[*length] = '\0';
    *cursor = endMarker + 1;
    return SectionResult::kOk;
}

// Composes the message for a record whose marker is missing and sends it to
// the debugger output; the load itself reports only its result.
void ReportBrokenRecord(int message, uint32_t index) {
    char text[1024];
    wsprintfA(text, textformat::kMissingMarkerMessages[message], static_cast<int>(index));
    OutputDebugStringA(text);
}

bool AcceptableSize(uint32_t size) {
    return size != 0 && size != 0xFFFFFFFFu && size <= textformat::kMaxDataSize;
}

}  // namespace

bool VKCStringDict::ResolvePath(const char* fileName, char* resolved) {
    if (fileName == nullptr) return false;
    size_t nameLength = strnlen(fileName, MAX_PATH);
    if (nameLength >= MAX_PATH) return false;
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
    if (length == 0 || length >= MAX_PATH) return false;
    if (directory[length - 1] == '\\') --length;  // a root such as C:\ ends in one already
    if (length + 1 + nameLength > MAX_PATH - 1) return false;
    std::memcpy(resolved, directory, length);
    resolved[length] = '\\';
    std::memcpy(resolved + length + 1, fileName, nameLength + 1);
    return true;
}

char* VKCStringDict::NewPool() {
    ReleaseBlocks();
    pool = new char[static_cast<size_t>(dataSize) + 4];
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

    // The first NUL ends all that the parse sees. The NULs the parse writes
    // all lie behind its cursor, so this bound is fixed once.
    const char* limit = pool + std::strlen(pool);

    uint32_t records = 0;
    for (char* at = pool; (at = FindMarker(at, limit, kRecord)) != nullptr; at += kRecord.length) {
        ++records;
    }
    if (records == 0) return 0;
    entryBlock = recordarray::Allocate(records);
    entries = entryBlock;
    entryCapacity = records;

    char* cursor = pool;
    uint32_t i = 0;
    for (; i < records; ++i) {
        char* recordMarker = FindMarker(cursor, limit, kRecord);
        if (recordMarker == nullptr) break;
        StringEntry& entry = entries[i];
        struct Section {
            char* from;
            const Marker& start;
            const Marker& end;
            char** text;
            uint32_t* length;
        };
        // The ENG start marker is searched from the record marker, the others
        // from the cursor, so a record lacking a section takes a later one.
        const Section sections[3] = {
            {recordMarker, kEngStart, kEngEnd, &entry.eng, &entry.engLen},
            {nullptr, kChiStart, kChiEnd, &entry.chi, &entry.chiLen},
            {nullptr, kRemarkStart, kRemarkEnd, &entry.remark, &entry.remarkLen},
        };
        for (int s = 0; s < 3; ++s) {
            const Section& section = sections[s];
            char* from = section.from != nullptr ? section.from : cursor;
            SectionResult result = TakeSection(from, limit, section.start, section.end,
                                               section.text, section.length, &cursor);
            if (result != SectionResult::kOk) {
                ReportBrokenRecord(2 * s + (result == SectionResult::kNoEnd ? 1 : 0), i);
                count = i;  // records before the broken one stay usable
                return 0;
            }
        }
    }
    count = i;
    return count;
}

uint32_t VKCStringDict::LoadFromTXTFileA(const char* fileName) {
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
        return 0;
    }
}

uint32_t VKCStringDict::LoadFromTXTStringA(const char* text) {
    if (text == nullptr) return 0;
    ResetMatch();
    path[0] = '\0';
    size_t length = std::strlen(text);
    dataSize = static_cast<uint32_t>(std::min<size_t>(length, 0xFFFFFFFFu));
    if (!AcceptableSize(dataSize)) return 0;  // an overlong length is clamped above the limit
    try {
        // The text may be one of this dictionary's own texts, so it is copied
        // into the new block before the old pool is released.
        char* block = new char[static_cast<size_t>(dataSize) + 4];
        std::memcpy(block, text, dataSize);
        ReleaseBlocks();
        pool = block;
        return ParsePool();
    } catch (...) {
        ReleaseBlocks();
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
