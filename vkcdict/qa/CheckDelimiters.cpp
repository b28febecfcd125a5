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
            found += (found.empty() ? "" : ", ") + std::string("'") + c + "' at byte " +
                     std::to_string(at);
        }
        if (found.empty()) return;
        std::string where = "a script text";
        if (scripts_ != nullptr) {
            where = kinds == ScriptDelimiters::kQuoted      ? "the quoted text of the scripts"
                    : kinds == ScriptDelimiters::kBracketed ? "the bracketed text of the scripts"
                                                            : "the script texts";
        }
        report.Add(r, "the translation holds " + found +
                          ", which the ENG text lacks: substituted, it breaks " + where + " (CHI " +
                          report.Show(r.chi) + ")");
    }

private:
    const ScriptDelimiters* scripts_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeDelimitersCheck(const QaSettings& settings) {
    return std::make_unique<DelimitersCheck>(settings);
}

}  // namespace vkcdict
