// The PO bridge: the reader as a table of PO features, the text mapping and
// the exact round trip on random and real GBK texts, the two commands end to
// end, and acceptance by gettext's own tools and by polib.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/GbkCodec.h"
#include "vkcdict/po/PoFile.h"
#include "vkcdict/po/PoText.h"

namespace {

using samples::DictionaryText;
using samples::Record;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

// ---- The reader: one row per feature.

struct ParseRow {
    const char* name;
    std::string po;
    // Entries as "ctx|id|str0|str1|comments|flags" ('~' before an obsolete
    // one), or "error LINE" at a syntax error.
    std::vector<std::string> expected;
};

std::string Describe(const po::Entry& e) {
    std::string text = e.obsolete ? "~" : "";
    text += (e.context.present ? e.context.value : "-") + "|" + e.id.value + "|";
    for (const po::Text& s : e.str) text += s.value + "|";
    for (const std::string& c : e.comments) text += c + ";";
    text += "|";
    for (const std::string& f : e.flags) text += f + ";";
    return text;
}

std::vector<std::string> ParseAll(const std::string& po) {
    std::vector<std::string> got;
    po::ParseError error{};
    if (!po::Parse(
            po, [&](const po::Entry& e) { return got.push_back(Describe(e)), true; }, &error)) {
        got.push_back("error " + std::to_string(error.line));
    }
    return got;
}

TEST(PoFile, ReadsEveryFeature) {
    const std::vector<ParseRow> rows = {
        {"header", "msgid \"\"\nmsgstr \"\"\n\"Language: zh_CN\\n\"\n", {"-||Language: zh_CN\n||"}},
        {"multi-line", "msgid \"\"\n\"a\\n\"\n\"b\"\nmsgstr \"x\"\n  \"y\"\n", {"-|a\nb|xy||"}},
        {"escapes", "msgid \"\\t\\\"\\\\\\101\\x42\\r\\a\"\nmsgstr \"\"\n", {"-|\t\"\\AB\r\a|||"}},
        {"comments and flags",
         "# one\n#\n#  two\n#. x\n#: f:1\n#, fuzzy, c-format\n#| msgid \"old\"\nmsgid "
         "\"a\"\nmsgstr "
         "\"b\"\n",
         {"-|a|b|one;; two;|fuzzy;c-format;"}},
        {"context", "msgctxt \"7\"\nmsgid \"a\"\nmsgstr \"b\"\n", {"7|a|b||"}},
        {"plural",
         "msgid \"a\"\nmsgid_plural \"as\"\nmsgstr[0] \"b\"\nmsgstr[1] \"bs\"\n",
         {"-|a|b|bs||"}},
        {"obsolete",
         "#~ msgid \"a\"\n#~ msgstr \"\"\n#~ \"b\"\nmsgid \"c\"\nmsgstr \"d\"\n",
         {"~-|a|b||", "-|c|d||"}},
        {"CR LF and a byte order mark",
         "\xEF\xBB\xBFmsgid \"a\"\r\nmsgstr \"b\"\r\n\r\n",
         {"-|a|b||"}},
        {"entries without blank lines",
         "msgid \"a\"\nmsgstr \"b\"\n# c\nmsgid \"d\"\nmsgstr \"\"\n",
         {"-|a|b||", "-|d||c;|"}},
        {"unterminated string", "msgid \"a\nmsgstr \"b\"\n", {"error 1"}},
        {"unknown escape", "msgid \"\\q\"\nmsgstr \"\"\n", {"error 1"}},
        {"text after the quote", "msgid \"a\" x\nmsgstr \"\"\n", {"error 1"}},
        {"msgid without msgstr", "msgid \"a\"\n\nmsgid \"b\"\nmsgstr \"\"\n", {"error 3"}},
        {"msgstr without msgid", "msgstr \"a\"\n", {"error 1"}},
        {"index out of order", "msgid \"a\"\nmsgid_plural \"b\"\nmsgstr[1] \"\"\n", {"error 3"}},
        {"unknown keyword", "msgid \"a\"\nmsgstring \"b\"\n", {"error 2"}},
        {"octal escape over a byte", "msgid \"a\"\nmsgstr \"\\400\"\n", {"error 2"}},
        {"hexadecimal escape over a byte", "msgid \"\\x100\"\nmsgstr \"\"\n", {"error 1"}},
        {"largest escapes", "msgid \"\\377\\xfF\"\nmsgstr \"\"\n", {"-|\xFF\xFF|||"}},
    };
    for (const ParseRow& row : rows) EXPECT_EQ(ParseAll(row.po), row.expected) << row.name;
}

// What the writer writes, the reader reads back, whatever the bytes.
TEST(PoFile, WrittenEntriesReadBack) {
    std::mt19937 random(7);
    const std::string alphabet = "ab \"\\\n\t\r#~\x01\xE5\xBC\x80";
    for (int round = 0; round < 300; ++round) {
        auto text = [&] {
            std::string s;
            for (int n = static_cast<int>(random() % 12); n > 0; --n) {
                s += alphabet[random() % alphabet.size()];
            }
            return s;
        };
        po::Entry e;
        e.id = {true, "k" + text(), {}};
        e.context = {round % 3 == 0, text(), {}};
        e.str.push_back({true, text(), {}});
        for (int n = static_cast<int>(random() % 3); n > 0; --n) {
            std::string c = text();
            c.erase(
                std::remove_if(c.begin(), c.end(), [](char x) { return x == '\n' || x == '\r'; }),
                c.end());
            e.comments.push_back(c);
        }
        std::string po;
        po::AppendEntry(e, &po);
        EXPECT_EQ(ParseAll(po), std::vector<std::string>{Describe(e)}) << po;
    }
}

// ---- Texts: the mapping of line breaks, and the round trip.

TEST(PoText, LineBreaksAndTheirSymbols) {
    struct Row {
        std::string gbk, msg, comment;
    };
    const std::vector<Row> rows = {
        {"a\r\nb", "a\nb", "a\nb"},
        {"\r\na\r\n",
         "\xE2\x90\x8D\xE2\x90\x8A"
         "a\xE2\x90\x8D\xE2\x90\x8A",
         "\na\n"},
        {"a\rb\nc",
         "a\xE2\x90\x8D"
         "b\xE2\x90\x8A"
         "c",
         "a\xE2\x90\x8D"
         "b\xE2\x90\x8A"
         "c"},
        {"\r\n", "\xE2\x90\x8D\xE2\x90\x8A", "\n"},
        {"\xBF\xAA\r\n\r\n\x80", "\xE5\xBC\x80\n\n\xE2\x82\xAC", "\xE5\xBC\x80\n\n\xE2\x82\xAC"},
        {"\r\n\r\n", "\xE2\x90\x8D\xE2\x90\x8A\xE2\x90\x8D\xE2\x90\x8A", "\n\n"},
    };
    for (const Row& row : rows) {
        std::string msg, comment, back;
        size_t replaced = 0;
        ASSERT_TRUE(po::ToPoText(row.gbk, po::Edges::kSymbols, false, &msg, nullptr, &replaced));
        ASSERT_TRUE(po::ToPoText(row.gbk, po::Edges::kBreaks, false, &comment, nullptr, &replaced));
        EXPECT_EQ(msg, row.msg);
        EXPECT_EQ(comment, row.comment);
        for (const std::string& text : {msg, comment}) {
            ASSERT_TRUE(po::FromPoText(text, false, &back, nullptr, &replaced));
            EXPECT_EQ(back, row.gbk);
        }
    }
    std::string back;
    size_t replaced = 0;
    ASSERT_TRUE(po::FromPoText("a\r\n", false, &back, nullptr, &replaced));  // "\r" of a PO file
    EXPECT_EQ(back, "a\r\r\n");
}

// Every defined double-byte code, as GBK bytes.
const std::vector<std::string>& GbkCharacters() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> codes;
        std::string utf8;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const char code[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                if (gbk::ToUtf8(code, 2, &utf8)) codes.emplace_back(code, 2);
            }
        }
        return codes;
    }();
    return all;
}

std::string RandomGbk(std::mt19937& random, size_t pieces) {
    static const std::vector<std::string> extras = {"\r\n", "\r", "\n", " ", "\x80", "\t", "A"};
    std::string text;
    for (size_t k = 0; k < pieces; ++k) {
        text += random() % 3 == 0 ? extras[random() % extras.size()]
                                  : GbkCharacters()[random() % GbkCharacters().size()];
    }
    return text;
}

// Random texts of every character, and lines of a real GBK page, as sorted
// records with multi-line texts and remarks.
std::vector<Record> SampleRecords() {
    std::mt19937 random(936);
    std::vector<Record> records;
    for (int i = 0; i < 300; ++i) {
        records.push_back({"key " + std::to_string(1000 + i) + RandomGbk(random, random() % 4),
                           RandomGbk(random, random() % 20), RandomGbk(random, random() % 6)});
    }
    // Five lines at a time, so that no character is cut.
    const std::string page =
        ReadBytes(std::string(VKC_TEST_DATA_DIR) + "/gbk-iconv-lite-gbkFile.txt");
    std::vector<std::string> lines;
    for (size_t at = 0; at < page.size();) {
        size_t end = page.find("\r\n", at);
        end = end == std::string::npos ? page.size() : end + 2;
        lines.push_back(page.substr(at, end - at));
        at = end;
    }
    for (size_t k = 0; k < lines.size(); k += 5) {
        std::string chi;
        for (size_t j = k; j < std::min(k + 5, lines.size()); ++j) chi += lines[j];
        records.push_back({"page " + std::to_string(100 + k), chi, k % 2 ? lines[k] : ""});
    }
    records.push_back({"", "\xBF\xAA", "an empty key"});
    std::sort(records.begin(), records.end(),
              [](const Record& a, const Record& b) { return a.eng < b.eng; });
    return records;
}

// ---- The commands, end to end.

class PoCommand : public testing::Test {
protected:
    int Run(std::vector<std::string> args) {
        return testutil::RunProgram(VKCDICT_PATH, args, "", dir_.File("out"), dir_.File("err"));
    }
    std::string Err() { return ReadBytes(dir_.File("err")); }
    std::string File(const std::string& name) const { return dir_.File(name); }
    void Write(const std::string& name, const std::string& bytes) {
        WriteBytes(dir_.File(name), bytes);
    }
    // The records of a dictionary file, without its header line.
    std::string Body(const std::string& name) {
        const std::string bytes = ReadBytes(dir_.File(name));
        return bytes.substr(std::min(bytes.find("\r\nmirok_res_No."), bytes.size()));
    }
    // True when `program` runs here (gettext's tools are absent on Windows).
    static bool Have(const std::string& program, const std::vector<std::string>& args) {
        TempDir scratch;
        return testutil::RunProgram(program, args, "", scratch.File("o"), scratch.File("e")) == 0;
    }

    TempDir dir_;
};

const std::string kHeader = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

TEST_F(PoCommand, ExportThenImportGivesTheSameRecords) {
    Write("d.txt", DictionaryText(SampleRecords()));
    ASSERT_EQ(Run({"po-export", File("d.txt"), "-o", File("d.po")}), 0) << Err();
    ASSERT_EQ(Run({"po-import", File("d.po"), "-o", File("back.txt")}), 0) << Err();
    EXPECT_EQ(Body("back.txt"), Body("d.txt"));
    ASSERT_EQ(Run({"po-import", File("d.po"), "--base", File("d.txt"), "-o", File("b.txt")}), 0);
    EXPECT_EQ(ReadBytes(File("b.txt")), ReadBytes(File("d.txt")));  // header kept too

    // Twins: combined as merge does, or kept apart by their record numbers.
    Write("t.txt", DictionaryText({{"a", "\xBF\xAA", ""}, {"a", "\xCA\xBC", "r"}, {"b", "", ""}}));
    EXPECT_EQ(Run({"po-export", File("t.txt"), "-o", File("t.po")}), 1);
    EXPECT_NE(Err().find("t.txt:16: error: conflict: \"a\""), std::string::npos) << Err();
    ASSERT_EQ(Run({"po-export", File("t.txt"), "--context", "-o", File("t.po")}), 0) << Err();
    EXPECT_NE(ReadBytes(File("t.po")).find("msgctxt \"1\"\nmsgid \"a\"\nmsgstr \"始\""),
              std::string::npos);
    ASSERT_EQ(Run({"po-import", File("t.po"), "-o", File("t2.txt")}), 0) << Err();
    EXPECT_EQ(Body("t2.txt"), Body("t.txt"));
}

TEST_F(PoCommand, ExportRefusesUndefinedGbkUnlessLossy) {
    Write("d.txt", DictionaryText({{"a", "\xBF\xAA\xFF", ""}, {"b", "x", "\xAA\xA1"}}));
    EXPECT_EQ(Run({"po-export", File("d.txt"), "-o", File("d.po")}), 1);
    EXPECT_NE(Err().find("d.txt:5: error: record 0: invalid GBK in the CHI text at byte 2: \\xFF"),
              std::string::npos)
        << Err();
    EXPECT_NE(Err().find("d.txt:16: error: record 1: invalid GBK in the Remark00 text at byte 0: "
                         "\\xAA\\xA1"),
              std::string::npos);
    EXPECT_FALSE(testutil::Exists(File("d.po")));
    ASSERT_EQ(Run({"po-export", File("d.txt"), "--lossy", "-o", File("d.po")}), 0) << Err();
    EXPECT_NE(ReadBytes(File("d.po")).find("msgstr \"开\xEF\xBF\xBD\""), std::string::npos);
    ASSERT_EQ(Run({"po-export", File("d.txt"), "--lossy", "--template", "-o", File("d.pot")}), 0);
    EXPECT_EQ(ReadBytes(File("d.pot")).find("开"), std::string::npos);
}

// The msgctxt, msgid and msgstr values of a catalogue's entries but its
// header, one line each, in order; false when it does not parse.
bool EntryValues(const std::string& po, std::vector<std::string>* values) {
    values->clear();
    po::ParseError error{};
    const bool parsed = po::Parse(
        po,
        [&](const po::Entry& e) {
            if (e.IsHeader()) return true;  // msgfmt leaves fields out
            values->push_back(e.context.value + '|' + e.id.value + '|' + e.str[0].value);
            return true;
        },
        &error);
    std::sort(values->begin(), values->end());
    return parsed;
}

// Each row: records, the export's options, its exit status and a piece of
// its diagnostics; the PO file exists exactly when the status is 0.
TEST_F(PoCommand, ExportRefusesTextsPoCannotHold) {
    struct Row {
        const char* name;
        std::vector<Record> records;
        std::vector<std::string> options;
        int status;
        std::string message;
    };
    const std::string eot = "\x04";  // gettext's context separator
    const std::vector<Row> rows = {
        {"in a key",
         {{"a" + eot + "b", "x", ""}},
         {},
         2,
         "d.txt:5: error: record 0: the ENG text holds the control byte \\x04 at byte 1"},
        {"in a translation",
         {{"a", "", ""}, {"b", "x" + eot, ""}},
         {},
         2,
         "d.txt:16: error: record 1: the CHI text holds the control byte \\x04 at byte 1"},
        {"--lossy does not carry it", {{"b", eot, ""}}, {"--lossy"}, 2, "CHI text holds"},
        {"with invalid GBK in another record",
         {{"a", "\xFF", ""}, {"b", eot, ""}},
         {},
         2,
         "1 record with a text PO cannot hold, 1 record with invalid GBK; nothing written"},
        {"a template leaves translations out", {{"b", eot, ""}}, {"--template"}, 0, ""},
        {"a remark is a comment", {{"b", "x", "r" + eot + "s"}}, {}, 0, ""},
        {"an ENG text is never replaced",
         {{"a\xFF", "x", ""}},
         {"--lossy"},
         1,
         "record 0: invalid GBK in the ENG text at byte 1: \\xFF (ENG texts are never replaced)"},
    };
    for (const Row& row : rows) {
        testutil::RemoveFile(File("d.po"));
        Write("d.txt", DictionaryText(row.records));
        std::vector<std::string> args = {"po-export", File("d.txt"), "-o", File("d.po")};
        args.insert(args.end(), row.options.begin(), row.options.end());
        EXPECT_EQ(Run(args), row.status) << row.name << "\n" << Err();
        EXPECT_NE(Err().find(row.message), std::string::npos) << row.name << "\n" << Err();
        ASSERT_EQ(testutil::Exists(File("d.po")), row.status == 0) << row.name;
        if (row.status != 0) continue;
        std::vector<std::string> values;
        ASSERT_TRUE(EntryValues(ReadBytes(File("d.po")), &values)) << row.name;
        for (const std::string& v : values) EXPECT_EQ(v.find(eot), std::string::npos) << row.name;
        if (!row.options.empty()) continue;
        ASSERT_EQ(Run({"po-import", File("d.po"), "-o", File("back.txt")}), 0) << Err();
        EXPECT_EQ(Body("back.txt"), Body("d.txt")) << row.name;
    }
}

// Each row: a catalogue's entries, the import's exit status, a piece of its
// diagnostics, and the records written (none when nothing may be written).
TEST_F(PoCommand, ImportTableOfPoFeatures) {
    struct Row {
        const char* name;
        std::string entries;
        std::vector<std::string> options;
        int status;
        std::string message;
        std::vector<Record> records;
        bool whole = false;  // `entries` is the whole file, without the header
    };
    const std::vector<Row> rows = {
        {"fuzzy left out",
         "#, fuzzy\nmsgid \"a\"\nmsgstr \"开\"\n\nmsgid \"b\"\nmsgstr \"始\"\n",
         {},
         0,
         "1 fuzzy translation left out",
         {{"a", "", ""}, {"b", "\xCA\xBC", ""}}},
        {"fuzzy taken",
         "#, fuzzy\nmsgid \"a\"\nmsgstr \"开\"\n",
         {"--fuzzy"},
         0,
         "",
         {{"a", "\xBF\xAA", ""}}},
        {"obsolete ignored",
         "#~ msgid \"a\"\n#~ msgstr \"开\"\n",
         {},
         0,
         "1 obsolete entry ignored",
         {}},
        {"multi-line and remark",
         "# r1\n#\nmsgid \"\"\n\"x\\n\"\n\"y\"\nmsgstr \"开\\n\"\n\"始\"\n",
         {},
         0,
         "",
         {{"x\r\ny", "\xBF\xAA\r\n\xCA\xBC", "r1\r\n"}}},
        {"plural refused",
         "msgid \"a\"\nmsgid_plural \"as\"\nmsgstr[0] \"\"\nmsgstr[1] \"\"\n",
         {},
         1,
         "p.po:4: error: plural forms",
         {}},
        {"character GBK lacks",
         "msgid \"a\"\nmsgstr \"\"\n\"\xC3\x80\"\n",
         {},
         1,
         "p.po:6: error: the character \"\xC3\x80\" (U+00C0) has no GBK code",
         {}},
        {"lossy: written, counted, not clean",
         "msgid \"a\"\nmsgstr \"\xC3\x80!\xE2\x82\xAC\xF0\x9F\x98\x80\"\n",
         {"--lossy"},
         1,
         "2 characters replaced",
         {{"a", "?!\x80?", ""}}},
        {"an octal escape over a byte",
         "msgid \"a\"\nmsgstr \"\\400\"\n",
         {},
         2,
         "p.po:5: error: the escape \\400 is over \\377",
         {}},
        {"not a PO file",
         "Veskaloran\tVKC\r\n\xFF\x01",
         {},
         2,
         "p.po:1: error: expected a keyword, a string or a comment; the line begins "
         "\"Veskaloran\\x09VKC\"",
         {},
         true},
        {"UTF-16 with a byte order mark",
         std::string("\xFF\xFEm\0s\0g\0", 8),
         {},
         2,
         "p.po:1: error: the file looks like UTF-16; a PO file must be UTF-8",
         {},
         true},
        {"UTF-16 without one",
         std::string("\0m\0s\0g\0i\0d\0 \0\"\0a\0\"", 18),
         {},
         2,
         "looks like UTF-16",
         {},
         true},
        {"a foreign context",
         "msgctxt \"menu\"\nmsgid \"a\"\nmsgstr \"\"\n",
         {},
         1,
         "p.po:4: error: msgctxt \"menu\"",
         {}},
        {"a syntax error",
         "msgid \"a\nmsgstr \"\"\n",
         {},
         2,
         "p.po:4: error: a string without",
         {}},
    };
    for (const Row& row : rows) {
        testutil::RemoveFile(File("o.txt"));
        Write("p.po", row.whole ? row.entries : kHeader + row.entries);
        std::vector<std::string> args = {"po-import", File("p.po"), "-o", File("o.txt")};
        args.insert(args.end(), row.options.begin(), row.options.end());
        EXPECT_EQ(Run(args), row.status) << row.name << "\n" << Err();
        EXPECT_NE(Err().find(row.message), std::string::npos) << row.name << "\n" << Err();
        if (row.status != 0 && row.records.empty()) {
            EXPECT_FALSE(testutil::Exists(File("o.txt"))) << row.name;
        } else {
            Write("want.txt", DictionaryText(row.records));
            EXPECT_EQ(Body("o.txt"), Body("want.txt")) << row.name;
        }
    }
}

// Catalogues whose header declares a charset of the GBK family: their bytes
// are taken as they are, LF a line break, and the first sequence that is no
// GBK character stops the import with its line and bytes, --lossy or not.
TEST_F(PoCommand, ImportTableOfGbkCatalogues) {
    struct Row {
        const char* name;
        const char* charset;
        std::string entries;
        std::vector<std::string> options;
        int status;
        std::string message;
        std::vector<Record> records;
    };
    const std::vector<Row> rows = {
        {"GBK: a trail byte 0x5C before the closing quote, comments",
         "GBK",
         "# \xBF\xAA\n# r\nmsgid \"\xCA\xBC\\n\xBF\xAA\"\nmsgstr \"\x95\x5C\"\n",
         {},
         0,
         "",
         {{"\xCA\xBC\r\n\xBF\xAA", "\x95\x5C", "\xBF\xAA\r\nr"}}},
        {"gb2312 in lower case, an escaped CR",
         "gb2312",
         "msgid \"a\"\nmsgstr \"\xBF\xAA\\r\"\n",
         {},
         0,
         "",
         {{"a", "\xBF\xAA\r", ""}}},
        {"GB18030 holding GBK bytes only",
         "GB18030",
         "msgid \"b\"\nmsgstr \"\x80\xCA\xBC\"\n",
         {},
         0,
         "",
         {{"b", "\x80\xCA\xBC", ""}}},
        {"GBK: an undefined byte",
         "GBK",
         "msgid \"a\"\nmsgstr \"\"\n\"x\xFF\"\n",
         {},
         1,
         "p.po:6: error: bytes that are no GBK character: \\xFF\n",
         {}},
        {"GBK: a user-defined pair in a comment, --lossy",
         "GBK",
         "# ok\n# \xA1\x40\nmsgid \"a\"\nmsgstr \"\"\n",
         {"--lossy"},
         1,
         "p.po:5: error: bytes that are no GBK character: \\xA1\\x40\n",
         {}},
        {"GBK: a four-byte sequence",
         "GBK",
         "msgid \"a\"\nmsgstr \"\x94\x39\xFC\x36\"\n",
         {},
         1,
         "p.po:5: error: bytes that are no GBK character: \\x94\n",
         {}},
        {"GB18030: a supplementary character",
         "gb18030",
         "msgid \"a\"\nmsgstr \"\x94\x39\xFC\x36\"\n",
         {},
         1,
         "p.po:5: error: a GB18030 four-byte character, which GBK lacks: \\x94\\x39\\xFC\\x36 "
         "(U+1F600)\n",
         {}},
        {"GB18030: a four-byte code of the Basic Multilingual Plane",
         "GB18030",
         "msgid \"\x81\x30\x81\x30\"\nmsgstr \"\"\n",
         {},
         1,
         "p.po:4: error: a GB18030 four-byte character, which GBK lacks: \\x81\\x30\\x81\\x30\n",
         {}},
        {"another charset",
         "ISO-8859-1",
         "msgid \"a\"\nmsgstr \"\"\n",
         {},
         2,
         "p.po:1: error: the catalogue is in ISO-8859-1",
         {}},
    };
    for (const Row& row : rows) {
        testutil::RemoveFile(File("o.txt"));
        Write("p.po", std::string("msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=") +
                          row.charset + "\\n\"\n\n" + row.entries);
        std::vector<std::string> args = {"po-import", File("p.po"), "-o", File("o.txt")};
        args.insert(args.end(), row.options.begin(), row.options.end());
        EXPECT_EQ(Run(args), row.status) << row.name << "\n" << Err();
        const size_t shown = Err().find(row.message);
        EXPECT_NE(shown, std::string::npos) << row.name << "\n" << Err();
        if (row.status != 0) {
            EXPECT_FALSE(testutil::Exists(File("o.txt"))) << row.name;
        } else {
            Write("want.txt", DictionaryText(row.records));
            EXPECT_EQ(Body("o.txt"), Body("want.txt")) << row.name;
        }
    }
}

TEST_F(PoCommand, ImportIntoABase) {
    Write("base.txt", DictionaryText({{"c", "", "rc"}, {"a", "\xBF\xAA", "ra"}, {"e", "", ""}}));
    Write("p.po", kHeader +
                      "# new\nmsgid \"b\"\nmsgstr \"始\"\n\nmsgid \"a\"\nmsgstr \"\"\n\n"
                      "# other\nmsgid \"c\"\nmsgstr \"开\"\n\nmsgid \"d\"\nmsgstr \"\"\n");
    ASSERT_EQ(Run({"po-import", File("p.po"), "--base", File("base.txt"), "-o", File("o.txt")}), 0)
        << Err();
    Write("want.txt", DictionaryText({{"b", "\xCA\xBC", "new"},
                                      {"c", "\xBF\xAA", "rc"},
                                      {"a", "\xBF\xAA", "ra"},
                                      {"d", "", ""},
                                      {"e", "", ""}}));
    EXPECT_EQ(Body("o.txt"), Body("want.txt"));
    EXPECT_NE(Err().find("base.txt:27: warning: no PO entry for \"e\""), std::string::npos)
        << Err();
    EXPECT_EQ(Run({"po-import", File("p.po"), "--base", File("base.txt"), "-o", File("base.txt")}),
              2);
}

// ---- gettext's tools and polib read what po-export writes, and what they
// write back imports as it should.

TEST_F(PoCommand, GettextAndPolibAgree) {
    if (!Have("msgfmt", {"--version"})) GTEST_SKIP() << "gettext's tools are not installed";
    std::string python;
    for (const char* candidate : {"python3", "/usr/bin/python3"}) {
        if (python.empty() && Have(candidate, {"-c", "import polib"})) python = candidate;
    }
    Write("d.txt", DictionaryText(SampleRecords()));
    ASSERT_EQ(Run({"po-export", File("d.txt"), "-o", File("d.po")}), 0) << Err();
    ASSERT_EQ(Run({"po-export", File("d.txt"), "--template", "-o", File("d.pot")}), 0) << Err();
    for (const char* po : {"d.po", "d.pot"}) {
        EXPECT_EQ(testutil::RunProgram(
                      "msgfmt", {"--check-format", "--check-header", "-o", File("m.mo"), File(po)},
                      "", File("out"), File("err")),
                  0)
            << po << "\n"
            << Err();
    }

    // polib reads the same entries as the reader.
    if (python.empty()) {
        ADD_FAILURE() << "python3 with polib (Debian python3-polib) is not installed";
    } else {
        std::string ours;
        po::ParseError error{};
        ASSERT_TRUE(po::Parse(
            ReadBytes(File("d.po")),
            [&](const po::Entry& e) {
                if (e.IsHeader()) return true;
                for (const std::string& s : {e.context.value, e.id.value, e.str[0].value}) {
                    for (unsigned char c : s) {
                        char hex[3];
                        std::snprintf(hex, sizeof hex, "%02x", c);
                        ours += hex;
                    }
                    ours += ' ';
                }
                ours += '\n';
                return true;
            },
            &error));
        Write("read.py",
              "import polib, sys\n"
              "for e in polib.pofile(sys.argv[1]):\n"
              "    texts = (e.msgctxt or '', e.msgid, e.msgstr)\n"
              "    sys.stdout.write(' '.join(t.encode('utf-8').hex() for t in texts) + ' \\n')\n");
        ASSERT_EQ(testutil::RunProgram(python, {File("read.py"), File("d.po")}, "", File("polib"),
                                       File("err")),
                  0)
            << Err();
        EXPECT_EQ(ReadBytes(File("polib")), ours);
    }

    // Edited by gettext's tools: merged with the template, concatenated,
    // marked fuzzy and cleared again.
    auto gettext = [&](const std::string& program, std::vector<std::string> args) {
        ASSERT_EQ(testutil::RunProgram(program, args, "", File("out"), File("err")), 0) << Err();
    };
    gettext("msgmerge", {"-q", "-o", File("merged.po"), File("d.po"), File("d.pot")});
    gettext("msgcat", {"-o", File("cat.po"), File("merged.po")});
    gettext("msgattrib", {"--set-fuzzy", "-o", File("fuzzy.po"), File("cat.po")});
    gettext("msgattrib", {"--clear-fuzzy", "-o", File("cleared.po"), File("fuzzy.po")});
    for (const char* po : {"merged.po", "cat.po", "cleared.po"}) {
        ASSERT_EQ(Run({"po-import", File(po), "-o", File("back.txt")}), 0) << po << Err();
        EXPECT_EQ(Body("back.txt"), Body("d.txt")) << po;
    }
    ASSERT_EQ(Run({"po-import", File("fuzzy.po"), "-o", File("back.txt")}), 0) << Err();
    std::vector<Record> untranslated = SampleRecords();
    for (Record& r : untranslated) r.chi.clear();
    Write("want.txt", DictionaryText(untranslated));
    EXPECT_EQ(Body("back.txt"), Body("want.txt"));
}

// Every byte value in the texts of a dictionary whose name holds control
// bytes, a quote and GBK: gettext's tools take the export, and what msgfmt
// compiled reads back (msgunfmt) as the entries that the reader reads.
TEST_F(PoCommand, GettextReadsEveryByteAsTheReaderDoes) {
    if (!Have("msgfmt", {"--version"})) GTEST_SKIP() << "gettext's tools are not installed";
    std::vector<Record> records;
    char hex[8];
    for (int b = 1; b <= 0xFF; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::snprintf(hex, sizeof hex, "%02X ", b);
        // Single bytes that are GBK characters in every text; the others
        // (lead bytes alone, 0xFF) in the texts --lossy replaces. The
        // context separator only in a remark, which may hold it.
        const bool character = b <= 0x80;
        const std::string text = b == 4 ? "" : byte;
        records.push_back({"byte " + std::string(hex) + (character ? text : ""),
                           "x" + text + "y" + text, "r" + byte + "\r\n" + byte});
    }
    const std::vector<std::string>& all = GbkCharacters();
    for (size_t k = 0; k < all.size(); k += 64) {
        std::string chunk;
        for (size_t j = k; j < std::min(k + 64, all.size()); ++j) chunk += all[j];
        records.push_back({"gbk " + std::to_string(k) + " " + chunk, chunk, chunk});
    }
    const std::string name = "every\x1B[2J\x04\x7F\"\n\xBF\xAA byte.txt";
    Write(name, DictionaryText(records));
    ASSERT_EQ(Run({"po-export", File(name), "--lossy", "-o", File("d.po")}), 0) << Err();

    auto gettext = [&](const std::string& program, std::vector<std::string> args) {
        return testutil::RunProgram(program, args, "", File("out"), File("err")) == 0;
    };
    EXPECT_TRUE(
        gettext("msgfmt", {"--check-format", "--check-header", "-o", File("d.mo"), File("d.po")}))
        << Err();
    EXPECT_EQ(Err(), "");
    EXPECT_TRUE(gettext("msgcat", {"-o", File("cat.po"), File("d.po")})) << Err();
    ASSERT_TRUE(gettext("msgunfmt", {"--no-wrap", "-o", File("u.po"), File("d.mo")})) << Err();
    std::vector<std::string> ours, theirs;
    ASSERT_TRUE(EntryValues(ReadBytes(File("d.po")), &ours));
    ASSERT_TRUE(EntryValues(ReadBytes(File("u.po")), &theirs));
    EXPECT_EQ(ours.size(), records.size());
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t k = 0; k < ours.size(); ++k) EXPECT_EQ(theirs[k], ours[k]);
}

// gettext's own conversion of an export to GBK imports as the export itself:
// every GBK character (trail bytes 0x5C among them), line breaks inside texts
// and remarks of several lines, read as gettext reads them.
TEST_F(PoCommand, ImportsWhatMsgconvWritesInGbk) {
    if (!Have("msgconv", {"--version"})) GTEST_SKIP() << "gettext's tools are not installed";
    std::vector<Record> records;
    const std::vector<std::string>& all = GbkCharacters();
    for (size_t k = 0; k < all.size(); k += 64) {
        std::string chunk;
        for (size_t j = k; j < std::min(k + 64, all.size()); ++j) chunk += all[j];
        const std::string half = chunk.substr(0, chunk.size() / 4 * 2);  // whole characters
        records.push_back(
            {"gbk " + std::to_string(k) + " " + half, half + "\r\n" + chunk, "r\r\n" + chunk});
    }
    std::sort(records.begin(), records.end(),
              [](const Record& a, const Record& b) { return a.eng < b.eng; });
    Write("d.txt", DictionaryText(records));
    ASSERT_EQ(Run({"po-export", File("d.txt"), "-o", File("u.po")}), 0) << Err();
    ASSERT_EQ(testutil::RunProgram("msgconv", {"-t", "GBK", "-o", File("g.po"), File("u.po")}, "",
                                   File("out"), File("err")),
              0)
        << Err();
    ASSERT_NE(ReadBytes(File("g.po")).find("charset=GBK"), std::string::npos);
    ASSERT_EQ(Run({"po-import", File("g.po"), "-o", File("back.txt")}), 0) << Err();
    EXPECT_EQ(Body("back.txt"), Body("d.txt"));
}

}  // namespace
