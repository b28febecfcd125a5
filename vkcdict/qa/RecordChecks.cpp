#include "vkcdict/qa/RecordChecks.h"

#include <algorithm>

#include "vkcdict/qa/Text.h"

namespace vkcdict {

QaRecord RecordOf(const DictFile& file, uint32_t fileIndex, uint32_t index) {
    const StringEntry& e = file.record(index);
    QaRecord r;
    r.file = fileIndex;
    r.index = index;
    r.line = index < file.lines.size() ? file.lines[index] : 0;
    r.eng = std::string_view(e.eng, e.engLen);
    r.chi = std::string_view(e.chi, e.chiLen);
    r.remark = std::string_view(e.remark, e.remarkLen);
    r.skipped = r.remark.empty() ? 0 : SkippedChecks(r.remark);
    return r;
}

RecordChecks::RecordChecks(const QaSettings& settings, const std::vector<DictFile>* files)
    : files_(files), settings_(&settings) {
    const std::vector<QaCheckInfo>& table = QaChecks();
    for (uint32_t k = 0; k < table.size(); ++k) {
        if (!table[k].byDefault) continue;
        std::unique_ptr<QaCheck> check = table[k].make(settings);
        if (check->ComparesRecords()) {
            comparing_.push_back(k);
        } else {
            single_.emplace_back(k, std::move(check));
        }
    }
}

RecordChecks::~RecordChecks() = default;

std::vector<QaFinding> RecordChecks::Check(const QaRecord& record) {
    QaReport report(files_, false, QaChecks().size());
    if (record.chi.empty()) return {};
    for (auto& [k, check] : single_) {
        report.SetCheck(k);
        check->Check(record, report);
    }
    return report.TakeKept();
}

std::vector<QaFinding> RecordChecks::CompareAll() {
    const std::vector<QaCheckInfo>& table = QaChecks();
    QaReport report(files_, false, table.size());
    const DictFile& file = (*files_)[0];
    for (uint32_t k : comparing_) {
        // A comparing check keeps what it saw: each run starts afresh.
        std::unique_ptr<QaCheck> check = table[k].make(*settings_);
        report.SetCheck(k);
        for (uint32_t i = 0; i < file.count(); ++i) {
            if (file.record(i).chiLen != 0) check->Check(RecordOf(file, 0, i), report);
        }
        check->Finish(report);
    }
    std::vector<QaFinding> found = report.TakeKept();
    std::stable_sort(found.begin(), found.end(), [](const QaFinding& a, const QaFinding& b) {
        return a.index != b.index ? a.index < b.index : a.check < b.check;
    });
    return found;
}

}  // namespace vkcdict
