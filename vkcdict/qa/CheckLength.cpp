// length: the translation's bytes against a budget: the remark's "max=N"
// when it has one (with or without options), else --max-bytes and
// --max-ratio times the ENG text's bytes, whichever is given.
#include <cmath>
#include <string>

#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

class LengthCheck : public QaCheck {
public:
    explicit LengthCheck(const QaSettings& s) : maxBytes_(s.maxBytes), maxRatio_(s.maxRatio) {}

    void Check(const QaRecord& r, QaReport& report) override {
        const uint64_t n = r.chi.size();
        const std::string size = std::to_string(n);
        const int64_t budget = r.remark.empty() ? -1 : RemarkBudget(r.remark);
        if (budget >= 0) {
            if (n > static_cast<uint64_t>(budget)) {
                report.Add(r, report.Tr("translation of {1} bytes, over the budget of max={2} in "
                                        "the remark: {3}",
                                        {size, std::to_string(budget), report.Show(r.chi)}));
            }
            return;
        }
        if (maxBytes_ != 0 && n > maxBytes_) {
            report.Add(r, report.Tr("translation of {1} bytes, over --max-bytes {2}: {3}",
                                    {size, std::to_string(maxBytes_), report.Show(r.chi)}));
        } else if (maxRatio_ > 0 && static_cast<double>(n) > maxRatio_ * r.eng.size()) {
            char ratio[32];
            std::snprintf(ratio, sizeof(ratio), "%g", maxRatio_);
            report.Add(r,
                       report.Tr("translation of {1} bytes, more than {2} times the ENG "
                                 "text's {3}: {4}",
                                 {size, ratio, std::to_string(r.eng.size()), report.Show(r.chi)}));
        }
    }

private:
    uint64_t maxBytes_;
    double maxRatio_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeLengthCheck(const QaSettings& settings) {
    return std::make_unique<LengthCheck>(settings);
}

}  // namespace vkcdict
