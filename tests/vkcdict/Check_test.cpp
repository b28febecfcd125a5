// vkcdict check: a table of dictionaries and the diagnostics, exit status and
// summary each gives; and the marker walk that maps records to lines checked
// against the library's loader on the fuzz corpus.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>

#include "VkcdictFixture.h"
#include "dict/GbkCodec.h"
#include "dict/RecordLines.h"
#include "dict/VKCStringDict.h"
#include "vkcdict/files/DictFile.h"
#include "vkcdict/files/FileFormatHints.h"

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
         "d.txt:5: error: record 0 is never found: a lookup of \"b\" returns no record: record 1 "
         "(line 16) is out of place\n"
         "d.txt:16: error: record 1 is out of place: its ENG text \"a\" sorts before that of "
         "record 0 (line 5); lookups need ascending keys (vkcdict sort puts them in order)\n"},
        {"empty ENG text out of place",
         Dict({{"a", "1", ""}, {"b", "2", ""}, {"", "3", ""}, {"c", "4", ""}}),
         {},
         1,
         "d.txt:27: error: record 2 is out of place: its ENG text \"\" sorts before that of record "
         "1 (line 16); lookups need ascending keys (vkcdict sort puts them in order)\n"
         "d.txt:27: error: record 2 is never found: a lookup of \"\" returns no record: it is out "
         "of place\n"},
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
         "stops here, with the 2 records before it and not the 1 record from here on\n"},
        {"end marker missing mid-file",
         [] {  // record 1's CHI end marker line
             std::string text = Dict({{"a", "1", ""}, {"b", "2", ""}, {"c", "3", ""}});
             return text.erase(text.find("2\r\nmirok_res_CHI_End\r\n") + 3, 19);
         }(),
         {},
         1,
         "d.txt:20: error: record 1 has no \"mirok_res_CHI_End\" marker after this line: the load "
         "stops here, with the 1 record before it and not the 2 records from here on\n"},
        {"section taken from the next record",
         Broken(Dict({{"a", "1", ""}, {"b", "2", ""}, {"c", "3", ""}}), "mirok_res_CHI_Start\r\n2"),
         {},
         1,
         "d.txt:26: error: record marker passed over: record 1 (line 16) has no "
         "\"mirok_res_CHI_Start\" marker before it, so the loader takes a later CHI section for "
         "that record and makes no record of this one\n"},
        {"record marker inside a text",
         Dict({{"a", "1\r\nmirok_res_No.", ""}, {"b", "2", ""}}),
         {},
         1,
         "d.txt:11: error: record marker passed over: it lies inside the texts of record 0 (line "
         "5), so the loader makes no record of it\n"},
        {"LF line breaks",
         [] {
             std::string lf = Dict({{"a", "1", ""}});
             for (size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
             return lf;
         }(),
         {},
         1,
         "d.txt: error: no record marker (a line \"mirok_res_No.\" after a line break): the file "
         "uses LF line breaks where a dictionary needs CR LF; convert it with: sed -i "
         "'s/\\r*$/\\r/' d.txt (or unix2dos d.txt, from the dos2unix package or Git for "
         "Windows)\n"},
        {"UTF-8",
         Dict({{"a", "\xE5\xBC\x80\xE5\xA7\x8B", ""}, {"b", "\xE4\xBA\x8C", ""}}),
         {},
         1,
         "d.txt: error: the file looks like UTF-8 (its non-ASCII text is valid UTF-8 and not "
         "valid GBK): a dictionary must be GBK (code page 936); convert it with: iconv -f UTF-8 "
         "-t GBK d.txt > d-gbk.txt\n"},
        {"UTF-8 byte-order mark",
         "\xEF\xBB\xBF" + Dict({{"a", "1", ""}}),
         {},
         1,
         "d.txt: error: the file looks like UTF-8 (it begins with a UTF-8 byte-order mark): a "
         "dictionary must be GBK (code page 936); convert it with: sed '1s/^\\xEF\\xBB\\xBF//' "
         "d.txt | iconv -f UTF-8 -t GBK > d-gbk.txt\n"},
        {"UTF-16",
         [] {
             std::string wide = "\xFF\xFE";
             for (char c : Dict({{"a", "1", ""}})) wide += std::string(1, c) + '\0';
             return wide;
         }(),
         {},
         1,
         "d.txt: error: the file looks like UTF-16 (it begins with a UTF-16 byte-order mark): a "
         "dictionary must be GBK (code page 936); convert it with: iconv -f UTF-16 -t GBK d.txt "
         "> d-gbk.txt\n"},
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
        {"cut short at a record's end",
         Dict({{"a", "1", ""}, {"b", "2", ""}})
             .substr(0, Dict({{"a", "1", ""}, {"b", "2", ""}}).size() - 25),
         {"--strict"},
         1,
         "d.txt: warning: no closing line \"mirok_res_All_End\" after the last record: the file "
         "may have been cut short, and records after the cut would be lost\n"},
        {"closing line without its line break",
         Dict({{"a", "1", ""}}).substr(0, Dict({{"a", "1", ""}}).size() - 2),
         {"--strict"},
         0,
         ""},
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
              "vkcdict check: 2 files, 4 records loaded, 2 errors, 0 warnings, 1 empty "
              "translation\n");
    r = Run({"check", "a.txt", "missing.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing.txt: error: cannot read: "), std::string::npos);
#ifndef _WIN32
    // A name that fits, but not with the current folder in front of it
    // (Windows allows no such file).
    const std::string longName(259 - dir.path().size(), 'n');
    Write(longName, Dict({{"a", "x", ""}}));
    r = Run({"check", longName});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(WithoutSummary(r.err),
              longName +
                  ": error: the path is 260 bytes with the current folder in front, longer than "
                  "the 259 bytes a dictionary's name may have\n");
#endif
    testutil::MakeSparseFile(dir.File("huge.txt"), 200000001);
    r = Run({"check", "huge.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(WithoutSummary(r.err),
              "huge.txt: error: file of 200000001 bytes: the loader refuses files over 200000000 "
              "bytes\n");
    EXPECT_EQ(Run({"check"}).status, 2);
    EXPECT_EQ(Run({"check", "--no-such-option", "a.txt"}).status, 2);
}

#ifndef _WIN32
// A dictionary that is no regular file is refused at once by every command
// that loads one, a FIFO that no one writes to included (a run that waits on
// it is killed).
TEST_F(Vkcdict, PosixOnly_ADictionaryThatIsNoFileIsRefusedWithoutWaiting) {
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    struct Row {
        std::vector<std::string> args;
        std::string dict;
    };
    const Row rows[] = {
        {{"check", "fifo"}, "fifo"},
        {{"lookup", "fifo", "a"}, "fifo"},
        {{"lookup", "--image", "fifo", "a"}, "fifo"},
        {{"sort", "fifo", "-o", "sorted.txt"}, "fifo"},
        {{"check", "/dev/null"}, "/dev/null"},
        {{"lookup", "/dev/zero", "a"}, "/dev/zero"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.dict);
        const Result r = Run(row.args, "", 10);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind(row.dict + ": error: not a regular file (a named pipe, a device or a "
                                         "socket)\n",
                              0),
                  0u)
            << r.err;
    }
    EXPECT_FALSE(testutil::Exists(dir.File("sorted.txt")));
}
#endif

// The walk that describes a damaged file stops where the loader stops and
// finds each record's ENG text where the loader does; the lines the loader's
// parse notes are the walk's, and so are the lines OpenDictionary gives,
// whether the file loads whole (the parse's lines) or not (the walk's). Texts
// that end in a bare LF lose it to the parse's NUL, which must not shift a
// line.
TEST(VkcdictMarkerWalk, AgreesWithTheLoaderOnTheFuzzCorpus) {
    const std::string corpus = std::string(VKC_TEST_DATA_DIR) + "/../../fuzz/corpus/load_text";
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        paths.push_back(entry.path().string());
    }
    const std::string head = "\r\nmirok_res_No.0\r\nmirok_res_ENG_Start\r\n";
    const std::string rest =
        "mirok_res_ENG_End\r\nmirok_res_CHI_Start\r\n\n\nmirok_res_CHI_End\r\n"
        "mirok_res_Remark00_Start\r\n\nmirok_res_Remark00_End\r\n";
    const testutil::TempDir dir;
    const std::string made = dir.File("lf-closed.txt");
    testutil::WriteBytes(made, "h\n\n" + head + "a\n\n" + rest + head + "b\n" + rest + head + "\n" +
                                   rest + "\r\n\r\n\r\nmirok_res_All_End\r\n");
    paths.push_back(made);
    for (const std::string& path : paths) {
        const std::string bytes = testutil::ReadBytes(path);
        VKCStringDict dict;
        std::vector<uint32_t> noted;
        bool loaded = false;
        {
            recordlines::Noting noting(&noted);
            loaded = dict.LoadFromTXTFileA(path.c_str()) != 0;
        }
        const vkcdict::MarkerWalk walk = vkcdict::WalkMarkers(bytes);
        ASSERT_EQ(walk.records.size(), dict.count) << path;
        EXPECT_EQ(walk.broken, !loaded && !walk.markers.empty()) << path;
        vkcdict::LineCounter lines(bytes);
        std::vector<uint32_t> walked;
        for (uint32_t i = 0; i < dict.count; ++i) {
            EXPECT_EQ(walk.records[i].eng, static_cast<uint64_t>(dict.entries[i].eng - dict.pool));
            walked.push_back(static_cast<uint32_t>(lines.LineOf(walk.records[i].marker + 2)));
        }
        ASSERT_GE(noted.size(), walked.size()) << path;
        EXPECT_EQ(std::vector<uint32_t>(noted.begin(), noted.begin() + walked.size()), walked)
            << path;
        if (walk.broken) {
            EXPECT_EQ(noted.back(), lines.LineOf(walk.brokenMarker + 2)) << path;
        }

        FILE* sink = std::tmpfile();
        ASSERT_NE(sink, nullptr);
        vkcdict::Diagnostics diagnostics(false, sink);
        vkcdict::DictFile file;
        if (vkcdict::OpenDictionary(path, vkcdict::LoadPolicy::kReport, diagnostics, &file)) {
            EXPECT_EQ(file.lines, walked) << path;
        }
        std::fclose(sink);
    }
    EXPECT_GE(paths.size(), 10u);
}

}  // namespace
}  // namespace vkcdicttest

namespace vkcdicttest {
namespace {

// The UTF-8 hint on real text: a GBK page is never taken for UTF-8, in
// whole or cut anywhere, and the same page converted to UTF-8 always is.
TEST(VkcdictEncodingHint, TellsAGbkTextFromItsUtf8Form) {
    const std::string gbkText =
        testutil::ReadBytes(std::string(VKC_TEST_DATA_DIR) + "/gbk-iconv-lite-gbkFile.txt");
    std::string utf8;
    ASSERT_TRUE(gbk::ToUtf8(gbkText.data(), gbkText.size(), &utf8, nullptr, true));
    ASSERT_NE(utf8, gbkText);
    for (size_t cut = 0; cut <= gbkText.size(); cut += 97) {
        EXPECT_EQ(vkcdict::EncodingHint(gbkText.substr(cut), "d.txt"), "") << cut;
        const std::string utf8Part = utf8.substr(std::min(cut, utf8.size()));
        const bool nonAscii = std::any_of(utf8Part.begin(), utf8Part.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x80;
        });
        // A cut inside a character leaves a stray continuation byte: not UTF-8.
        const bool whole =
            utf8Part.empty() || (static_cast<unsigned char>(utf8Part[0]) & 0xC0) != 0x80;
        EXPECT_EQ(
            vkcdict::EncodingHint(utf8Part, "d.txt").rfind("the file looks like UTF-8", 0) == 0,
            nonAscii && whole)
            << cut;
    }
}

}  // namespace
}  // namespace vkcdicttest
