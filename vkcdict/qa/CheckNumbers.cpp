// numbers: each run of digits in the ENG text (outside its control codes,
// which the codes check compares) must occur as a run in the translation.
// Full-width digits count as ASCII ones; repetitions are not counted.
#include <algorithm>
#include <string>

#include "vkcdict/qa/Codes.h"
#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

class NumbersCheck : public QaCheck {
public:
    void Check(const QaRecord& r, QaReport& report) override {
        Runs(r.eng, &engDigits_, &eng_);
        if (eng_.empty()) return;
        Runs(r.chi, &chiDigits_, &chi_);
        std::string missing;
        for (size_t i = 0; i < eng_.size(); ++i) {
            if (i > 0 && eng_[i] == eng_[i - 1]) continue;
            if (std::binary_search(chi_.begin(), chi_.end(), eng_[i])) continue;
            missing += (missing.empty() ? "" : ", ") + std::string(eng_[i]);
        }
        if (missing.empty()) return;
        report.Add(r, report.Tr("numbers missing from the translation: {1} (ENG {2}, CHI {3})",
                                {missing, report.Show(r.eng), report.Show(r.chi)}));
    }

private:
    // The digit runs of `text` as ASCII digits, sorted: views into `*digits`,
    // which holds them one after another.
    void Runs(std::string_view text, std::string* digits, std::vector<std::string_view>* runs) {
        digits->clear();
        runs->clear();
        // Most translations hold no digit, nor the lead byte of a full-width one.
        if (std::none_of(text.begin(), text.end(), [](char c) {
                return IsAsciiDigit(static_cast<unsigned char>(c)) ||
                       static_cast<unsigned char>(c) == 0xA3;
            })) {
            return;
        }
        FindCodes(text, &codes_);
        std::vector<std::pair<size_t, size_t>>& spans = spans_;  // offset, length in *digits
        spans.clear();
        size_t code = 0;
        bool inRun = false;
        for (size_t at = 0; at < text.size();) {
            if (code < codes_.size() && codes_[code].data() == text.data() + at) {
                at += codes_[code++].size();
                inRun = false;
                continue;
            }
            const size_t n = CharAt(text, at);
            const int digit = DigitOf(text.substr(at, n));
            if (digit >= 0) {
                if (!inRun) spans.emplace_back(digits->size(), 0);
                *digits += static_cast<char>('0' + digit);
                ++spans.back().second;
            }
            inRun = digit >= 0;
            at += n;
        }
        const std::string_view all(*digits);
        for (const auto& [offset, length] : spans) runs->push_back(all.substr(offset, length));
        std::sort(runs->begin(), runs->end());
    }

    std::vector<std::string_view> codes_;
    std::vector<std::pair<size_t, size_t>> spans_;
    std::string engDigits_;
    std::string chiDigits_;
    std::vector<std::string_view> eng_;
    std::vector<std::string_view> chi_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeNumbersCheck(const QaSettings&) {
    return std::make_unique<NumbersCheck>();
}

}  // namespace vkcdict
