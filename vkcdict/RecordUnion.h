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

#include "vkcdict/files/DictFile.h"
#include "vkcdict/files/DictWriter.h"

namespace vkcdict {

class RecordUnion {
public:
    explicit RecordUnion(bool preferLast) : preferLast_(preferLast) {}

    void Add(const DictFile& file);
    // Combines the records of each key, reporting what it finds (in key
    // order), and writes them in ascending order of their ENG texts.
    void Combine(Diagnostics& diagnostics);
    size_t size() const { return kept_.size(); }
    // The texts of the combined record at `i`, 0 to size() - 1.
    RecordText operator[](size_t i) const;
    uint64_t conflicts() const { return conflicts_; }

private:
    // A record of one of the files, by position: a million records take
    // eight bytes each, where views of their texts would take sixty.
    struct Item {
        uint32_t file;
        uint32_t index;
    };
    // One combined record: where its ENG, CHI and remark texts come from.
    struct Kept {
        Item eng;
        Item chi;
        Item remark;
    };
    const StringEntry& Record(Item item) const { return files_[item.file]->record(item.index); }
    std::string_view Eng(Item item) const;

    bool preferLast_;
    uint64_t conflicts_ = 0;
    std::vector<const DictFile*> files_;
    std::vector<Item> items_;  // in file order, then record order
    std::vector<Kept> kept_;
};

// merge and sort: the union of the dictionaries at `paths` (loaded in order)
// written to `output`, with the first file's header line kept when the
// library's writer made it, so that a run that changes no record changes no
// byte. Returns the exit status; `command` names the command in the summary.
// A dictionary that does not load completely stops it, writing nothing,
// unless `partial`; so does one that looks like UTF-8 or UTF-16, unless
// `allowNonGbk`.
int WriteUnion(const std::vector<std::string>& paths, const std::string& output, bool preferLast,
               bool partial, bool allowNonGbk, const char* command);

}  // namespace vkcdict
