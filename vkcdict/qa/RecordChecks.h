// The qa checks for a program that checks records one at a time, as they
// change (the editor): the same checks, messages and IDs as vkcdict qa, with
// the remark's qa-skip honoured. Messages are in English, as in qa's JSON
// lines (texts quoted in them stay GBK bytes). The checks that look at one record run on
// any texts, saved or not; those that compare records (the same ENG text
// translated differently) run over a whole dictionary at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "vkcdict/qa/Qa.h"

namespace vkcdict {

class RecordChecks {
public:
    // The checks that vkcdict qa runs by default, made with `settings`,
    // which must outlive this object, as must `files` (the dictionaries
    // whose records are checked; messages name their records' places).
    RecordChecks(const QaSettings& settings, const std::vector<DictFile>* files);
    ~RecordChecks();

    // The findings of the checks that look at one record, about `record`
    // (none when its translation is empty), in the order of QaChecks().
    std::vector<QaFinding> Check(const QaRecord& record);

    // The findings of the checks that compare records, over every record
    // of file 0, in file order.
    std::vector<QaFinding> CompareAll();

private:
    const std::vector<DictFile>* files_;
    std::vector<std::pair<uint32_t, std::unique_ptr<QaCheck>>> single_;
    const QaSettings* settings_;
    std::vector<uint32_t> comparing_;
};

// Record `index` of `file` as the checks see it.
QaRecord RecordOf(const DictFile& file, uint32_t fileIndex, uint32_t index);

}  // namespace vkcdict
