// glossary: for each glossary term in a record's ENG text, the translation
// must hold the term's translation; a term translated as empty must appear
// in the translation as the ENG text writes it. Each term counts once per
// record, however often it occurs.
#include <algorithm>
#include <string>

#include "vkcdict/qa/Glossary.h"
#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

class GlossaryCheck : public QaCheck {
public:
    explicit GlossaryCheck(const QaSettings& s) : glossary_(s.glossary) {}

    void Check(const QaRecord& r, QaReport& report) override {
        if (glossary_ == nullptr) return;
        glossary_->Find(r.eng, &matches_);
        seen_.clear();
        for (const GlossaryIndex::Match& m : matches_) {
            if (std::find(seen_.begin(), seen_.end(), m.term) != seen_.end()) continue;
            seen_.push_back(m.term);
            const GlossaryIndex::Term& term = glossary_->term(m.term);
            if (term.chi.empty()) {
                const std::string_view kept = r.eng.substr(m.at, term.eng.size());
                if (FindText(r.chi, kept) != std::string_view::npos) continue;
                report.Add(r, report.Tr("the glossary ({1}) keeps {2} untranslated, but the "
                                        "translation lacks it (CHI {3})",
                                        {term.where, report.Show(kept), report.Show(r.chi)}));
            } else if (FindText(r.chi, term.chi) == std::string_view::npos) {
                report.Add(r, report.Tr("the ENG text holds the glossary term {1} ({2}), but the "
                                        "translation lacks its {3} (CHI {4})",
                                        {report.Show(term.eng), term.where, report.Show(term.chi),
                                         report.Show(r.chi)}));
            }
        }
    }

private:
    const GlossaryIndex* glossary_;
    std::vector<GlossaryIndex::Match> matches_;
    std::vector<uint32_t> seen_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeGlossaryCheck(const QaSettings& settings) {
    return std::make_unique<GlossaryCheck>(settings);
}

}  // namespace vkcdict
