// vkcdict in Chinese: which language the environment asks for; placeholders;
// the built-in catalogue; and a table of command lines run in English and in
// Chinese, whose outputs must differ in words only: the same exit status,
// the same lines, the same "FILE:LINE: severity:" prefixes, and no line left
// in English.
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

#include "dict/GbkCodec.h"
#include "vkcdict/VkcdictFixture.h"
#include "vkcdict/i18n/Catalogue.h"
#include "vkcdict/i18n/Locale.h"
#include "vkcdict/i18n/SystemText.h"

namespace vkcdicttest {
namespace {

using vkcdict::Charset;
using vkcdict::Language;

TEST(Locale, ReadsTheVariablesAsGettextDoes) {
    struct Case {
        std::map<std::string, std::string> env;
        Language language;
        Charset charset;
    };
    const Language en = Language::kEnglish, zh = Language::kChinese;
    const Charset utf8 = Charset::kUtf8, gbk = Charset::kGbk;
    const std::vector<Case> cases = {
        {{}, en, utf8},
        {{{"LANG", "zh_CN.UTF-8"}}, zh, utf8},
        {{{"LANG", "zh_CN.GBK"}}, zh, gbk},
        {{{"LANG", "zh_CN.gb18030"}}, zh, gbk},
        {{{"LANG", "zh_SG"}}, zh, utf8},
        {{{"LANG", "zh_TW.UTF-8"}}, en, utf8},
        {{{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", "C"}}, en, utf8},
        {{{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", ""}}, zh, utf8},
        {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "zh_CN.UTF-8"}}, zh, utf8},
        {{{"LANG", "zh_CN.UTF-8"}, {"LC_MESSAGES", "en_GB.UTF-8"}}, en, utf8},
        // LANGUAGE is read only when the locale is not C; its first language
        // that vkcdict speaks wins.
        {{{"LANGUAGE", "zh_CN"}}, en, utf8},
        {{{"LANGUAGE", "zh_CN"}, {"LANG", "C.UTF-8"}}, en, utf8},
        {{{"LANGUAGE", "fr:zh_CN:en"}, {"LANG", "de_DE.UTF-8"}}, zh, utf8},
        {{{"LANGUAGE", "en:zh"}, {"LANG", "zh_CN.UTF-8"}}, en, utf8},
        {{{"LANGUAGE", "fr"}, {"LANG", "zh_CN.UTF-8"}}, zh, utf8},
        {{{"LANGUAGE", "zh-Hans"}, {"LANG", "fr_FR"}}, zh, utf8},
        {{{"LC_CTYPE", "zh_CN.GBK"}, {"LANG", "zh_CN.UTF-8"}}, zh, gbk},
    };
    for (const Case& c : cases) {
        const vkcdict::LocaleChoice choice = vkcdict::ChooseFromVariables([&c](const char* name) {
            const auto found = c.env.find(name);
            return found == c.env.end() ? nullptr : found->second.c_str();
        });
        std::string env;
        for (const auto& [name, value] : c.env) env += name + "=" + value + " ";
        EXPECT_EQ(choice.language, c.language) << env;
        EXPECT_EQ(choice.charset, c.charset) << env;
    }
}

TEST(Messages, PlaceholdersTakeTheirArgumentsInAnyOrder) {
    EXPECT_EQ(vkcdict::FillPlaceholders("{2} before {1}", {"a", "b"}), "b before a");
    EXPECT_EQ(vkcdict::FillPlaceholders("{1}{1} {}", {"x"}), "xx {}");
    EXPECT_EQ(vkcdict::FillPlaceholders("{1} {3} {", {"x", "{2}"}), "x {3} {");
}

TEST(Messages, EveryTranslationReachesAGbkConsole) {
    std::unordered_map<std::string, std::string> utf8, gbk;
    ASSERT_TRUE(vkcdict::ReadCatalogue(vkcdict::i18n::ChineseCatalogue(), Charset::kUtf8, &utf8));
    ASSERT_TRUE(vkcdict::ReadCatalogue(vkcdict::i18n::ChineseCatalogue(), Charset::kGbk, &gbk));
    EXPECT_GT(utf8.size(), 100u);
    for (const auto& [message, translation] : utf8) {
        EXPECT_EQ(gbk.count(message), 1u) << translation << " has a character GBK lacks";
    }
}

TEST(Messages, TheSystemsReasonsAreTranslatedWhereKnown) {
    const std::string nested = "no temporary file can be made beside it (No space left on device)";
    EXPECT_EQ(vkcdict::SystemText(nested), nested);
    vkcdict::SetLanguage(Language::kChinese);
    const std::string missing = vkcdict::SystemText("No such file or directory");
    const std::string full = vkcdict::SystemText(nested);
    const std::string unknown = vkcdict::SystemText("Exec format error");
    // A GBK console: the editor's page still gets UTF-8.
    vkcdict::SetLanguage(Language::kChinese, Charset::kGbk);
    const std::string fullGbk = vkcdict::SystemText(nested);
    const std::string fullForPage = vkcdict::SystemTextUtf8(nested);
    vkcdict::SetLanguage(Language::kEnglish);
    std::string converted;
    ASSERT_TRUE(gbk::ToUtf8(fullGbk.data(), fullGbk.size(), &converted));
    EXPECT_EQ(converted, full);
    EXPECT_EQ(fullForPage, full);
    EXPECT_EQ(missing,
              "\xE6\xB2\xA1\xE6\x9C\x89\xE9\x82\xA3\xE4\xB8\xAA\xE6\x96\x87\xE4\xBB\xB6"
              "\xE6\x88\x96\xE7\x9B\xAE\xE5\xBD\x95");  // 没有那个文件或目录
    EXPECT_EQ(full.find("No space"), std::string::npos) << full;
    EXPECT_NE(full.find("\xE7\xA3\x81\xE7\x9B\x98"), std::string::npos) << full;  // 磁盘
    EXPECT_EQ(unknown, "Exec format error");
}

// The lines of `text`.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// What stays the same in every language: "FILE:LINE: severity: " up to the
// severity word, or nothing when the line is no diagnostic.
std::string Prefix(const std::string& line) {
    for (const char* severity : {": error: ", ": warning: ", ": note: "}) {
        const size_t at = line.find(severity);
        if (at != std::string::npos) return line.substr(0, at + std::strlen(severity));
    }
    return "";
}

bool HasNonAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return true;
    }
    return false;
}

class VkcdictInChinese : public Vkcdict {
protected:
    Result RunIn(const char* locale, const std::vector<std::string>& args) {
        testutil::SetEnv("LC_ALL", locale);
        Result r = Run(args);
        testutil::SetEnv("LC_ALL", "C");
        return r;
    }
};

TEST_F(VkcdictInChinese, EveryLineIsTranslatedAndItsPrefixKept) {
    Write("d.txt", Dict({{"b", "1", ""}, {"a", "2", ""}, {"a", "", ""}}));
    Write("ok.txt", Dict({{"Start", kStart, ""}, {"Hello %s", kOne, ""}, {"[x]", "", ""}}));
    Write("other.txt", Dict({{"Start", kOne, ""}}));
    Write("broken.txt", "ENG\r\nno markers here\r\n");
    Write("script.txt", "[Start] \"Hello %s\" [nothing]\n");
    Write("bad.po", "msgid \"a\"\nmsgstr \"b\"\nwhat\n");
    // `report`: the command's standard output is written for a person too;
    // otherwise it is data, the same in every language.
    struct Case {
        std::vector<std::string> args;
        bool report = false;
    };
    const std::vector<Case> cases = {
        {{"frob"}},
        {{"check", "--bogus"}},
        {{"check"}},
        {{"check", "d.txt", "broken.txt", "missing.txt"}},
        {{"qa", "ok.txt", "--max-length", "1"}},
        {{"merge", "ok.txt", "other.txt", "-o", "merged.txt"}},
        {{"lookup", "ok.txt", "Start", "nope"}},
        {{"subst", "ok.txt", "script.txt", "-o", "-"}},
        {{"subst", "script.txt", "ok.txt", "-o", "out.txt"}},
        {{"extract", "script.txt", "--dict", "ok.txt", "-o", "new.txt"}},
        {{"po-export", "ok.txt", "-o", "ok.po"}},
        {{"po-import", "bad.po", "-o", "from-po.txt"}},
        {{"sort", "d.txt", "-o", "d.txt"}},
        {{"compile", "d.txt", "-o", "d.bin"}},
        {{"stats", "ok.txt", "script.txt"}, true},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) shown += arg + " ";
        const Result en = RunIn("C", c.args);
        const Result zh = RunIn("zh_CN.UTF-8", c.args);
        EXPECT_EQ(zh.status, en.status) << shown;
        if (!c.report) {
            EXPECT_EQ(zh.out, en.out) << shown;
        }
        const std::vector<std::string> enLines = Lines(en.err + (c.report ? en.out : ""));
        const std::vector<std::string> zhLines = Lines(zh.err + (c.report ? zh.out : ""));
        ASSERT_EQ(zhLines.size(), enLines.size()) << shown << "\n" << en.err << zh.err;
        ASSERT_FALSE(enLines.empty()) << shown;
        for (size_t i = 0; i < enLines.size(); ++i) {
            EXPECT_EQ(Prefix(zhLines[i]), Prefix(enLines[i])) << shown << "\n" << zhLines[i];
            // Usage lines repeat the command line as it was typed.
            if (enLines[i].rfind("Usage: ", 0) == 0) continue;
            EXPECT_TRUE(HasNonAscii(zhLines[i]) && zhLines[i] != enLines[i])
                << shown << ": left in English: " << zhLines[i];
        }
    }
}

// The terminal column where the description of a help line starts: after
// the first run of two spaces that follows a word ("  -o FILE   Sorted
// ..."), counting a character from U+2E80 up (Chinese, fullwidth
// punctuation) as two columns; npos for a line without one.
size_t DescriptionColumn(const std::string& line) {
    size_t columns = 0;
    bool word = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (word && c == ' ' && i + 1 < line.size() && line[i + 1] == ' ') {
            while (i < line.size() && line[i] == ' ') ++i, ++columns;
            return i < line.size() ? columns : std::string::npos;
        }
        if (c != ' ') word = true;
        const unsigned char next =
            i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
        if (c < 0x80)
            ++columns;  // ASCII
        else if (c >= 0xE3 || (c == 0xE2 && next >= 0xBA))
            columns += 2;  // U+2E80 on
        else if (c >= 0xC0)
            ++columns;  // any other lead byte
    }
    return std::string::npos;
}

TEST_F(VkcdictInChinese, HelpOfEveryCommandIsTranslated) {
    const Result list = RunIn("zh_CN.UTF-8", {"--help"});
    ASSERT_EQ(list.status, 0);
    for (const char* command :
         {"check", "extract", "merge", "sort", "stats", "subst", "compile", "decompile", "lookup",
          "match", "po-export", "po-import", "qa", "edit"}) {
        const Result help = RunIn("zh_CN.UTF-8", {command, "--help"});
        ASSERT_EQ(help.status, 0) << command;
        // The descriptions line up in one column, as in English.
        std::set<size_t> enColumns, zhColumns;
        for (const std::string& line : Lines(RunIn("C", {command, "--help"}).out)) {
            enColumns.insert(DescriptionColumn(line));
        }
        for (const std::string& line : Lines(help.out)) {
            zhColumns.insert(DescriptionColumn(line));
        }
        EXPECT_EQ(zhColumns, enColumns) << help.out;
        // Every line that explains something: an option's line and its
        // continuation, the purpose, the footer. Lines that only name
        // options or values ("  --check ID ...") carry no words of their own.
        for (const std::string& line : Lines(help.out)) {
            size_t words = 0;
            for (size_t i = 0; i + 4 < line.size(); ++i) {
                const bool lower = line[i] >= 'a' && line[i] <= 'z' && line[i + 1] >= 'a' &&
                                   line[i + 1] <= 'z' && line[i + 2] >= 'a' && line[i + 2] <= 'z';
                if (lower && (i == 0 || line[i - 1] == ' ') && line[i + 3] == ' ') ++words;
            }
            EXPECT_TRUE(words < 3 || HasNonAscii(line)) << command << ": left in English: " << line;
        }
    }
}

#ifndef _WIN32
TEST_F(VkcdictInChinese, AGbkLocaleGetsGbk) {
    const Result utf8 = RunIn("zh_CN.UTF-8", {"frob"});
    const Result gbk = RunIn("zh_CN.GBK", {"frob"});
    std::string converted;
    ASSERT_TRUE(gbk::ToUtf8(gbk.err.data(), gbk.err.size(), &converted));
    EXPECT_EQ(converted, utf8.err);
    EXPECT_NE(gbk.err, utf8.err);
}
#endif

}  // namespace
}  // namespace vkcdicttest
