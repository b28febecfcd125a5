// How texts are shown in diagnostics: one line, cut at a character boundary,
// and on a terminal GBK shown as UTF-8 with undefined bytes as \xNN.
#include "vkcdict/cli/Display.h"

#include <gtest/gtest.h>

namespace {

TEST(VkcdictDisplay, QuotesTextsOnOneLineAndConvertsThemForATerminal) {
    const struct {
        std::string text;
        bool terminal;
        std::string shown;
    } cases[] = {
        {"Start", false, "\"Start\""},
        {"a\r\nb\tc\x01", false, "\"a\\r\\nb\\tc\\x01\""},
        {"\xB5\xDA\xD2\xBB", false, "\"\xB5\xDA\xD2\xBB\""},  // bytes pass through
        {"\xB5\xDA\xD2\xBB", true, "\"\xE7\xAC\xAC\xE4\xB8\x80\""},
        {"\xB5\xDA\xFF!", true, "\"\xE7\xAC\xAC\\xFF!\""},
        // A lead byte before a control byte is no character, and the escape
        // that follows it never becomes its second byte.
        {"\xB5\n", true, "\"\\xB5\\n\""},
        {std::string(70, 'a') + "\xB5\xDA", false, "\"" + std::string(70, 'a') + "\xB5\xDA\""},
        {std::string(71, 'a') + "\xB5\xDA" + "bc", false,
         "\"" + std::string(71, 'a') + "\xB5\xDA\"... (75 bytes)"},
    };
    for (const auto& c : cases) {
#ifdef _WIN32
        // A Windows console gets its own code page, which the machine decides.
        if (c.terminal) continue;
#endif
        EXPECT_EQ(vkcdict::Quote(c.text.data(), c.text.size(), c.terminal), c.shown) << c.text;
    }
}

}  // namespace
