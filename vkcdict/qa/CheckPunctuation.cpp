// punctuation: one text ends in a sentence mark and the other does not.
// punctuation-width: ASCII , . ? ! : ; right after a double-byte character,
// where Chinese text takes the full-width forms.
// Both read the texts by characters, so a trail byte is never a mark.
#include <cstring>
#include <string>

#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

// GBK marks: … 。 ？ ！ ：
constexpr const char* kWideMarks[] = {"\xA1\xAD", "\xA1\xA3", "\xA3\xBF", "\xA3\xA1", "\xA3\xBA"};
// GBK closing quotes and brackets: ” ’ ） 」 』 】 》
constexpr const char* kWideClosers[] = {"\xA1\xB1", "\xA1\xAF", "\xA3\xA9", "\xA1\xB9",
                                        "\xA1\xBB", "\xA1\xBF", "\xA1\xB7"};

template <size_t N>
bool OneOf(std::string_view c, const char* const (&set)[N]) {
    for (const char* s : set) {
        if (c == s) return true;
    }
    return false;
}

// The sentence mark that ends `text` (after blanks, line breaks and closing
// quotes and brackets), or an empty view.
std::string_view EndMark(std::string_view text) {
    for (;;) {
        const size_t at = LastCharAt(text);
        if (at == text.size()) return {};
        const std::string_view c = text.substr(at);
        if (c.size() == 1 && std::strchr(" \r\n\"')", c[0]) != nullptr) {
            text = text.substr(0, at);
        } else if (c.size() == 2 && OneOf(c, kWideClosers)) {
            text = text.substr(0, at);
        } else if (c.size() == 1 ? std::strchr(".?!:", c[0]) != nullptr && c[0] != '\0'
                                 : OneOf(c, kWideMarks)) {
            return c;
        } else {
            return {};
        }
    }
}

class PunctuationCheck : public QaCheck {
public:
    void Check(const QaRecord& r, QaReport& report) override {
        const std::string_view eng = EndMark(r.eng);
        const std::string_view chi = EndMark(r.chi);
        if (eng.empty() == chi.empty()) return;
        report.Add(r, eng.empty()
                          ? report.Tr("the translation ends in {1} and the ENG text in no "
                                      "sentence mark (ENG {2}, CHI {3})",
                                      {report.Show(chi), report.Show(r.eng), report.Show(r.chi)})
                          : report.Tr("the ENG text ends in {1} and the translation in no "
                                      "sentence mark (ENG {2}, CHI {3})",
                                      {report.Show(eng), report.Show(r.eng), report.Show(r.chi)}));
    }
};

class PunctuationWidthCheck : public QaCheck {
public:
    void Check(const QaRecord& r, QaReport& report) override {
        size_t previous = 0;
        size_t first = std::string_view::npos;
        size_t count = 0;
        ForEachChar(r.chi, [&](size_t at, size_t n) {
            if (n == 1 && previous == 2 && std::strchr(",.?!:;", r.chi[at]) != nullptr &&
                r.chi[at] != '\0') {
                if (count++ == 0) first = at;
            }
            previous = n;
        });
        if (count == 0) return;
        const std::string mark = report.Show(r.chi.substr(first, 1));
        const std::string at = std::to_string(first);
        report.Add(r, count == 1
                          ? report.Tr("ASCII {1} after a Chinese character at byte {2}; "
                                      "Chinese text uses the full-width form: {3}",
                                      {mark, at, report.Show(r.chi)})
                          : report.Tr("ASCII {1} after a Chinese character at byte {2} and "
                                      "{3} more; Chinese text uses the full-width form: {4}",
                                      {mark, at, std::to_string(count - 1), report.Show(r.chi)}));
    }
};

}  // namespace

std::unique_ptr<QaCheck> MakePunctuationCheck(const QaSettings&) {
    return std::make_unique<PunctuationCheck>();
}

std::unique_ptr<QaCheck> MakePunctuationWidthCheck(const QaSettings&) {
    return std::make_unique<PunctuationWidthCheck>();
}

}  // namespace vkcdict
