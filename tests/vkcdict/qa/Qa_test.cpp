// vkcdict qa: one table per check, each row a dictionary run in-process with
// that check alone, and the records it must report (planted findings, near
// misses, double-byte characters whose second byte looks like ASCII); then
// real GBK text made into a clean dictionary, and the command line itself
// (statuses, summary, JSON read by Python).
#include "vkcdict/qa/Qa.h"

#include <cstdio>
#include <random>
#include <set>
#include <sstream>

#include "vkcdict/Commands.h"
#include "vkcdict/VkcdictFixture.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/qa/Text.h"

namespace vkcdicttest {
namespace {

using gbk::CharLength;
using samples::Record;
using vkcdict::Diagnostics;
using vkcdict::kDone;
using vkcdict::kFound;
using vkcdict::QaOptions;
using vkcdict::RunQa;

// Double-byte characters whose second byte is an ASCII look-alike.
const std::string kOpen = "\x81\x5B";        // second byte '['
const std::string kClose = "\x81\x5D";       // ']'
const std::string kBackslash = "\x95\x5C";   // '\'
const std::string kBraceOpen = "\x81\x7B";   // '{'
const std::string kBraceClose = "\x81\x7D";  // '}'
const std::string kS = "\x81\x73";           // 's'
const std::string kPeriod = "\xA1\xA3";      // full-width full stop

struct Case {
    Case(const char* name, std::vector<Record> records, std::vector<int> found,
         QaOptions options = {})
        : name(name), records(std::move(records)), found(std::move(found)), options(options) {}
    const char* name;
    std::vector<Record> records;
    std::vector<int> found;  // the records reported, by index
    QaOptions options;       // files and check are filled in
    std::string glossary;    // a glossary file's bytes, when not empty
    std::string script;      // a script's bytes, when not empty
};

QaOptions MaxBytes(uint64_t n) {
    QaOptions o;
    o.maxBytes = n;
    return o;
}
QaOptions MaxRatio(double r) {
    QaOptions o;
    o.maxRatio = r;
    return o;
}
QaOptions Code(const std::string& regex) {
    QaOptions o;
    o.codes = {regex};
    return o;
}
QaOptions Positional() {
    QaOptions o;
    o.positionalPrintf = true;
    return o;
}

class Qa : public Vkcdict {
protected:
    // Runs `options` in-process in the folder; the findings' text lines.
    std::string RunInProcess(QaOptions options, int* status) {
        testutil::ScopedCwd cwd(dir.path());
        FILE* out = std::fopen("out.txt", "wb");
        EXPECT_NE(out, nullptr);
        Diagnostics quiet(false, nullptr);
        *status = RunQa(options, out, quiet);
        std::fclose(out);
        return Read("out.txt");
    }

    // Each case alone with `check` on: exactly its `found` records reported,
    // each with the check's ID on its record's line.
    void Expect(const char* check, const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(check) + ": " + c.name);
            Write("d.txt", Dict(c.records));
            QaOptions options = c.options;
            options.files = {"d.txt"};
            options.check = {check};
            if (!c.glossary.empty()) {
                Write("g.txt", c.glossary);
                options.glossaries = {"g.txt"};
            }
            if (!c.script.empty()) {
                Write("s.txt", c.script);
                options.scripts = {"s.txt"};
            }
            int status = -1;
            const std::string out = RunInProcess(options, &status);
            std::set<std::string> expected;
            for (int i : c.found) {
                expected.insert("d.txt:" + std::to_string(5 + 11 * i) + " [" + check + "]");
            }
            EXPECT_EQ(Findings(out), expected) << out;
            EXPECT_EQ(status, expected.empty() ? kDone : kFound);
        }
    }

    // "FILE:LINE [ID]" of each finding line.
    static std::set<std::string> Findings(const std::string& out) {
        std::set<std::string> found;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            const size_t place = line.find(": warning: ");
            const size_t id = line.rfind(" [");
            if (place == std::string::npos || id == std::string::npos) {
                ADD_FAILURE() << "not a finding: " << line;
                continue;
            }
            found.insert(line.substr(0, place) + line.substr(id));
        }
        return found;
    }
};

TEST_F(Qa, Unchanged) {
    Expect("unchanged", {
                            {"copied words", {{"Start", "Start", ""}}, {0}},
                            {"words around a code", {{"Press %s now", "Press %s now", ""}}, {0}},
                            {"translated", {{"Start", kStart, ""}}, {}},
                            {"codes only", {{"%s {0} <br>", "%s {0} <br>", ""}}, {}},
                            {"numbers only", {{"42 / 7", "42 / 7", ""}}, {}},
                            {"silenced", {{"OK", "OK", "qa-skip:unchanged"}}, {}},
                            {"letters only as second bytes", {{kS + kOpen, kS + kOpen, ""}}, {}},
                            {"--code form only", {{"@NAME@", "@NAME@", ""}}, {}, Code("@[A-Z]+@")},
                            {"words beside a --code form",
                             {{"@NAME@ wins", "@NAME@ wins", ""}},
                             {0},
                             Code("@[A-Z]+@")},
                        });
    // A term the glossary keeps untranslated is no word to translate.
    std::vector<Case> kept = {{"kept term alone", {{"HP", "HP", ""}}, {}},
                              {"kept term and a number", {{"HP 100", "HP 100", ""}}, {}},
                              {"kept term and a word", {{"HP up", "HP up", ""}}, {0}},
                              {"translated term", {{"Sword", "Sword", ""}}, {0}}};
    for (Case& c : kept) c.glossary = Dict({{"HP", "", ""}, {"Sword", "\xBD\xA3", ""}});
    Expect("unchanged", kept);
}

TEST_F(Qa, Codes) {
    Expect(
        "codes",
        {
            {"printf missing", {{"Hello %s", kStart, ""}}, {0}},
            {"printf changed", {{"%5.2f gold", "%d" + kOne, ""}}, {0}},
            {"positional printf", {{"%1$s and %2$s", "%2$s" + kOne, ""}}, {0}},
            {"percent sign", {{"100%% done", "100%" + kOne, ""}}, {0}},
            {"brace extra", {{"Hi {0}", kStart + "{0}{1}", ""}}, {0}},
            {"tag missing", {{"<b>Go</b>", "<b>" + kStart, ""}}, {0}},
            {"backslash code", {{"Line\\nNext", kStart + kOne, ""}}, {0}},
            {"bracketed argument", {{"\\C[2]Red", "\\C[3]" + kStart, ""}}, {0}},
            {"variables", {{"#name# has $gold$", kStart + "#name#", ""}}, {0}},
            {"twice in ENG, once in CHI", {{"%s or %s", "%s" + kOne, ""}}, {0}},
            {"--code form", {{"@hero@ wins", kStart, ""}}, {0}, Code("@[a-z]+@")},
            {"order changed", {{"%s and %d", "%d" + kOne + "%s", ""}}, {}},
            {"percent in prose", {{"100% sure", kStart, ""}}, {}},
            {"comparison", {{"a < b > c", kStart, ""}}, {}},
            {"braces around blanks", {{"{ x } {\t}", kStart, ""}}, {}},
            {"empty braces", {{"String {}, {}", "String {}", ""}}, {0}},
            {"Windows printf forms", {{"%S %C %ws %I64d %I32u %Id", kStart, ""}}, {0}},
            {"Windows printf forms kept",
             {{"%S %C %ws %I64d %I32u %Id", "%Id %I32u %I64d %ws %C %S", ""}},
             {}},
            {"no Windows forms in prose", {{"50%Width 9%Interest", kStart, ""}}, {}},
            {"Python's named printf", {{"%(str)s", "%(nom)s", ""}}, {0}},
            {"doubled backslash dropped", {{"An escape escape \\\\", "Escape escape", ""}}, {0}},
            {"doubled backslash kept", {{"Path \\\\", "\\\\" + kStart, ""}}, {}},
            {"positional printf", {{"%s", "%1$s", ""}}, {0}},
            {"positional printf accepted",
             {{"%s and %d", "%2$d" + kOne + "%1$s", ""}},
             {},
             Positional()},
            {"positional printf of the wrong type",
             {{"%s and %d", "%2$s" + kOne + "%1$d", ""}},
             {0},
             Positional()},
            {"numbered ENG, plain translation",
             {{"%1$s and %2$d", "%s" + kOne + "%d", ""}},
             {},
             Positional()},
            {"hash and dollar prose", {{"# of items # for $5 or $6", kStart, ""}}, {}},
            {"--code found", {{"@hero@ wins", "@hero@" + kStart, ""}}, {}, Code("@[a-z]+@")},
            {"silenced", {{"Hello %s", kStart, "qa-skip:numbers,codes"}}, {}},
            {"other check silenced", {{"Hello %s", kStart, "qa-skip:numbers"}}, {0}},
            {"second bytes '{' '}' are no brace", {{"Go", kBraceOpen + "0" + kBraceClose, ""}}, {}},
            {"second byte '\\' is no backslash code", {{"\\n", "\\n" + kBackslash + "n", ""}}, {}},
            {"--code never takes half a character", {{"x", kS + "s", ""}}, {}, Code("s+")},
        });
}

TEST_F(Qa, Numbers) {
    Expect("numbers", {
                          {"missing", {{"Level 10", kStart, ""}}, {0}},
                          {"one of two missing", {{"3 of 5", "3" + kOne, ""}}, {0}},
                          {"changed", {{"Wait 30 s", "3" + kOne, ""}}, {0}},
                          {"present", {{"Level 10", kStart + "10", ""}}, {}},
                          {"full-width", {{"Level 10", kStart + "\xA3\xB1\xA3\xB0", ""}}, {}},
                          {"reordered", {{"1 to 2", "2" + kOne + "1", ""}}, {}},
                          {"inside codes", {{"%1$s and {0}", kStart, ""}}, {}},
                          {"no digits", {{"Start", kStart, ""}}, {}},
                          {"full-width look-alike is no digit", {{"7", "\xA3\xC1", ""}}, {0}},
                      });
}

TEST_F(Qa, Length) {
    const std::string six = kStart + kOne;  // 6 bytes
    Expect("length",
           {
               {"over --max-bytes", {{"Go", six, ""}}, {0}, MaxBytes(5)},
               {"at --max-bytes", {{"Go", six, ""}}, {}, MaxBytes(6)},
               {"over --max-ratio", {{"Go", six, ""}}, {0}, MaxRatio(2.5)},
               {"at --max-ratio", {{"Go", six, ""}}, {}, MaxRatio(3)},
               {"remark budget without options", {{"Go", six, "max=4"}}, {0}},
               {"remark budget over the options", {{"Go", six, "box max=6"}}, {}, MaxBytes(2)},
               {"remark budget under the options", {{"Go", six, "max=5;"}}, {0}, MaxBytes(99)},
               {"no limit", {{"Go", six, ""}}, {}},
               {"not a budget", {{"Go", six, "climax=2 max=x"}}, {}},
           });
}

TEST_F(Qa, Glossary) {
    const std::string sword = "\xBD\xA3";
    std::vector<Record> terms = {{"Iron Sword", "\xCC\xFA" + sword, ""},
                                 {"sword", sword, ""},
                                 {"HP", "", ""},
                                 {"Sword", "\xB5\xB6", ""},  // a repeat: the first counts
                                 {"-x", "y", ""}};           // left out, with a warning
    // Enough terms for the index to grow several times.
    for (int i = 0; i < 200; ++i) terms.push_back({"Term" + std::to_string(i), kOne, ""});
    const std::string glossary = Dict(terms);
    std::vector<Case> cases = {
        {"term missing", {{"Take the sword", kStart, ""}}, {0}},
        {"case ignored", {{"SWORD!", kOne, ""}}, {0}},
        {"two words", {{"An iron sword", kStart + sword, ""}}, {0}},
        {"untranslated term translated", {{"HP up", kStart, ""}}, {0}},
        {"term present", {{"Take the sword", kStart + sword, ""}}, {}},
        {"part of a word", {{"Swordfish", kStart, ""}}, {}},
        {"untranslated term kept", {{"hp up", "hp" + kStart, ""}}, {}},
        {"both terms present", {{"Iron Sword", "\xCC\xFA" + sword, ""}}, {}},
        {"second bytes are no word", {{kS + "word", kStart, ""}}, {}},
        {"CHI term across characters", {{"sword", "\xC1\xBD\xA3\xAC", ""}}, {0}},
        {"a late term", {{"the term137 of it", kStart, ""}}, {0}},
        {"a late term present", {{"the term137 of it", kOne, ""}}, {}},
    };
    for (Case& c : cases) c.glossary = glossary;
    Expect("glossary", cases);
}

TEST_F(Qa, Inconsistent) {
    Expect("inconsistent",
           {
               {"twice, differently", {{"a", "1", ""}, {"b", "2", ""}, {"a", "3", ""}}, {0, 2}},
               {"twice, the same", {{"a", "1", ""}, {"a", "1", ""}}, {}},
               {"in order", {{"a", "1", ""}, {"b", "1", ""}}, {}},
               {"one place silenced", {{"a", "1", "qa-skip:inconsistent"}, {"a", "2", ""}}, {1}},
               {"keys differing in a second byte", {{kOpen, "1", ""}, {kClose, "2", ""}}, {}},
           });
}

TEST_F(Qa, Reused) {
    Expect("reused",
           {
               {"two texts, one translation", {{"Open", "1", ""}, {"Close", "1", ""}}, {0, 1}},
               {"case and punctuation", {{"Open", "1", ""}, {"open!", "1", ""}}, {}},
               {"different translations", {{"Open", "1", ""}, {"Close", "2", ""}}, {}},
               {"texts differing in a second byte", {{kOpen, "1", ""}, {kClose, "1", ""}}, {0, 1}},
           });
}

TEST_F(Qa, Spaces) {
    Expect("spaces",
           {
               {"leading blank", {{"Go", " " + kStart, ""}}, {0}},
               {"trailing blank lost", {{"Go ", kStart, ""}}, {0}},
               {"doubled blank", {{"a b", kStart + "  " + kOne, ""}}, {0}},
               {"blank between Chinese characters", {{"ab", kStart + " " + kOne, ""}}, {0}},
               {"same ends", {{" Go ", " " + kStart + " ", ""}}, {}},
               {"doubled in ENG too", {{"a  b", "x  " + kOne, ""}}, {}},
               {"blank before ASCII", {{"a b", kStart + " OK", ""}}, {}},
               {"second byte 's' before a blank", {{"a b", kS + " " + kOne, ""}}, {0}},
               {"full-width colon holds the blank", {{"Limit: ", kStart + "\xA3\xBA", ""}}, {}},
               {"blank lost after a word", {{"Limit ", kStart, ""}}, {0}},
           });
}

TEST_F(Qa, Punctuation) {
    Expect("punctuation",
           {
               {"ENG mark lost", {{"Go.", kStart, ""}}, {0}},
               {"CHI mark added", {{"Go", kStart + "\xA3\xA1", ""}}, {0}},
               {"question lost", {{"Go?", kStart + kOne, ""}}, {0}},
               {"full-width mark", {{"Go.", kStart + kPeriod, ""}}, {}},
               {"other mark", {{"Go!", kStart + "\xA3\xBF", ""}}, {}},
               {"behind a closing quote", {{"\"Go.\"", kStart + kPeriod + "\xA1\xB1", ""}}, {}},
               {"ellipsis", {{"Wait...", kStart + "\xA1\xAD\xA1\xAD", ""}}, {}},
               {"neither", {{"Go", kStart, ""}}, {}},
               {"a mark's bytes across two characters", {{"Go", "\xB0\xA1\xA3", ""}}, {}},
               {"mark lost before a line break", {{"Go.\r\n", kStart + "\r\n", ""}}, {0}},
               {"mark added before line breaks", {{"Go\n\n", kStart + kPeriod + "\n\n", ""}}, {0}},
               {"marks before line breaks", {{"Go?\n", kStart + "\xA3\xBF\n", ""}}, {}},
           });
}

TEST_F(Qa, PunctuationWidth) {
    Expect("punctuation-width",
           {
               {"comma", {{"a, b", kStart + "," + kOne, ""}}, {0}},
               {"final period", {{"Go.", kStart + ".", ""}}, {0}},
               {"colon", {{"HP:", kStart + ":", ""}}, {0}},
               {"after ASCII", {{"HP: 5", "HP: 5", ""}}, {}},
               {"full-width", {{"Go.", kStart + kPeriod, ""}}, {}},
               {"after a second byte that is a letter", {{"a.", "x" + kS + ".", ""}}, {0}},
               {"ASCII letter then period", {{"a.", kStart + "s.", ""}}, {}},
           });
}

TEST_F(Qa, Delimiters) {
    const std::string script = "say \"Open\" then [Close] and \"Both\" [Both]\n";
    std::vector<Case> cases = {
        {"bracket", {{"Open", kStart + "]", ""}}, {0}},
        {"quote", {{"Open", "\"" + kStart, ""}}, {0}},
        {"bracket in the ENG text too", {{"[Open]", "[" + kStart + "]", ""}}, {}},
        {"second bytes '[' ']'", {{"Open", kOpen + kClose, ""}}, {}},
    };
    // With the script: only what breaks the delimiters the key stands between.
    const std::vector<Case> scripted = {
        {"quote in a quoted text", {{"Open", "\"" + kStart, ""}}, {0}},
        {"bracket in a quoted text", {{"Open", "]" + kStart, ""}}, {}},
        {"bracket in a bracketed text", {{"Close", "[" + kStart, ""}}, {0}},
        {"quote in a bracketed text", {{"Close", "\"" + kStart, ""}}, {}},
        {"both kinds", {{"Both", "]" + kStart, ""}}, {0}},
        {"not in the script", {{"Gone", "]\"", ""}}, {}},
    };
    for (Case c : scripted) {
        c.script = script;
        cases.push_back(c);
    }
    Expect("delimiters", cases);
}

TEST_F(Qa, LineBreaks) {
    Expect("line-breaks",
           {
               {"lost at the end", {{"A file\n", kStart, ""}}, {0}},
               {"added at the end", {{"A file", kStart + "\n", ""}}, {0}},
               {"CR LF become LF", {{"A file\r\n", kStart + "\n", ""}}, {0}},
               {"moved from the start", {{"\nOne two", kStart + "\n" + kOne, ""}}, {0}},
               {"lone CR lost", {{"A file\r", kStart, ""}}, {0}},
               {"kind changed inside", {{"a\r\nb", kStart + "\n" + kOne, ""}}, {0}},
               {"same ends and kind",
                {{"\r\na\r\nb\r\n", "\r\n" + kStart + "\r\n\r\n" + kOne + "\r\n", ""}},
                {}},
               {"breaks alone", {{"\n\n", "\n\n", ""}}, {}},
               {"added inside only", {{"a b", kStart + "\n" + kOne, ""}}, {}},
           });
    Expect("line-count",
           {
               {"one added inside", {{"One two", kStart + "\n" + kOne, ""}}, {0}},
               {"one lost inside", {{"blah.\nA file", kStart + " " + kOne, ""}}, {0}},
               {"moved from the start", {{"\nOne two", kStart + "\n" + kOne, ""}}, {0}},
               {"CR LF counts once", {{"a\r\nb", kStart + "\n" + kOne, ""}}, {}},
               {"ends alone differ", {{"A file\n", kStart, ""}}, {}},
           });
}

TEST_F(Qa, Encoding) {
    Expect("encoding",
           {
               {"escape byte", {{"Go", kStart + "\x1B", ""}}, {0}},
               {"DEL", {{"Go", "\x7F" + kStart, ""}}, {0}},
               {"user-defined AAA1", {{"Go", "\xAA\xA1", ""}}, {0}},
               {"user-defined F8A1", {{"Go", "\xFE\xFE", ""}}, {0}},
               {"user-defined A140", {{"Go", "\xA7\x40", ""}}, {0}},
               {"line breaks and tab", {{"Go", kStart + "\r\n\t" + kOne, ""}}, {}},
               {"defined neighbours", {{"Go", "\xA9\xA1\xB0\xA1\xF7\xFE\xA8\x40", ""}}, {}},
           });
}

// Real GBK text as a translator's work: each line of the corpus files a
// translation, with the ASCII punctuation after Chinese characters made
// full-width and blanks between Chinese characters taken out, as a
// translator would; its ENG text keeps the line's ASCII bytes and has the
// ASCII twin of each full-width mark, digit and closing quote, and 0x80
// (which no check reads as a letter or a code) for every other character.
class QaCorpus : public Qa {
protected:
    static std::string Translation(const std::string& line) {
        std::string chi;
        size_t previous = 0;  // length of the last character kept
        for (size_t at = 0; at < line.size();) {
            const unsigned char* c = reinterpret_cast<const unsigned char*>(line.data()) + at;
            const size_t n = CharLength(c, line.size() - at);
            size_t blanks = 0;
            while (n == 1 && at + blanks < line.size() && line[at + blanks] == ' ') ++blanks;
            if (blanks != 0 && previous == 2 && at + blanks < line.size() &&
                CharLength(c + blanks, line.size() - at - blanks) == 2) {
                at += blanks;
                continue;
            }
            static const std::string kAscii = ",.?!:;";
            static const char* const kWide[] = {"\xA3\xAC", "\xA1\xA3", "\xA3\xBF",
                                                "\xA3\xA1", "\xA3\xBA", "\xA3\xBB"};
            const size_t mark = n == 1 ? kAscii.find(line[at]) : std::string::npos;
            if (previous == 2 && mark != std::string::npos) {
                chi += kWide[mark];
            } else {
                chi += line.substr(at, n);
                previous = n;
            }
            at += n;
        }
        return chi;
    }

    static std::string Eng(const std::string& chi) {
        static const std::vector<std::pair<std::string, std::string>> kTwins = {
            {"\xA3\xAC", ","}, {"\xA1\xA3", "."}, {"\xA3\xBF", "?"},   {"\xA3\xA1", "!"},
            {"\xA3\xBA", ":"}, {"\xA3\xBB", ";"}, {"\xA1\xAD", "..."}, {"\xA1\xB1", "\""},
            {"\xA1\xAF", "'"}, {"\xA3\xA9", ")"}};
        std::string eng;
        for (size_t at = 0; at < chi.size();) {
            const size_t n = CharLength(reinterpret_cast<const unsigned char*>(chi.data()) + at,
                                        chi.size() - at);
            const std::string c = chi.substr(at, n);
            at += n;
            if (n == 1) {
                eng += c;
                continue;
            }
            std::string twin = "\x80";
            for (const auto& [wide, ascii] : kTwins) {
                if (c == wide) twin = ascii;
            }
            if (c[0] == '\xA3' && c[1] >= '\xB0' && c[1] <= '\xB9')
                twin = std::string(1, c[1] - '\xB0' + '0');
            eng += twin;
        }
        return eng;
    }

    // The lines of the corpus files as records, "Line N" before each ENG text.
    static std::vector<Record> Records() {
        std::vector<Record> records;
        for (const char* name :
             {"gbk-cpython-cjkencodings-gbk.txt", "gbk-iconv-lite-gbkFile.txt"}) {
            std::istringstream text(
                testutil::ReadBytes(std::string(VKC_TEST_DATA_DIR) + "/" + name));
            for (std::string line; std::getline(text, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                const size_t begin = line.find_first_not_of(' ');
                if (begin == std::string::npos) continue;
                line = line.substr(begin, line.find_last_not_of(' ') + 1 - begin);
                const std::string chi = Translation(line);
                std::string number;
                for (size_t n = records.size() + 1; n != 0; n /= 26) number += char('a' + n % 26);
                records.push_back({"Line " + number + " " + Eng(chi), chi, ""});
            }
        }
        return records;
    }
};

TEST_F(QaCorpus, RealGbkTextReportsOnlyWhatWasPlanted) {
    std::vector<Record> records = Records();
    ASSERT_GT(records.size(), 20u);
    // Planted: a code the translation lost, a number it lost, a bracket it
    // gained, and a glossary term it changed.
    records[0].eng.insert(5, "%d ");
    records[1].eng.insert(5, "42 ");
    records[2].chi.insert(0, "]");
    size_t python = 0;
    while (records[python].chi.find("Python ") == std::string::npos) ++python;
    ASSERT_GT(python, 2u);
    records[python].chi.replace(records[python].chi.find("Python "), 6, "Pyth0n");
    Write("d.txt", Dict(records));
    Write("g.txt", Dict({{"Python", "", ""},
                         {"library", "", ""},
                         {"fast prototyping", "fast prototyping", ""}}));

    QaOptions options;
    options.files = {"d.txt"};
    options.glossaries = {"g.txt"};
    options.check = {"unchanged",         "codes",      "numbers", "glossary",
                     "inconsistent",      "reused",     "spaces",  "punctuation",
                     "punctuation-width", "delimiters", "encoding"};
    int status = -1;
    const std::string out = RunInProcess(options, &status);
    auto line = [](size_t i) { return "d.txt:" + std::to_string(5 + 11 * i); };
    EXPECT_EQ(Findings(out),
              (std::set<std::string>{line(0) + " [codes]", line(1) + " [numbers]",
                                     line(2) + " [delimiters]", line(python) + " [glossary]"}))
        << out;
    EXPECT_EQ(status, kFound);
}

// The shortcuts of the text helpers against a plain walk over every character,
// on random texts of ASCII, lead, trail and stray bytes.
TEST(QaText, ShortcutsAgreeWithAPlainWalk) {
    const std::string bytes = std::string("a[\"]\x40\x5B\x7E\x80\x81\xA1\xB0\xFE\xFF", 13);
    std::mt19937 random(54);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        for (size_t n = random() % 10; n > 0; --n) text += bytes[random() % bytes.size()];
        size_t last = text.size() == 0 ? 0 : std::string::npos;
        size_t found[3] = {std::string::npos, std::string::npos, std::string::npos};
        vkcdict::ForEachChar(text, [&](size_t at, size_t n) {
            last = at;
            for (int k = 0; k < 3; ++k) {
                if (n == 1 && text[at] == "[\"]"[k] && found[k] == std::string::npos) found[k] = at;
            }
        });
        EXPECT_EQ(vkcdict::LastCharAt(text), last) << testing::PrintToString(text);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(vkcdict::FindAscii(text, "[\"]"[k]), found[k])
                << testing::PrintToString(text);
        }
    }
}

TEST_F(Qa, CommandLine) {
    Write("d.txt", Dict({{"Hello %s", kStart, ""}, {"Start", kStart, "qa-skip:codes"}}));
    Write("clean.txt", Dict({{"Start", kStart, ""}}));
    std::string broken = Dict({{"a", "1", ""}, {"b", "2", ""}});
    broken.erase(broken.rfind("mirok_res_CHI_End"));
    Write("broken.txt", broken);

    Result r = Run({"qa", "d.txt", "clean.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "d.txt:5: warning: codes missing from the translation: \"%s\" (ENG \"Hello "
              "%s\", CHI \"" +
                  kStart + "\") [codes]\n");
    EXPECT_EQ(r.err, "vkcdict qa: 2 files, 3 translated records checked, 1 finding: codes 1\n");

    // A numbered printf form says why it is reported, and the switch accepts it.
    Write("numbered.txt", Dict({{"%s", "%1$s", ""}}));
    r = Run({"qa", "numbered.txt", "--check", "codes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Windows' own"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("--positional-printf accepts"), std::string::npos) << r.out;
    r = Run({"qa", "numbered.txt", "--check", "codes", "--positional-printf"});
    EXPECT_EQ(r.status, 0) << r.out;

    r = Run({"qa", "clean.txt", "--skip", "codes,numbers"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vkcdict qa: 1 file, 1 translated record checked, 0 findings\n");

    r = Run({"qa", "--list-checks"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 14) << r.out;
    EXPECT_EQ(r.out.rfind("unchanged ", 0), 0u) << r.out;

    for (const std::vector<std::string>& usage :
         std::vector<std::vector<std::string>>{{"qa", "d.txt", "--check", "codes,nosuch"},
                                               {"qa", "d.txt", "--skip", "nosuch"},
                                               {"qa", "d.txt", "--code", "("},
                                               {"qa", "d.txt", "--glossary", "none.txt"},
                                               {"qa", "d.txt", "--script", "none.txt"},
                                               {"qa", "none.txt"},
                                               {"qa"},
                                               {"qa", "broken.txt"}}) {
        r = Run(usage);
        EXPECT_EQ(r.status, 2) << usage.back() << r.err;
        EXPECT_EQ(r.out, "") << usage.back();
    }
    r = Run({"qa", "broken.txt", "--partial"});
    EXPECT_EQ(r.status, 0) << r.err;

    // Findings come in record order, checks in table order, those of the
    // checks that compare records among the others.
    Write("order.txt",
          Dict({{"Hello %s", "x", ""}, {"a", "1", ""}, {"b 5", "2", ""}, {"a", "2 ", ""}}));
    r = Run({"qa", "order.txt", "--check", "spaces,inconsistent,numbers,codes"});
    std::string order;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        order += line.substr(0, line.find(": warning")) + line.substr(line.rfind(" [")) + "\n";
    }
    EXPECT_EQ(order,
              "order.txt:5 [codes]\norder.txt:16 [inconsistent]\norder.txt:27 [numbers]\n"
              "order.txt:38 [inconsistent]\norder.txt:38 [spaces]\n")
        << r.out;
}

// --code patterns with nested repetition, on a record where a backtracking
// matcher takes exponential time and on one long enough to exhaust its
// stack (quotes written \x22, which Windows' command line keeps): the codes
// are still found; a pattern outside the syntax is a usage
// error that names it.
TEST_F(Qa, CodePatternsOnHostileRecords) {
    const std::string quoted = "\"" + std::string(100000, 'x') + "\"";
    Write("d.txt", Dict({{"@hero@ " + std::string(40, 'a') + "b", kStart, ""},
                         {quoted + " @hero@", "\"\"@hero@", ""}}));
    Result r = Run({"qa", "d.txt", "--check", "codes", "--code", "@[a-z]+@|(a+)+$", "--code",
                    "\\x22[^\\x22]*\\x22"});
    EXPECT_EQ(r.status, 1) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> found;
    for (std::string line; std::getline(lines, line);) found.push_back(line);
    ASSERT_EQ(found.size(), 2u) << r.out.substr(0, 1000);
    EXPECT_EQ(
        found[0].rfind("d.txt:5: warning: codes missing from the translation: \"@hero@\" (ENG", 0),
        0u)
        << found[0];
    EXPECT_EQ(found[1].rfind("d.txt:16: warning: codes missing from the translation: \"\"xxx", 0),
              0u)
        << found[1].substr(0, 200);
    EXPECT_NE(found[1].find("(100002 bytes); extra: \"\"\"\" (ENG"), std::string::npos)
        << found[1].substr(0, 200);

    // A pattern that reads to the end of the text again for every match
    // (x.*y|x on 100,000 x's: 10^10 steps) gives up that record, saying so.
    Write("x.txt", Dict({{std::string(100000, 'x'), "x", ""}}));
    r = Run({"qa", "x.txt", "--check", "codes", "--code", "x.*y|x"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.rfind("x.txt:5: warning: a --code pattern reads this record's texts over and "
                          "over",
                          0),
              0u)
        << r.out.substr(0, 300);

    r = Run({"qa", "d.txt", "--code", "(a)\\1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--code \"(a)\\1\" cannot be used: backreferences are not supported"),
              std::string::npos)
        << r.err;
}

TEST_F(Qa, JsonParsesWithPython) {
#ifdef _WIN32
    GTEST_SKIP() << "the test runs /usr/bin/python3";
#else
    Write("d.txt", Dict({{"Say \"%s\"\\", kStart + "\xFF\x01", ""}, {"x", "y\t", ""}}));
    Result r = Run({"qa", "d.txt", "--format", "json", "--check", "codes,encoding"});
    ASSERT_EQ(r.status, 1) << r.err;
    Write(
        "read.py",
        "import json, sys\n"
        "for line in open('out.json', encoding='utf-8'):\n"
        "    f = json.loads(line)\n"
        "    assert sorted(f) == ['check', 'chi', 'eng', 'file', 'line', 'message', 'record'], f\n"
        "    print(f['file'], f['line'], f['record'], f['check'], f['eng'], f['chi'], sep='|')\n");
    Write("out.json", r.out);
    testutil::ScopedCwd cwd(dir.path());
    ASSERT_EQ(testutil::RunProgram("/usr/bin/python3", {"read.py"}, "", "py.txt", "pyerr.txt"), 0)
        << Read("pyerr.txt");
    EXPECT_EQ(Read("py.txt"),
              "d.txt|5|0|codes|Say \"%s\"\\|\xE5\xBC\x80\xE5\xA7\x8B\\xFF\x01\n"
              "d.txt|5|0|encoding|Say \"%s\"\\|\xE5\xBC\x80\xE5\xA7\x8B\\xFF\x01\n");
#endif
}

}  // namespace
}  // namespace vkcdicttest
