// A dictionary text file as vkcdict reads it: loaded by the library's own
// loader, which decides what the file holds, with each record mapped back to
// the line of its "mirok_res_No." marker.
//
// A file that loads whole is read and parsed once: the loader's parse notes
// each record's line as it goes (dict/RecordLines.h). Any other file is read
// again and walked (MarkerWalk) to say what went wrong: the walk follows the
// loader's own steps, the same searches from the same places, up to the
// first NUL byte, and the same rule that a section text running into another
// record's head is missing its end marker. It says where the loader stops
// and which marker it missed, and which record markers it passed over inside
// other records. The loader remains the authority: OpenDictionary() checks
// that the walk and the load agree on every record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dict/VKCStringDict.h"
#include "vkcdict/cli/Diagnostics.h"

namespace vkcdict {

// What the loader's parse makes of a file's bytes.
struct MarkerWalk {
    // Every record the parse completes, by the offset of its record marker
    // (the CR LF in front of the marker word) and of its ENG text.
    struct Record {
        uint64_t marker;
        uint64_t eng;
    };
    std::vector<Record> records;
    // Record markers that the counting pass finds.
    std::vector<uint64_t> markers;
    // Each record marker passed over inside a record that the parse
    // completes, in file order: its offset, and the index of the start
    // marker (0, 2 or 4) whose search passed over it because the record
    // lacks that section, or -1 when it lies inside a text.
    struct Passed {
        uint64_t marker;
        int start;
    };
    std::vector<Passed> passed;
    // The parse stopped at record records.size(): `missing` is the index of
    // the marker not found (0 ENG start, 1 ENG end, 2 CHI start, 3 CHI end,
    // 4 Remark00 start, 5 Remark00 end), `at` where the search for it began
    // (the record marker, or the start marker of the section whose end is
    // missing).
    bool broken = false;
    int missing = 0;
    uint64_t at = 0;
    uint64_t brokenMarker = 0;  // the broken record's own record marker
    // Offset of the first NUL byte, or the file's size when there is none.
    uint64_t nul = 0;
};

// Walks `bytes` as the loader parses a file that holds them.
MarkerWalk WalkMarkers(std::string_view bytes);

// The marker bytes, without the line break, for messages: "mirok_res_CHI_Start".
std::string MarkerName(int missing);

// Line numbers (from 1) of byte offsets, counted on from the last offset asked
// for, so that asking in ascending order costs one pass over the bytes.
class LineCounter {
public:
    explicit LineCounter(std::string_view bytes) : bytes_(bytes) {}
    uint64_t LineOf(uint64_t offset);

private:
    std::string_view bytes_;
    uint64_t at_ = 0;
    uint64_t line_ = 1;
};

struct DictFile {
    std::string path;
    // Records 0 to dict.count - 1 are all that the tool uses.
    std::unique_ptr<VKCStringDict> dict;
    // Line of each used record's marker.
    std::vector<uint32_t> lines;
    uint64_t size = 0;
    // The file's header line when SaveToTXTFileA wrote it, else empty.
    std::string header;
    bool loaded = false;  // the load succeeded (every record marker parsed)
    // Loaded, and no NUL byte hides a record marker from the loader.
    bool complete = false;
    // Complete, and the closing line "mirok_res_All_End" follows the last
    // record: a file without it may have been cut short at a record's end.
    bool closed = false;
    // The bytes look like UTF-8 or UTF-16 rather than GBK (reported once, so
    // that check need not report each text's invalid GBK).
    bool notGbk = false;

    uint32_t count() const { return dict->count; }
    const StringEntry& record(uint32_t i) const { return dict->entries[i]; }
    std::string Where(uint32_t i) const { return path + ":" + std::to_string(lines[i]); }
};

// How a command takes a dictionary that does not load completely (a broken
// record, no record marker, a NUL byte hiding records, an empty or oversized
// file) or that holds no record.
enum class LoadPolicy {
    kReport,   // check: every problem reported as an error; go on with what loaded
    kWhole,    // the problems reported as errors, and the dictionary refused
    kPartial,  // --partial: the problems as warnings; go on with what loaded
};

// How a command takes a dictionary whose bytes look like UTF-8 or UTF-16
// rather than GBK. A command that writes its texts anywhere (a dictionary, a
// script, an image, a PO file) would write them garbled, or mixed with GBK
// texts; one that only reads them shows them as they are.
enum class EncodingPolicy {
    kReport,  // reported (an error under kReport, else a warning); records used
    kRefuse,  // reported as an error, and the dictionary refused
};

// Loads `path` with the library's loader and reports what keeps it from
// loading, with a hint when the file looks like UTF-8, UTF-16 or has LF line
// breaks. Returns false, reported, when the file cannot be read (a missing
// file, a directory, a name longer than the loader takes), with kWhole when
// it does not load completely or holds no record, and with kRefuse when it
// looks like UTF-8 or UTF-16: the caller then stops, writing nothing.
// Otherwise true, with exactly the records the loader gives.
bool OpenDictionary(const std::string& path, LoadPolicy policy, Diagnostics& diagnostics,
                    DictFile* file, EncodingPolicy encoding = EncodingPolicy::kReport);

// kPartial when the command was given --partial, else kWhole.
inline LoadPolicy PolicyFor(bool partial) {
    return partial ? LoadPolicy::kPartial : LoadPolicy::kWhole;
}

// For a command that writes a dictionary's texts: kRefuse, unless it was
// given --allow-non-gbk (AddNonGbkFlag).
inline EncodingPolicy WritingPolicy(bool allowNonGbk) {
    return allowNonGbk ? EncodingPolicy::kReport : EncodingPolicy::kRefuse;
}

// `path` as the library's loaders take it (on Windows with '\\' for '/').
std::string LoaderName(const std::string& path);

// The message for a name that the library's loaders refuse for its length (a
// failed load that leaves the dictionary's `path` empty): they take names of
// up to 259 bytes, counted with the current folder in front when the name
// holds no backslash (on POSIX: is not absolute). It says how long `path` is
// as they count it.
std::string NameTooLong(const std::string& path);

// The loader's limit on a dictionary's size in bytes.
uint64_t MaxDictionaryBytes();

}  // namespace vkcdict
