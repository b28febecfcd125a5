// vkcdict check: a table of dictionaries and the diagnostics, exit status and
// summary each gives; and the marker walk that maps records to lines checked
// against the library's loader on the fuzz corpus.
#include <filesystem>

#include "VkcdictFixture.h"
#include "dict/VKCStringDict.h"
#include "vkcdict/DictFile.h"

namespace vkcdicttest {
namespace {

struct CheckCase {
    const char* name;
    std::string dict;
    std::vector<std::string> options;
    int status;
    std::string diagnostics;  // every line but the summary
};

std::string Broken(std::string text, const std::string& marker) {
    text.erase(text.rfind(marker), marker.size());
    return text;
}

TEST_F(Vkcdict, CheckReportsWhatKeepsRecordsFromWorking) {
    const std::string bad = "\x95\x5C";  // a GBK character whose second byte is '\'
    const std::vector<CheckCase> cases = {
        {"clean", Dict({{"A", "1", ""}, {"B", "2", ""}}), {}, 0, ""},
        {"out of order",
         Dict({{"b", "1", ""}, {"a", "2", ""}, {"c", "3", ""}}),
         {},
         1,
         "d.txt:5: error: record 0 is never found: a lookup of \"b\" returns no record: the "
         "records are not in ascending order of their ENG texts (vkcdict sort puts them in "
         "order)\n"},
        {"duplicates",
         Dict({{"a", "1", ""}, {"a", "1", ""}, {"b", "2", ""}, {"b", "3", ""}}),
         {},
         1,
         "d.txt:5: error: record 0 is never found: a lookup of \"a\" returns record 1 (line 16), "
         "its duplicate\n"
         "d.txt:16: error: duplicate key: record 1 repeats the ENG text \"a\" of record 0 (line "
         "5); the translations are the same\n"
         "d.txt:38: error: duplicate key: record 3 repeats the ENG text \"b\" of record 2 (line "
         "27); the translations differ\n"
         "d.txt:38: error: record 3 is never found: a lookup of \"b\" returns record 2 (line 27), "
         "its duplicate\n"},
        {"blanks",
         Dict({{" a", "1", ""}, {"b ", "2", ""}}),
         {},
         1,
         "d.txt:5: error: record 0 is never found: a lookup of \" a\" returns no record: every "
         "lookup trims the blanks at either end of its text\n"
         "d.txt:16: error: record 1 is never found: a lookup of \"b \" returns no record: every "
         "lookup trims the blanks at either end of its text\n"},
        {"untranslated",
         Dict({{"a", "", ""}, {"b", "x", ""}}),
         {"--list-untranslated"},
         0,
         "d.txt:5: note: record 0: empty translation of \"a\"\n"},
        {"invalid GBK",
         Dict({{"a", "ok\xFF\x81", ""}, {"b", "\x81\x20\x80", ""}}),
         {},
         1,
         "d.txt:5: error: record 0: invalid GBK in the CHI text at byte 2: \\xFF (1 more "
         "sequence)\n"
         "d.txt:16: error: record 1: invalid GBK in the CHI text at byte 0: \\x81\n"},
        {"misread trail byte",
         Dict({{"a", bad + "x" + bad, ""}}),
         {},
         0,
         "d.txt:5: warning: record 0: the CHI text holds \"" + bad +
             "\" (\\x95\\x5C) at byte 0 and 1 more character, whose second byte is '\\': script "
             "parsers that read bytes misread it\n"},
        {"strict",
         Dict({{"a", bad, ""}}),
         {"--strict"},
         1,
         "d.txt:5: warning: record 0: the CHI text holds \"" + bad +
             "\" (\\x95\\x5C) at byte 0, whose second byte is '\\': script parsers that read "
             "bytes misread it\n"},
        {"long key",
         Dict({{std::string(2047, 'a'), "1", ""}, {std::string(2048, 'b'), "2", ""}}),
         {},
         0,
         "d.txt:16: warning: record 1: ENG text of 2048 bytes: the substitution never looks up "
         "texts of 2048 bytes or more\n"},
        {"broken",
         Broken(Dict({{"a", "1", ""}, {"b", "2", ""}, {"c", "3", ""}}), "mirok_res_CHI_End"),
         {},
         1,
         "d.txt:31: error: record 2 has no \"mirok_res_CHI_End\" marker after this line: the load "
         "stops here, using the 2 records before it and not the 1 record from here on\n"},
        {"section taken from the next record",
         Broken(Dict({{"a", "1", ""}, {"b", "2", ""}, {"c", "3", ""}}), "mirok_res_CHI_Start\r\n2"),
         {},
         1,
         "d.txt:26: error: record marker passed over: it lies inside the texts of record 1 (line "
         "16), so the loader makes no record of it\n"},
        {"NUL",
         Dict({{"a", "1", ""}}) + std::string("\0", 1) + Dict({{"b", "2", ""}}),
         {},
         1,
         "d.txt:19: error: NUL byte at offset 263: the loader sees nothing after it (1 record "
         "marker not seen)\n"},
        {"marker word at the first byte",
         Dict({{"a", "1", ""}}).substr(77),
         {},
         1,
         "d.txt:1: error: the record marker word at the very first byte has no line break before "
         "it: the loader makes no record of it\n"
         "d.txt: error: no record marker (a line \"mirok_res_No.\" after a line break): the file "
         "holds no records\n"},
        {"no records",
         "just text\r\n",
         {},
         1,
         "d.txt: error: no record marker (a line \"mirok_res_No.\" after a line break): the file "
         "holds no records\n"},
        {"empty", "", {}, 1, "d.txt: error: empty file: the loader refuses it\n"},
    };
    for (const CheckCase& c : cases) {
        Write("d.txt", c.dict);
        std::vector<std::string> args = {"check", "d.txt"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Result r = Run(args);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(WithoutSummary(r.err), c.diagnostics) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
    }
}

TEST_F(Vkcdict, CheckEndsWithItsSummaryAndFailsOnUnreadableFiles) {
    Write("a.txt", Dict({{"a", "", ""}, {"b", "x", ""}}));
    Write("b.txt", Dict({{"b", "x", ""}, {"a", "y", ""}}));
    Result r = Run({"check", "a.txt", "b.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1),
              "vkcdict check: 2 files, 4 records loaded, 1 error, 0 warnings, 1 empty "
              "translation\n");
    r = Run({"check", "a.txt", "missing.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing.txt: error: cannot read: "), std::string::npos);
    testutil::MakeSparseFile(dir.File("huge.txt"), 200000001);
    r = Run({"check", "huge.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(WithoutSummary(r.err),
              "huge.txt: error: file of 200000001 bytes: the loader refuses files over 200000000 "
              "bytes\n");
    EXPECT_EQ(Run({"check"}).status, 2);
    EXPECT_EQ(Run({"check", "--no-such-option", "a.txt"}).status, 2);
}

// The walk that gives records their lines stops where the loader stops and
// finds each record's ENG text where the loader does.
TEST(VkcdictMarkerWalk, AgreesWithTheLoaderOnTheFuzzCorpus) {
    const std::string corpus = std::string(VKC_TEST_DATA_DIR) + "/../../fuzz/corpus/load_text";
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string bytes = testutil::ReadBytes(entry.path().string());
        VKCStringDict dict;
        const bool loaded = dict.LoadFromTXTFileA(entry.path().string().c_str()) != 0;
        const vkcdict::MarkerWalk walk = vkcdict::WalkMarkers(bytes);
        ASSERT_EQ(walk.records.size(), dict.count) << entry.path();
        EXPECT_EQ(walk.broken, !loaded && !walk.markers.empty()) << entry.path();
        for (uint32_t i = 0; i < dict.count; ++i) {
            EXPECT_EQ(walk.records[i].eng, static_cast<uint64_t>(dict.entries[i].eng - dict.pool));
        }
        ++files;
    }
    EXPECT_GE(files, 10u);
}

}  // namespace
}  // namespace vkcdicttest
