// codes: the control codes and placeholders of the ENG text (Codes.h, and
// the game's own forms given with --code) must each appear in the
// translation as often; their order may change. printf arguments compare as
// written, unless --positional-printf says the game's printf takes numbered
// ones: then each conversion compares as the argument it takes, "%s %d" as
// "%1$s %2$d", so that a translation may reorder them.
#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "vkcdict/qa/CodeFinder.h"
#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

struct Code {
    std::string_view shown;  // as the text writes it
    uint32_t argument;       // numbered: the printf argument it takes; else 0
    std::string_view form;   // what compares beside `argument`

    bool operator<(const Code& o) const {
        return std::tie(argument, form) < std::tie(o.argument, o.form);
    }
    bool operator==(const Code& o) const { return argument == o.argument && form == o.form; }
};

bool IsPrintf(std::string_view code) {
    return code.size() >= 2 && code[0] == '%' && code != "%%" &&
           IsAsciiLetter(static_cast<unsigned char>(code.back()));
}

// The digits before '$' of a numbered printf form, or 0.
uint32_t NumberOf(std::string_view code) {
    size_t n = 1;
    while (n < code.size() && n < 10 && IsAsciiDigit(static_cast<unsigned char>(code[n]))) ++n;
    if (n == 1 || n >= code.size() || code[n] != '$') return 0;
    return static_cast<uint32_t>(
        std::strtoul(std::string(code.substr(1, n - 1)).c_str(), nullptr, 10));
}

// `codes` as compared, sorted; numbered, each printf form takes its own
// argument or the next one. A text with a '*' width or precision is left as
// written, since those take arguments of their own.
void Compared(const std::vector<std::string_view>& codes, bool numbered, std::vector<Code>* out) {
    out->clear();
    for (std::string_view c : codes) out->push_back({c, 0, c});
    const bool star = std::any_of(codes.begin(), codes.end(), [](std::string_view c) {
        return IsPrintf(c) && c.find('*') != std::string_view::npos;
    });
    if (numbered && !star) {
        std::sort(out->begin(), out->end(),
                  [](const Code& a, const Code& b) { return a.shown.data() < b.shown.data(); });
        uint32_t next = 0;
        for (Code& c : *out) {
            if (!IsPrintf(c.shown)) continue;
            const uint32_t number = NumberOf(c.shown);
            c.argument = number != 0 ? number : ++next;
            c.form = c.shown.substr(number != 0 ? c.shown.find('$') + 1 : 1);
        }
    }
    std::sort(out->begin(), out->end());
}

bool HasNumbered(const std::vector<std::string_view>& codes) {
    return std::any_of(codes.begin(), codes.end(),
                       [](std::string_view c) { return IsPrintf(c) && NumberOf(c) != 0; });
}

class CodesCheck : public QaCheck {
public:
    explicit CodesCheck(const QaSettings& settings)
        : finder_(settings.codes), positional_(settings.positionalPrintf) {}

    void Check(const QaRecord& r, QaReport& report) override {
        if (!finder_.Find(r.eng, &engFound_) || !finder_.Find(r.chi, &chiFound_)) {
            report.Add(r, report.Tr("a --code pattern reads this record's texts over and over (it "
                                    "prefers alternatives that run far past the codes it takes, as "
                                    "x.*y|x does); its codes are not compared (ENG {1})",
                                    {report.Show(r.eng)}));
            return;
        }
        Compared(engFound_, positional_, &eng_);
        Compared(chiFound_, positional_, &chi_);
        if (eng_ == chi_) return;
        const std::string eng = report.Show(r.eng);
        const std::string chi = report.Show(r.chi);
        if (!positional_ && (HasNumbered(engFound_) || HasNumbered(chiFound_))) {
            Compared(engFound_, true, &eng_);
            Compared(chiFound_, true, &chi_);
            if (eng_ == chi_) {
                report.Add(r, report.Tr("printf arguments are numbered in one text only: they "
                                        "agree by number, but a printf without numbered arguments "
                                        "(Windows' own) prints a form like \"%1$s\" as it stands; "
                                        "--positional-printf accepts them where the game's printf "
                                        "takes them (ENG {1}, CHI {2})",
                                        {eng, chi}));
                return;
            }
            Compared(engFound_, false, &eng_);
            Compared(chiFound_, false, &chi_);
        }
        std::string missing;
        std::string extra;
        size_t e = 0;
        size_t c = 0;
        while (e < eng_.size() || c < chi_.size()) {
            if (c == chi_.size() || (e < eng_.size() && eng_[e] < chi_[c])) {
                List(&missing, eng_[e++].shown, report);
            } else if (e == eng_.size() || chi_[c] < eng_[e]) {
                List(&extra, chi_[c++].shown, report);
            } else {
                ++e;
                ++c;
            }
        }
        if (extra.empty()) {
            report.Add(r, report.Tr("codes missing from the translation: {1} (ENG {2}, CHI {3})",
                                    {missing, eng, chi}));
        } else if (missing.empty()) {
            report.Add(r, report.Tr("codes the ENG text lacks: {1} (ENG {2}, CHI {3})",
                                    {extra, eng, chi}));
        } else {
            report.Add(r, report.Tr("codes missing from the translation: {1}; extra: {2} (ENG {3}, "
                                    "CHI {4})",
                                    {missing, extra, eng, chi}));
        }
    }

private:
    static void List(std::string* list, std::string_view code, const QaReport& report) {
        if (!list->empty()) *list += ", ";
        *list += report.Show(code);
    }

    CodeFinder finder_;
    bool positional_;
    std::vector<std::string_view> engFound_;
    std::vector<std::string_view> chiFound_;
    std::vector<Code> eng_;
    std::vector<Code> chi_;
};

}  // namespace

std::unique_ptr<QaCheck> MakeCodesCheck(const QaSettings& settings) {
    return std::make_unique<CodesCheck>(settings);
}

}  // namespace vkcdict
