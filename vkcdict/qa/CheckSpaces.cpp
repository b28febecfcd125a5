// spaces: blanks (0x20) that a translation should not have: at either end
// where the ENG text has a different number (but for trailing ones after a
// full-width mark, which has its own space), doubled inside where the ENG
// text never doubles them, or between two double-byte characters, where
// Chinese text has none.
#include <algorithm>
#include <iterator>
#include <string>

#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

size_t Leading(std::string_view t) {
    const size_t n = t.find_first_not_of(' ');
    return n == std::string_view::npos ? t.size() : n;
}

size_t Trailing(std::string_view t) {
    const size_t n = t.find_last_not_of(' ');
    return n == std::string_view::npos ? t.size() : t.size() - 1 - n;
}

std::string_view Inner(std::string_view t) {
    const size_t lead = Leading(t);
    if (lead == t.size()) return {};
    return t.substr(lead, t.size() - lead - Trailing(t));
}

// True when the ENG text's trailing blanks are missing after a full-width
// mark ending the translation ("Limit: " as "限制："): the mark's width
// holds the space.
bool WideMarkTakesBlanks(const QaRecord& r) {
    static constexpr const char* kWideMarks[] = {"\xA3\xAC", "\xA1\xA3", "\xA3\xBA",
                                                 "\xA3\xBB", "\xA3\xBF", "\xA3\xA1"};
    if (Trailing(r.chi) != 0 || Trailing(r.eng) == 0) return false;
    const std::string_view last = r.chi.substr(LastCharAt(r.chi));
    return std::find(std::begin(kWideMarks), std::end(kWideMarks), last) != std::end(kWideMarks);
}

class SpacesCheck : public QaCheck {
public:
    void Check(const QaRecord& r, QaReport& report) override {
        if (Leading(r.eng) != Leading(r.chi)) {
            report.Add(r, report.Tr("leading blanks differ: {1} in the ENG text, {2} in the "
                                    "translation (ENG {3}, CHI {4})",
                                    {std::to_string(Leading(r.eng)), std::to_string(Leading(r.chi)),
                                     report.Show(r.eng), report.Show(r.chi)}));
        }
        if (Trailing(r.eng) != Trailing(r.chi) && !WideMarkTakesBlanks(r)) {
            report.Add(r,
                       report.Tr("trailing blanks differ: {1} in the ENG text, {2} in the "
                                 "translation (ENG {3}, CHI {4})",
                                 {std::to_string(Trailing(r.eng)), std::to_string(Trailing(r.chi)),
                                  report.Show(r.eng), report.Show(r.chi)}));
        }
        const std::string_view chi = Inner(r.chi);
        const size_t doubled = chi.find("  ");
        if (doubled != std::string_view::npos &&
            Inner(r.eng).find("  ") == std::string_view::npos) {
            report.Add(
                r,
                report.Tr("doubled blank at byte {1} of the translation, where the ENG "
                          "text has none (ENG {2}, CHI {3})",
                          {std::to_string(doubled + static_cast<size_t>(chi.data() - r.chi.data())),
                           report.Show(r.eng), report.Show(r.chi)}));
        }
        // A run of blanks with double-byte characters on both sides.
        size_t previous = 0;  // length of the character before the run
        size_t run = std::string_view::npos;
        for (size_t at = 0; at < r.chi.size();) {
            const size_t n = CharAt(r.chi, at);
            if (n == 1 && r.chi[at] == ' ') {
                if (run == std::string_view::npos && previous == 2) run = at;
            } else {
                if (n == 2 && run != std::string_view::npos) {
                    report.Add(r, report.Tr("blank between two Chinese characters at byte {1} "
                                            "of the translation (ENG {2}, CHI {3})",
                                            {std::to_string(run), report.Show(r.eng),
                                             report.Show(r.chi)}));
                    return;
                }
                run = std::string_view::npos;
                previous = n;
            }
            at += n;
        }
    }
};

}  // namespace

std::unique_ptr<QaCheck> MakeSpacesCheck(const QaSettings&) {
    return std::make_unique<SpacesCheck>();
}

}  // namespace vkcdict
