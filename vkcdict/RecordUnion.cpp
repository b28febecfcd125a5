#include "vkcdict/RecordUnion.h"

#include <algorithm>
#include <memory>

#include "vkcdict/Commands.h"
#include "vkcdict/Display.h"
#include "vkcdict/Output.h"

namespace vkcdict {

void RecordUnion::Add(const DictFile& file, Diagnostics& d) {
    const bool terminal = StderrIsTerminal();
    slots_.reserve(slots_.size() + file.count());
    for (uint32_t i = 0; i < file.count(); ++i) {
        const RecordText text = TextsOf(file.record(i));
        auto [it, added] = slots_.try_emplace(text.eng, Slot{text, &file, i});
        if (added) continue;
        Slot& slot = it->second;
        const std::string kept = slot.file->Where(slot.index);
        if (slot.text.remark.empty()) slot.text.remark = text.remark;
        if (slot.text.chi.empty() || text.chi.empty() || slot.text.chi == text.chi) {
            if (slot.text.chi.empty() && !text.chi.empty()) {
                slot.text.chi = text.chi;
                slot.file = &file;
                slot.index = i;
            } else if (slot.file == &file) {
                d.Note(file.path, file.lines[i],
                       "duplicate key " + Quote(text.eng.data(), text.eng.size(), terminal) +
                           " (first at " + kept + "): merged");
            }
            continue;
        }
        ++conflicts_;
        d.Error(file.path, file.lines[i],
                "conflict: " + Quote(text.eng.data(), text.eng.size(), terminal) +
                    " is translated " + Quote(text.chi.data(), text.chi.size(), terminal) +
                    " here and " + Quote(slot.text.chi.data(), slot.text.chi.size(), terminal) +
                    " at " + kept + "; keeping " + (preferLast_ ? "this one" : "that one"));
        if (preferLast_) {
            slot.text.chi = text.chi;
            slot.file = &file;
            slot.index = i;
        }
    }
}

std::vector<RecordText> RecordUnion::Sorted() const {
    std::vector<RecordText> records;
    records.reserve(slots_.size());
    for (const auto& entry : slots_) records.push_back(entry.second.text);
    std::sort(records.begin(), records.end(),
              [](const RecordText& a, const RecordText& b) { return a.eng < b.eng; });
    return records;
}

int WriteUnion(const std::vector<std::string>& paths, const std::string& output, bool preferLast,
               const char* command) {
    Diagnostics d;
    if (!OutputIsNoInput(output, paths, d)) return kFailed;
    std::vector<std::unique_ptr<DictFile>> files;
    RecordUnion all(preferLast);
    uint64_t loaded = 0;
    for (const std::string& path : paths) {
        files.push_back(std::make_unique<DictFile>());
        if (!OpenDictionary(path, true, d, files.back().get())) return kFailed;
        all.Add(*files.back(), d);
        loaded += files.back()->count();
    }
    const std::vector<RecordText> records = all.Sorted();
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
