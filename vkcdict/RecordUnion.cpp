#include "vkcdict/RecordUnion.h"

#include <algorithm>
#include <memory>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

void RecordUnion::Add(const DictFile& file) {
    const uint32_t at = static_cast<uint32_t>(files_.size());
    files_.push_back(&file);
    items_.reserve(items_.size() + file.count());
    for (uint32_t i = 0; i < file.count(); ++i) items_.push_back({at, i});
}

std::string_view RecordUnion::Eng(Item item) const {
    const StringEntry& r = Record(item);
    return std::string_view(r.eng, r.engLen);
}

RecordText RecordUnion::operator[](size_t i) const {
    const Kept& k = kept_[i];
    return {TextsOf(Record(k.eng)).eng, TextsOf(Record(k.chi)).chi,
            TextsOf(Record(k.remark)).remark};
}

void RecordUnion::Combine(Diagnostics& d) {
    const bool terminal = StderrIsTerminal();
    auto byKey = [this](Item a, Item b) { return Eng(a) < Eng(b); };
    // Each file's records are put in order on their own (a sorted file, the
    // usual case, needs nothing), then merged into the files before them.
    // Both steps are stable, so the records of one key stay in file order.
    auto begin = items_.begin();
    for (auto run = begin; run != items_.end();) {
        const uint32_t file = run->file;
        const auto end =
            std::find_if(run, items_.end(), [file](Item item) { return item.file != file; });
        if (!std::is_sorted(run, end, byKey)) std::stable_sort(run, end, byKey);
        std::inplace_merge(begin, run, end, byKey);
        run = end;
    }
    kept_.clear();
    kept_.reserve(items_.size());
    for (const Item item : items_) {
        const RecordText text = TextsOf(Record(item));
        if (kept_.empty() || Eng(kept_.back().eng) != text.eng) {
            kept_.push_back({item, item, item});
            continue;
        }
        Kept& kept = kept_.back();
        const Item from = kept.chi;  // where the kept translation comes from
        const DictFile& fromFile = *files_[from.file];
        const DictFile& file = *files_[item.file];
        const std::string_view keptChi = TextsOf(Record(from)).chi;
        const std::string where = fromFile.Where(from.index);
        if (TextsOf(Record(kept.remark)).remark.empty()) kept.remark = item;
        if (keptChi.empty() || text.chi.empty() || keptChi == text.chi) {
            if (keptChi.empty() && !text.chi.empty()) {
                kept.chi = item;
            } else if (from.file == item.file) {
                d.Note(file.path, file.lines[item.index],
                       Tr("duplicate key {1} (first at {2}): merged",
                          {Quote(text.eng.data(), text.eng.size(), terminal), where}));
            }
            continue;
        }
        ++conflicts_;
        const std::string eng = Quote(text.eng.data(), text.eng.size(), terminal);
        const std::string chi = Quote(text.chi.data(), text.chi.size(), terminal);
        const std::string other = Quote(keptChi.data(), keptChi.size(), terminal);
        d.Error(file.path, file.lines[item.index],
                preferLast_ ? Tr("conflict: {1} is translated {2} here and {3} at {4}; keeping "
                                 "this one",
                                 {eng, chi, other, where})
                            : Tr("conflict: {1} is translated {2} here and {3} at {4}; keeping "
                                 "that one",
                                 {eng, chi, other, where}));
        if (preferLast_) kept.chi = item;
    }
    items_.clear();
    items_.shrink_to_fit();
}

int WriteUnion(const std::vector<std::string>& paths, const std::string& output, bool preferLast,
               bool partial, bool allowNonGbk, const char* command) {
    Diagnostics d;
    if (!OutputIsNoInput(output, paths, d)) return kFailed;
    std::vector<std::unique_ptr<DictFile>> files;
    RecordUnion all(preferLast);
    uint64_t loaded = 0;
    for (const std::string& path : paths) {
        files.push_back(std::make_unique<DictFile>());
        if (!OpenDictionary(path, PolicyFor(partial), d, files.back().get(),
                            WritingPolicy(allowNonGbk))) {
            return kFailed;
        }
        all.Add(*files.back());
        loaded += files.back()->count();
    }
    all.Combine(d);
    if (!WriteDictionary(
            output, files.front()->header, all.size(), [&all](size_t i) { return all[i]; }, d)) {
        return kFailed;
    }
    d.Summary(Tr("vkcdict {1}: {2} read, {3} written to {4}, {5}",
                 {command, CountOf(loaded, "record"), CountOf(all.size(), "record"), output,
                  CountOf(all.conflicts(), "conflict")}));
    return d.findings() != 0 ? kFound : kDone;
}

}  // namespace vkcdict
