// encoding: bytes in a translation that other machines do not show as the
// translator saw them: ASCII control bytes other than CR, LF and tab, and
// characters of GBK's user-defined areas (AAA1-AFFE, F8A1-FEFE, A140-A7A0),
// whose glyphs exist only where someone installed them.
#include <string>

#include "vkcdict/qa/Qa.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

namespace {

bool UserDefined(unsigned char lead, unsigned char trail) {
    if (lead >= 0xAA && lead <= 0xAF) return trail >= 0xA1;
    if (lead >= 0xF8) return trail >= 0xA1;
    return lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0;
}

class EncodingCheck : public QaCheck {
public:
    void Check(const QaRecord& r, QaReport& report) override {
        size_t controls = 0;
        size_t firstControl = 0;
        size_t userDefined = 0;
        size_t firstUser = 0;
        ForEachChar(r.chi, [&](size_t at, size_t n) {
            const unsigned char c = static_cast<unsigned char>(r.chi[at]);
            if (n == 1 && (c < 0x20 || c == 0x7F) && c != '\r' && c != '\n' && c != '\t') {
                if (controls++ == 0) firstControl = at;
            } else if (n == 2 && UserDefined(c, static_cast<unsigned char>(r.chi[at + 1]))) {
                if (userDefined++ == 0) firstUser = at;
            }
        });
        if (controls != 0) {
            const std::string byte = HexBytes(r.chi.data() + firstControl, 1);
            const std::string at = std::to_string(firstControl);
            const std::string more = std::to_string(controls - 1);
            report.Add(r, controls == 1
                              ? report.Tr("control byte {1} at byte {2} in the translation: {3}",
                                          {byte, at, report.Show(r.chi)})
                              : report.Tr("control byte {1} at byte {2} and {3} more in the "
                                          "translation: {4}",
                                          {byte, at, more, report.Show(r.chi)}));
        }
        if (userDefined != 0) {
            const std::string bytes = HexBytes(r.chi.data() + firstUser, 2);
            const std::string at = std::to_string(firstUser);
            const std::string more = std::to_string(userDefined - 1);
            report.Add(r, userDefined == 1
                              ? report.Tr("user-defined GBK character {1} at byte {2}, which "
                                          "other machines may not show: {3}",
                                          {bytes, at, report.Show(r.chi)})
                              : report.Tr("user-defined GBK character {1} at byte {2} and {3} "
                                          "more, which other machines may not show: {4}",
                                          {bytes, at, more, report.Show(r.chi)}));
        }
    }
};

}  // namespace

std::unique_ptr<QaCheck> MakeEncodingCheck(const QaSettings&) {
    return std::make_unique<EncodingCheck>();
}

}  // namespace vkcdict
