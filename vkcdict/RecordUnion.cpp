#include "vkcdict/RecordUnion.h"

#include <algorithm>
#include <memory>

#include "vkcdict/Commands.h"
#include "vkcdict/Display.h"
#include "vkcdict/Output.h"

namespace vkcdict {

void RecordUnion::Add(const DictFile& file) {
    items_.reserve(items_.size() + file.count());
    for (uint32_t i = 0; i < file.count(); ++i)
        items_.push_back({TextsOf(file.record(i)), &file, i});
}

std::vector<RecordText> RecordUnion::Combine(Diagnostics& d) {
    const bool terminal = StderrIsTerminal();
    auto byKey = [](const Item& a, const Item& b) { return a.text.eng < b.text.eng; };
    // A stable sort keeps the records of one key in file order; a single
    // sorted file needs none.
    if (!std::is_sorted(items_.begin(), items_.end(), byKey)) {
        std::stable_sort(items_.begin(), items_.end(), byKey);
    }
    std::vector<RecordText> records;
    const Item* from = nullptr;  // where the kept translation of the key comes from
    for (const Item& item : items_) {
        if (records.empty() || records.back().eng != item.text.eng) {
            records.push_back(item.text);
            from = &item;
            continue;
        }
        RecordText& kept = records.back();
        const RecordText& text = item.text;
        const std::string where = from->file->Where(from->index);
        if (kept.remark.empty()) kept.remark = text.remark;
        if (kept.chi.empty() || text.chi.empty() || kept.chi == text.chi) {
            if (kept.chi.empty() && !text.chi.empty()) {
                kept.chi = text.chi;
                from = &item;
            } else if (from->file == item.file) {
                d.Note(item.file->path, item.file->lines[item.index],
                       "duplicate key " + Quote(text.eng.data(), text.eng.size(), terminal) +
                           " (first at " + where + "): merged");
            }
            continue;
        }
        ++conflicts_;
        d.Error(item.file->path, item.file->lines[item.index],
                "conflict: " + Quote(text.eng.data(), text.eng.size(), terminal) +
                    " is translated " + Quote(text.chi.data(), text.chi.size(), terminal) +
                    " here and " + Quote(kept.chi.data(), kept.chi.size(), terminal) + " at " +
                    where + "; keeping " + (preferLast_ ? "this one" : "that one"));
        if (preferLast_) {
            kept.chi = text.chi;
            from = &item;
        }
    }
    return records;
}

int WriteUnion(const std::vector<std::string>& paths, const std::string& output, bool preferLast,
               bool partial, const char* command) {
    Diagnostics d;
    if (!OutputIsNoInput(output, paths, d)) return kFailed;
    std::vector<std::unique_ptr<DictFile>> files;
    RecordUnion all(preferLast);
    uint64_t loaded = 0;
    for (const std::string& path : paths) {
        files.push_back(std::make_unique<DictFile>());
        if (!OpenDictionary(path, PolicyFor(partial), d, files.back().get())) return kFailed;
        all.Add(*files.back());
        loaded += files.back()->count();
    }
    const std::vector<RecordText> records = all.Combine(d);
    SafeOutput out;
    if (!out.Open(output, d)) return kFailed;
    WriteDictionary(out, files.front()->header, records);
    if (!out.Commit(d)) return kFailed;
    d.Summary(std::string("vkcdict ") + command + ": " + Count(loaded, "record") + " read, " +
              Count(records.size(), "record") + " written to " + output + ", " +
              Count(all.conflicts(), "conflict"));
    return d.findings() != 0 ? kFound : kDone;
}

}  // namespace vkcdict
