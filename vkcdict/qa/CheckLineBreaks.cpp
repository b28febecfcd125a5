// line-breaks: the line breaks at the start or at the end of the texts
// differ, or the translation breaks its lines with a kind (CR LF, LF, CR)
// that the ENG text does not use. A game prints these bytes as they are, so
// a lost or added break shifts a dialogue box.
// line-count: the texts hold different numbers of line breaks between their
// ends; a check of its own, to be skipped where translations re-wrap lines.
// CR and LF are never trail bytes of a GBK character, so bytes are read as
// they are.
#include <string>

#include "vkcdict/qa/Qa.h"

namespace vkcdict {

namespace {

enum Kind : unsigned { kCrLf = 1, kLf = 2, kCr = 4 };

bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

// A text split at its outer breaks: the runs of CR and LF at either end and
// what lies between. A text of breaks alone is all start.
struct Parts {
    explicit Parts(std::string_view t) {
        size_t lead = 0;
        while (lead < t.size() && IsBreak(t[lead])) ++lead;
        size_t end = t.size();
        while (end > lead && IsBreak(t[end - 1])) --end;
        start = t.substr(0, lead);
        inner = t.substr(lead, end - lead);
        last = t.substr(end);
    }
    std::string_view start;
    std::string_view inner;
    std::string_view last;
};

// Calls visit(kind) for each break of `text`; CR LF is one break.
template <class Visit>
void ForEachBreak(std::string_view text, Visit visit) {
    for (size_t at = text.find_first_of("\r\n"); at < text.size();
         at = text.find_first_of("\r\n", at)) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            visit(kCrLf);
            at += 2;
        } else {
            visit(text[at] == '\r' ? kCr : kLf);
            ++at;
        }
    }
}

unsigned KindsOf(std::string_view text) {
    unsigned kinds = 0;
    ForEachBreak(text, [&kinds](Kind k) { kinds |= k; });
    return kinds;
}

const char* NameOf(unsigned kind) {
    return kind == kCrLf ? "CR LF" : kind == kLf ? "LF" : "CR";
}

// "none", or the breaks of a run in order: "CR LF, LF".
std::string Describe(std::string_view run, const QaReport& report) {
    std::string names;
    ForEachBreak(
        run, [&names](Kind k) { names += (names.empty() ? "" : ", ") + std::string(NameOf(k)); });
    return names.empty() ? report.Tr("none", {}) : names;
}

std::string Kinds(unsigned kinds, const QaReport& report) {
    std::string names;
    for (unsigned k : {kCrLf, kLf, kCr}) {
        if ((kinds & k) == 0) continue;
        names = names.empty() ? NameOf(k) : report.Tr("{1} and {2}", {names, NameOf(k)});
    }
    return names;
}

class LineBreaksCheck : public QaCheck {
public:
    void Check(const QaRecord& r, QaReport& report) override {
        if (r.eng.find_first_of("\r\n") == std::string_view::npos &&
            r.chi.find_first_of("\r\n") == std::string_view::npos) {
            return;  // most records
        }
        const Parts eng(r.eng);
        const Parts chi(r.chi);
        if (eng.start != chi.start) {
            report.Add(r, report.Tr("line breaks at the start differ: {1} in the ENG text, {2} in "
                                    "the translation (ENG {3}, CHI {4})",
                                    {Describe(eng.start, report), Describe(chi.start, report),
                                     report.Show(r.eng), report.Show(r.chi)}));
        }
        if (eng.last != chi.last) {
            report.Add(r, report.Tr("line breaks at the end differ: {1} in the ENG text, {2} in "
                                    "the translation (ENG {3}, CHI {4})",
                                    {Describe(eng.last, report), Describe(chi.last, report),
                                     report.Show(r.eng), report.Show(r.chi)}));
        }
        const unsigned engKinds = KindsOf(r.eng);
        const unsigned foreign = KindsOf(chi.inner) & ~engKinds;
        if (engKinds != 0 && foreign != 0) {
            report.Add(r, report.Tr("the translation breaks lines with {1}, the ENG text only with "
                                    "{2} (ENG {3}, CHI {4})",
                                    {Kinds(foreign, report), Kinds(engKinds, report),
                                     report.Show(r.eng), report.Show(r.chi)}));
        }
    }
};

class LineCountCheck : public QaCheck {
public:
    void Check(const QaRecord& r, QaReport& report) override {
        const size_t eng = Count(Parts(r.eng).inner);
        const size_t chi = Count(Parts(r.chi).inner);
        if (eng == chi) return;
        report.Add(r, report.Tr("line breaks inside the texts differ: {1} in the ENG text, {2} in "
                                "the translation (ENG {3}, CHI {4})",
                                {std::to_string(eng), std::to_string(chi), report.Show(r.eng),
                                 report.Show(r.chi)}));
    }

private:
    static size_t Count(std::string_view text) {
        size_t n = 0;
        ForEachBreak(text, [&n](Kind) { ++n; });
        return n;
    }
};

}  // namespace

std::unique_ptr<QaCheck> MakeLineBreaksCheck(const QaSettings&) {
    return std::make_unique<LineBreaksCheck>();
}

std::unique_ptr<QaCheck> MakeLineCountCheck(const QaSettings&) {
    return std::make_unique<LineCountCheck>();
}

}  // namespace vkcdict
