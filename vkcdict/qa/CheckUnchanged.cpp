// unchanged: the translation is the ENG text itself, and the ENG text holds
// an ASCII letter outside its control codes. Texts of numbers and codes
// alone need no translation.
#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Codes.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

class UnchangedCheck : public QaCheck {
public:
    void Check(const QaRecord& r, QaReport& report) override {
        if (r.chi != r.eng || !HasWords(r.eng)) return;
        report.Add(r, "the translation is the ENG text " + report.Show(r.eng) + " unchanged");
    }

private:
    bool HasWords(std::string_view text) {
        FindCodes(text, &codes_);
        size_t code = 0;
        for (size_t at = 0; at < text.size();) {
            if (code < codes_.size() && codes_[code].data() == text.data() + at) {
                at += codes_[code++].size();
                continue;
            }
            const size_t n = CharAt(text, at);
            if (n == 1 && IsAsciiLetter(static_cast<unsigned char>(text[at]))) return true;
            at += n;
        }
        return false;
    }

    std::vector<std::string_view> codes_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeUnchangedCheck(const QaSettings&) {
    return std::make_unique<UnchangedCheck>();
}

}  // namespace vkcdict
