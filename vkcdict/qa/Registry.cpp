// The table of checks, made from CheckList.h, and the remark's qa-skip.
#include "vkcdict/i18n/Translate.h"
#include "vkcdict/qa/Qa.h"

namespace vkcdict {

#define VKC_QA_CHECK(id, byDefault, description, factory) \
    std::unique_ptr<QaCheck> factory(const QaSettings& settings);
#include "vkcdict/qa/CheckList.h"
#undef VKC_QA_CHECK

// The table is made once, maybe before the language is chosen: it keeps the
// descriptions in English, and --list-checks translates them as it prints.
const std::vector<QaCheckInfo>& QaChecks() {
#define VKC_QA_CHECK(id, byDefault, description, factory) {id, byDefault, description, &factory},
    static const std::vector<QaCheckInfo> checks = {
#include "vkcdict/qa/CheckList.h"
    };
#undef VKC_QA_CHECK
    return checks;
}

uint64_t SkippedChecks(std::string_view remark) {
    static constexpr std::string_view kSkip = "qa-skip:";
    uint64_t skipped = 0;
    for (size_t at = remark.find(kSkip); at != std::string_view::npos;
         at = remark.find(kSkip, at)) {
        at += kSkip.size();
        for (;;) {
            size_t end = at;
            while (end < remark.size() &&
                   ((remark[end] >= 'a' && remark[end] <= 'z') || remark[end] == '-')) {
                ++end;
            }
            const std::string_view id = remark.substr(at, end - at);
            const std::vector<QaCheckInfo>& checks = QaChecks();
            for (size_t k = 0; k < checks.size(); ++k) {
                if (id == checks[k].id) skipped |= uint64_t{1} << k;
            }
            if (end >= remark.size() || remark[end] != ',') break;
            at = end + 1;
        }
    }
    return skipped;
}

}  // namespace vkcdict
