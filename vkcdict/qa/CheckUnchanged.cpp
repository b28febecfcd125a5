// unchanged: the translation is the ENG text itself, and the ENG text holds
// an ASCII letter outside its control codes (the built-in forms and the
// --code ones) and outside the glossary terms it keeps untranslated. Texts
// of numbers, codes and such terms alone need no translation.
#include <algorithm>
#include <cstddef>

#include "vkcdict/qa/CodeFinder.h"
#include "vkcdict/qa/Glossary.h"
#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

class UnchangedCheck : public QaCheck {
public:
    explicit UnchangedCheck(const QaSettings& s) : finder_(s.codes), glossary_(s.glossary) {}

    void Check(const QaRecord& r, QaReport& report) override {
        if (r.chi != r.eng || !HasWords(r.eng)) return;
        report.Add(
            r, report.Tr("the translation is the ENG text {1} unchanged", {report.Show(r.eng)}));
    }

private:
    bool HasWords(std::string_view text) {
        // A pattern that gives up leaves its codes out: the text may then be
        // reported, never wrongly passed.
        finder_.Find(text, &codes_);
        covered_.assign(text.size(), false);
        const auto cover = [this](size_t at, size_t n) {
            std::fill(covered_.begin() + static_cast<std::ptrdiff_t>(at),
                      covered_.begin() + static_cast<std::ptrdiff_t>(at + n), true);
        };
        for (std::string_view code : codes_) {
            cover(static_cast<size_t>(code.data() - text.data()), code.size());
        }
        if (glossary_ != nullptr) {
            glossary_->Find(text, &terms_);
            for (const GlossaryIndex::Match& m : terms_) {
                const GlossaryIndex::Term& term = glossary_->term(m.term);
                if (term.chi.empty()) cover(m.at, term.eng.size());
            }
        }
        bool words = false;
        ForEachChar(text, [&](size_t at, size_t n) {
            words = words || (n == 1 && !covered_[at] &&
                              IsAsciiLetter(static_cast<unsigned char>(text[at])));
        });
        return words;
    }

    CodeFinder finder_;
    const GlossaryIndex* glossary_;
    std::vector<std::string_view> codes_;
    std::vector<GlossaryIndex::Match> terms_;
    std::vector<bool> covered_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeUnchangedCheck(const QaSettings& settings) {
    return std::make_unique<UnchangedCheck>(settings);
}

}  // namespace vkcdict
