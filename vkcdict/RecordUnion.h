// The union of the records of several dictionaries, as merge and sort make
// it: one record per ENG text (compared byte for byte, blanks included), in
// ascending key order. Files are added in order; for a key seen again:
//   - a non-empty translation fills an empty one;
//   - two different non-empty translations are a conflict, reported with both
//     places; the first is kept, or the last with `preferLast`;
//   - the remark is the first non-empty one;
//   - a repeat inside one file with nothing to resolve is reported as a note.
// The union holds views into the files' dictionaries, which must outlive it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vkcdict/DictFile.h"
#include "vkcdict/DictWriter.h"

namespace vkcdict {

class RecordUnion {
public:
    explicit RecordUnion(bool preferLast) : preferLast_(preferLast) {}

    void Add(const DictFile& file);
    // Combines the records of each key, reporting what it finds (in key
    // order), and returns them in ascending order of their ENG texts.
    std::vector<RecordText> Combine(Diagnostics& diagnostics);
    uint64_t conflicts() const { return conflicts_; }

private:
    struct Item {
        RecordText text;
        const DictFile* file;  // where the translation comes from
        uint32_t index;
    };
    bool preferLast_;
    uint64_t conflicts_ = 0;
    std::vector<Item> items_;  // in file order, then record order
};

// merge and sort: the union of the dictionaries at `paths` (loaded in order)
// written to `output`, with the first file's header line kept when the
// library's writer made it, so that a run that changes no record changes no
// byte. Returns the exit status; `command` names the command in the summary.
// A dictionary that does not load completely stops it, writing nothing,
// unless `partial`.
int WriteUnion(const std::vector<std::string>& paths, const std::string& output, bool preferLast,
               bool partial, const char* command);

}  // namespace vkcdict
