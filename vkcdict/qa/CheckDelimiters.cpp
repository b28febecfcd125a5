// delimiters: a translation holding a byte that, substituted into a script,
// ends its text early or opens another: ASCII '[', ']' or '"' where a
// character starts, when the ENG text holds none of it. With --script only
// the bytes that break the delimiters each key stands between in those
// scripts count ('[' and ']' in a bracketed text, '"' in a quoted one), and
// a key the scripts do not hold is never substituted, so has none.
//
// A double-byte character whose second byte is '[' or ']' does not count:
// the substitution copies translations whole and never reads them.
#include <string>

#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Scripts.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

class DelimitersCheck : public QaCheck {
public:
    explicit DelimitersCheck(const QaSettings& s) : scripts_(s.scripts) {}

    void Check(const QaRecord& r, QaReport& report) override {
        uint8_t kinds = ScriptDelimiters::kBracketed | ScriptDelimiters::kQuoted;
        if (scripts_ != nullptr) {
            kinds = scripts_->Of(r.eng);
            if (kinds == 0) return;
        }
        std::string found;
        for (const char c : {'[', ']', '"'}) {
            const uint8_t kind =
                c == '"' ? ScriptDelimiters::kQuoted : ScriptDelimiters::kBracketed;
            if ((kinds & kind) == 0) continue;
            const size_t at = FindAscii(r.chi, c);
            if (at == std::string_view::npos || FindAscii(r.eng, c) != std::string_view::npos) {
                continue;
            }
            if (!found.empty()) found += ", ";
            found += report.Tr("'{1}' at byte {2}", {std::string_view(&c, 1), std::to_string(at)});
        }
        if (found.empty()) return;
        const std::string chi = report.Show(r.chi);
        if (scripts_ == nullptr) {
            report.Add(r, report.Tr("the translation holds {1}, which the ENG text lacks: "
                                    "substituted, it breaks a script text (CHI {2})",
                                    {found, chi}));
        } else if (kinds == ScriptDelimiters::kQuoted) {
            report.Add(r,
                       report.Tr("the translation holds {1}, which the ENG text lacks: "
                                 "substituted, it breaks the quoted text of the scripts (CHI {2})",
                                 {found, chi}));
        } else if (kinds == ScriptDelimiters::kBracketed) {
            report.Add(r, report.Tr("the translation holds {1}, which the ENG text lacks: "
                                    "substituted, it breaks the bracketed text of the scripts "
                                    "(CHI {2})",
                                    {found, chi}));
        } else {
            report.Add(r, report.Tr("the translation holds {1}, which the ENG text lacks: "
                                    "substituted, it breaks the script texts (CHI {2})",
                                    {found, chi}));
        }
    }

private:
    const ScriptDelimiters* scripts_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeDelimitersCheck(const QaSettings& settings) {
    return std::make_unique<DelimitersCheck>(settings);
}

}  // namespace vkcdict
