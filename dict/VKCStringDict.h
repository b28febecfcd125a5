// A translation dictionary held in memory.
//
// All texts live in one text pool that the dictionary owns; an array of
// StringEntry records points into that pool, one record per entry, kept in
// ascending order of the records' ENG texts (unsigned byte order, see
// CompareKey) so that every lookup is a binary search. Texts are 8-bit byte
// strings ended by a NUL; nothing here interprets their encoding except the
// piecewise matcher, which cuts CHI texts between whole GBK characters.
//
// Ownership and lifetime: the dictionary owns `pool` and `entryBlock`; records
// own nothing. Every StringEntry* and every text pointer handed out stays valid
// only until the next load, reload, edit or destruction of the dictionary.
//
// Failures are reported by results, never by exceptions, except where an
// operation says so (SaveToTXTFileA, InsertBlankEntry and the Set...TextA
// operations let an allocation failure through, leaving the dictionary as it
// was). The class is single-threaded: no two operations on one dictionary may
// overlap.
//
// Lookup index: FindStringA and FindStringIndexA answer from a hash table over
// the ENG texts (dict/EngIndex.h) whenever records 0 to count-1 are strictly
// ascending, which is exactly when the table's answer and the binary search's
// agree; for any other dictionary, and for every insertion position, the
// binary search serves. Loads and edits drop or keep the index as they change
// the records; a lookup after a load builds it once a thousandth of the
// records' worth of lookups have used the binary search. The index notices a
// changed `entries`, `count` or `pool` by itself, but not a record's `eng`
// pointer or ENG bytes written directly: a caller who writes those must then
// call SetENGTextA on that record with the text it now holds (or load again),
// which drops the index.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dict/EngIndex.h"

// One record. Its three texts lie in the pool of the dictionary that holds it,
// each NUL-terminated at its length (lengths count bytes, NUL not counted).
// A blank record has lengths 0 and all three pointers at the pool's first byte.
struct StringEntry {
    char* eng;  // source text, the sort key
    char* chi;  // translation
    char* remark;
    uint32_t engLen;
    uint32_t chiLen;
    uint32_t remarkLen;
};

// Strips blanks (0x20 only) from `text` in place: trailing blanks become NUL
// bytes. Mode 0 returns a pointer past the leading blanks, inside `text`;
// mode 1 moves the trimmed text to the start of `text` and returns `text`.
// A text of blanks only (or empty) gives `text` itself, now empty, in any mode.
// Any other mode returns null (trailing blanks already cut). The trimmed
// length goes to `outLength` when given. A null text returns null and leaves
// `outLength` alone.
char* TrimSpacesA(char* text, int mode, uint32_t* outLength = nullptr);

class VKCStringDict {
public:
    // An empty dictionary: no records; both blocks are zero-filled 16-byte
    // placeholders.
    VKCStringDict();
    ~VKCStringDict();
    VKCStringDict(const VKCStringDict&) = delete;
    VKCStringDict& operator=(const VKCStringDict&) = delete;

    // ---- Lookups. A looked-up text is copied and trimmed (TrimSpacesA mode 0)
    // first; the caller's text is never changed.

    // The record whose ENG text equals the trimmed `text`, or null (also for a
    // null text, an empty dictionary or an allocation failure).
    StringEntry* FindStringA(const char* text);
    // The index of the record whose ENG text equals the trimmed `text`; when
    // there is none, the position at which it would be inserted (0 to count);
    // -1 for a null text, a dictionary without records array, or an
    // allocation failure.
    int32_t FindStringIndexA(const char* text);
    // Binary search on the first four bytes of each ENG text read as a
    // little-endian number (bytes after an ENG text's NUL count as 0). Assumes
    // the records are in ascending order of that number.
    StringEntry* FindByKey(uint32_t key);
    uint32_t GetDataSize() const;
    // Compares two texts byte by byte as unsigned values: 1 equal, 2 `key`
    // sorts before `recordText` (a proper prefix sorts before), 3 after.
    // REQUIRES: both texts non-null and NUL-terminated.
    int CompareKey(const char* key, const char* recordText) const;

    // ---- Dictionary text file. Each load replaces the whole content and
    // returns the matcher to idle; the result is `count` after the load, or 0
    // on failure (a successful load always holds a record).

    // Loads a file; a name without a backslash is taken from the current
    // directory (outside Windows: a name that neither holds a backslash nor
    // starts with '/', joined to it with '/'). A null name, a name of 260
    // bytes or more, or a resolved path longer than 259 bytes: 0, nothing
    // changes (the last two noted, dict/FailureNote.h). A missing, empty or oversized
    // (over 200,000,000 bytes) file: 0, the previous records stay. A broken
    // record k: 0, records 0 to k-1 stay usable (`count` = k). Record k is
    // broken when a marker it needs is missing, and also when one of its
    // section texts (from its start marker to the end marker found) holds
    // the head of another record: a record marker line directly followed by
    // the ENG start line. That section's end marker is then missing, and the
    // load fails with its message, rather than carry the next record's marker
    // lines into record k's text. A start marker is still searched for past
    // other records (a record without a whole CHI section takes the next
    // record's), and a text that holds a bare record marker line still loads.
    uint32_t LoadFromTXTFileA(const char* fileName);
    // Loads dictionary text held in memory (copied; the caller's text is not
    // changed; it may be one of this dictionary's own texts). `path` becomes
    // empty.
    uint32_t LoadFromTXTStringA(const char* text);
    // Drops everything and loads the file named in `path` again.
    uint32_t ReloadTXTFileA();
    // Appends the dictionary, as a dictionary text file (header, records,
    // terminator), to `fileName` (used as given, not resolved); returns the
    // sum of the three write results, each the bytes written or -1 (so -3
    // when the file cannot be opened at all). A null name returns 0. Nothing
    // is undone after a failed piece. Throws std::bad_alloc, before anything
    // is written, when the record text cannot be held in memory (or would
    // reach 2 GiB).
    int32_t SaveToTXTFileA(const char* fileName);

    // ---- Binary dictionary image.

    // Loads a binary image (name resolved as for LoadFromTXTFileA); returns
    // its record count, or 0 on failure (an image of no records also gives 0).
    // Once the name is resolved the former content is gone and the matcher is
    // idle; a refused image leaves an empty dictionary whose `path` names it.
    uint32_t LoadFromBINFileA(const char* fileName);

    // ---- Editing. The pool (by the need plus 1 MiB) and the record array (by
    // 10,000 records) grow as needed; a growth moves every text or record, so
    // every pointer handed out before an edit is invalid after it. Texts passed
    // in are copied; they may point into this dictionary's own pool. Every
    // edit ends a piecewise match.

    // Adds a record with the trimmed `eng` as its key, in sorted position, and
    // copies the three texts into the pool (a null `chi` or `remark` stands
    // for `eng` as passed). Returns the new record, or the existing record
    // whose key equals the trimmed `eng` (its texts unchanged); null for a
    // null `eng` or an allocation failure.
    StringEntry* AddStringA(const char* eng, const char* chi, const char* remark);
    // Inserts a blank record (empty texts) at `index`, or at the end when
    // `index` is at or beyond `count`; the order is not kept. Returns the new
    // count. Throws std::bad_alloc, leaving the dictionary unchanged.
    uint32_t InsertBlankEntry(uint32_t index);
    // Replace one text of record `index` (the last record when `index` is at
    // or beyond `count`); a null text is the empty text. A strictly shorter
    // text is written in place, any other is appended to the pool. The ENG
    // text is stored as given: not trimmed, not re-sorted. Return 1, or 0
    // without records (nothing changes). Throw std::bad_alloc, leaving the
    // dictionary unchanged.
    int SetENGTextA(uint32_t index, const char* text);
    int SetCHITextA(uint32_t index, const char* text);
    int SetRemarkTextA(uint32_t index, const char* text);

    // ---- Piecewise matching.

    // Takes the next piece of a source text that arrives in pieces and hands
    // out the matching piece of its translation. The first piece (blanks
    // around it ignored) picks the first record, in the dictionary's order,
    // whose ENG text begins with it but is not equal to it; each later piece
    // must continue that ENG text where the previous one ended (blanks between
    // skipped). Each call copies into `out` the shortest run of whole GBK
    // characters of the CHI text holding at least as many bytes as the piece,
    // and the call that completes the ENG text copies all that is left.
    // Returns 1 (a piece in `out`, the match goes on), 2 (the rest in `out`,
    // the match is complete), or 0 (nothing handed out, the match abandoned).
    // `out` is written only with 1 or 2, always NUL-terminated; a piece of n
    // bytes needs `capacity` n + 1. A null `text` or `out`, or a `capacity` of
    // 0, returns 0 and leaves a match in progress untouched. The match state
    // lives in `matchKey` and `matchValue`; every load and edit ends a match.
    int32_t MatchNextA(const char* text, char* out, uint32_t capacity);

    // ---- State. Public so that tools and tests can inspect it; callers other
    // than the dictionary's own operations should only read it.
    char path[260];           // full path of the file last loaded; empty when none
    char* pool;               // owned: the text pool
    uint32_t dataSize;        // size of the loaded data; after an edit, the pool's used size
    StringEntry* entryBlock;  // owned: the record array
    uint32_t poolCapacity;    // usable size of `pool`, as tracked for appending
    uint32_t poolUsed;        // offset in `pool` at which the next text is appended
    uint32_t entryCapacity;   // records `entryBlock` can hold, as tracked for growth
    const char* matchKey;     // matcher's cursor into an ENG text; an empty text when idle
    const char* matchValue;   // matcher's cursor into a CHI text
    uint32_t count;           // records in use: 0 to count-1
    StringEntry* entries;     // not owning: the array lookups read (entryBlock, or null)

private:
    friend struct LookAheadAccess;  // dict/LookAhead.cpp: hints read the index

    // The lookup index, and whether a lookup may use it now, after building it
    // when it is due. Dropped with `wait` plain lookups to go before a rebuild.
    EngIndex engIndex_;
    bool IndexReady();
    void DropIndex(uint32_t wait) { engIndex_.Drop(wait); }
    // Plain lookups an edit's drop waits for: a rebuild costs about as much as
    // a sixteenth of `count` binary searches.
    uint32_t EditWait() const { return count / 16; }
    // Plain lookups a load's index waits for: a run that looks up fewer texts
    // than a thousandth of the records never pays for the index, and one that
    // looks up more loses almost nothing by the wait.
    uint32_t LoadWait() const { return count / 1024; }

    // The key a lookup of the `*length` bytes at `text` looks for, found
    // without writing (TrimSpacesA mode 0): its first byte, and its length in
    // `*length`. LookAhead prepares its keys with it too.
    static const char* TrimmedKey(const char* text, size_t* length);
    // The ENG binary search over records 0 to count-1 for a trimmed key.
    // Returns true and the record's index in `*position` when found; otherwise
    // false and the insertion position (0 to count).
    bool SearchEng(const char* key, uint32_t* position) const;
    // Points both matcher cursors at the constant empty text.
    void ResetMatch();
    // Releases the pool and the record array and zeroes `count` and the
    // capacities: no pool, no records. `dataSize` is left alone.
    void ReleaseBlocks();
    // Resolves `fileName` into `resolved` (260 bytes): a name without a
    // backslash is taken from the current directory, joined to it with '\'
    // on Windows and '/' elsewhere, where a name starting with '/' is taken
    // unchanged too. False when the name is null, the current directory is
    // unknown, or the name or the result does not fit (then noted).
    static bool ResolvePath(const char* fileName, char* resolved);
    // Replaces the content by a new pool of `dataSize` + 4 bytes, for a loader
    // to fill with `dataSize` bytes. Throws std::bad_alloc, leaving no pool.
    char* NewPool();
    // Ends the filled pool with CR LF NUL and splits it into records in place;
    // returns the load's result. Throws std::bad_alloc.
    uint32_t ParsePool();
};
