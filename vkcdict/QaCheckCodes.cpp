// codes: the control codes and placeholders of the ENG text (QaCodes.h, and
// the game's own forms given with --code) must each appear in the
// translation as often; their order may change.
#include <algorithm>

#include "vkcdict/Qa.h"
#include "vkcdict/QaCodes.h"
#include "vkcdict/QaText.h"

namespace vkcdict {

namespace {

class CodesCheck : public QaCheck {
public:
    explicit CodesCheck(const QaSettings& settings) : regexes_(settings.codes) {}

    void Check(const QaRecord& r, QaReport& report) override {
        Collect(r.eng, &eng_);
        Collect(r.chi, &chi_);
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
        for (const std::regex& regex : regexes_) AddMatches(text, regex, codes);
        std::sort(codes->begin(), codes->end());
    }

    // The regex sees bytes; a match counts only when it starts and ends on
    // character boundaries, so that it never takes in half a character.
    void AddMatches(std::string_view text, const std::regex& regex,
                    std::vector<std::string_view>* codes) {
        boundary_.assign(text.size() + 1, false);
        ForEachChar(text, [this](size_t at, size_t) { boundary_[at] = true; });
        boundary_[text.size()] = true;
        using Iterator = std::regex_iterator<std::string_view::const_iterator>;
        for (Iterator it(text.begin(), text.end(), regex), end; it != end; ++it) {
            const size_t at = static_cast<size_t>(it->position(0));
            const size_t n = static_cast<size_t>(it->length(0));
            if (n != 0 && boundary_[at] && boundary_[at + n]) codes->push_back(text.substr(at, n));
        }
    }

    static void List(std::string* list, std::string_view code, const QaReport& report) {
        if (!list->empty()) *list += ", ";
        *list += report.Show(code);
    }

    const std::vector<std::regex>& regexes_;
    std::vector<std::string_view> eng_;
    std::vector<std::string_view> chi_;
    std::vector<bool> boundary_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeCodesCheck(const QaSettings& settings) {
    return std::make_unique<CodesCheck>(settings);
}

}  // namespace vkcdict
