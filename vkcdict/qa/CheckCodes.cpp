// codes: the control codes and placeholders of the ENG text (QaCodes.h, and
// the game's own forms given with --code) must each appear in the
// translation as often; their order may change.
#include <algorithm>

#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Codes.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

class CodesCheck : public QaCheck {
public:
    explicit CodesCheck(const QaSettings& settings) {
        for (const CodePattern& pattern : settings.codes) searchers_.emplace_back(pattern);
    }

    void Check(const QaRecord& r, QaReport& report) override {
        tooSlow_ = false;
        Collect(r.eng, &eng_);
        Collect(r.chi, &chi_);
        if (tooSlow_) {
            report.Add(r, "a --code pattern reads this record's texts over and over (it prefers "
                          "alternatives that run far past the codes it takes, as x.*y|x does); "
                          "its codes are not compared (ENG " +
                              report.Show(r.eng) + ")");
            return;
        }
        if (eng_ == chi_) return;
        std::string missing;
        std::string extra;
        size_t e = 0;
        size_t c = 0;
        while (e < eng_.size() || c < chi_.size()) {
            if (c == chi_.size() || (e < eng_.size() && eng_[e] < chi_[c])) {
                List(&missing, eng_[e++], report);
            } else if (e == eng_.size() || chi_[c] < eng_[e]) {
                List(&extra, chi_[c++], report);
            } else {
                ++e;
                ++c;
            }
        }
        std::string message;
        if (!missing.empty()) message = "codes missing from the translation: " + missing;
        if (!extra.empty()) {
            message += (message.empty() ? "codes the ENG text lacks: " : "; extra: ") + extra;
        }
        report.Add(r,
                   message + " (ENG " + report.Show(r.eng) + ", CHI " + report.Show(r.chi) + ")");
    }

private:
    void Collect(std::string_view text, std::vector<std::string_view>* codes) {
        FindCodes(text, codes);
        for (CodeSearcher& searcher : searchers_) AddMatches(text, searcher, codes);
        std::sort(codes->begin(), codes->end());
    }

    // The pattern sees bytes; a match counts only when it starts and ends on
    // character boundaries, so that it never takes in half a character.
    void AddMatches(std::string_view text, CodeSearcher& searcher,
                    std::vector<std::string_view>* codes) {
        boundary_.assign(text.size() + 1, false);
        ForEachChar(text, [this](size_t at, size_t) { boundary_[at] = true; });
        boundary_[text.size()] = true;
        size_t at = 0;
        size_t n = 0;
        // One search is linear in the text, but a pattern may read the same
        // stretch again for every match; past this many steps a text's
        // matches are given up, so that no record can take quadratic time.
        const uint64_t budget = kStepsPerByte * (text.size() + 1) + kFreeSteps;
        searcher.ResetSteps();
        for (size_t from = 0; searcher.Find(text, from, &at, &n); from = at + n) {
            if (boundary_[at] && boundary_[at + n]) codes->push_back(text.substr(at, n));
            if (searcher.steps() > budget) {
                tooSlow_ = true;
                return;
            }
        }
    }

    static constexpr uint64_t kStepsPerByte = 32;
    static constexpr uint64_t kFreeSteps = 1 << 16;

    static void List(std::string* list, std::string_view code, const QaReport& report) {
        if (!list->empty()) *list += ", ";
        *list += report.Show(code);
    }

    std::vector<CodeSearcher> searchers_;  // one per --code pattern
    std::vector<std::string_view> eng_;
    std::vector<std::string_view> chi_;
    std::vector<bool> boundary_;
    bool tooSlow_ = false;
};

}  // namespace

std::unique_ptr<QaCheck> MakeCodesCheck(const QaSettings& settings) {
    return std::make_unique<CodesCheck>(settings);
}

}  // namespace vkcdict
