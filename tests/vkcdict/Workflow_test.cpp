// extract, merge, sort and stats end to end: tables of inputs and the exact
// dictionaries written, and the translator's round trip extract -> translate
// -> merge -> subst, which must leave no text of the scripts untranslated.
#include <algorithm>
#include <new>
#include <thread>

#include "VkcdictFixture.h"
#include "vkcdict/files/Input.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace vkcdicttest {
namespace {

using samples::Record;

TEST_F(Vkcdict, ExtractWritesEachUntranslatedTextOnce) {
    Write("a.txt", "say \"Go\"\n[ Go ] \"Stop\"\n\"\" [  ] \"Done\" \"x mirok_res_ENG_End\"");
    Write("b.txt", "\n\n[Stop]\n[Zed] [\"quoted\"] [" + std::string(2048, 'L') + "] [open");
    Write("d.txt", Dict({{"Done", "D", ""}, {"Stop", "", ""}}));
    const Result r = Run({"extract", "a.txt", "b.txt", "--dict", "d.txt", "-o", "new.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Body("new.txt"), Dict({{"\"quoted\"", "", "b.txt:4 (1 occurrence)"},
                                     {"Go", "", "a.txt:1 (2 occurrences)"},
                                     {"Stop", "", "a.txt:2 (2 occurrences)"},
                                     {"Zed", "", "b.txt:4 (1 occurrence)"}})
                                   .substr(75 - 6));
    EXPECT_EQ(r.err,
              "a.txt:3: warning: \"x mirok_res_ENG_End\" holds a marker of the dictionary file, "
              "which cannot store it\n"
              "b.txt:4: warning: text of 2048 bytes: texts of 2048 bytes or more are never looked "
              "up\n"
              "b.txt:4: warning: '[' is never closed: the rest of the script holds no text\n"
              "vkcdict extract: 4 texts to translate (6 occurrences) written to new.txt\n");
    EXPECT_EQ(Run({"extract", "a.txt", "-o", "a.txt"}).status, 2);
    EXPECT_EQ(Run({"extract", "a.txt", "--dict", "missing.txt", "-o", "n.txt"}).status, 2);
}

struct MergeCase {
    const char* name;
    std::vector<std::vector<Record>> inputs;
    std::vector<std::string> options;
    std::vector<Record> merged;
    int status;
    std::string diagnostics;
};

TEST_F(Vkcdict, MergeTakesTheUnionAndReportsConflicts) {
    const std::vector<MergeCase> cases = {
        {"union in order",
         {{{"b", "2", ""}, {"d", "4", "r"}}, {{"a", "1", ""}, {"c", "", ""}}},
         {},
         {{"a", "1", ""}, {"b", "2", ""}, {"c", "", ""}, {"d", "4", "r"}},
         0,
         ""},
        {"a later translation fills an empty one; the first remark stays",
         {{{"a", "", ""}, {"b", "2", "first"}}, {{"a", "1", "x"}, {"b", "", "second"}}},
         {},
         {{"a", "1", "x"}, {"b", "2", "first"}},
         0,
         ""},
        {"conflict keeps the first",
         {{{"a", "1", ""}}, {{"a", "one", ""}}},
         {},
         {{"a", "1", ""}},
         1,
         "in1.txt:5: error: conflict: \"a\" is translated \"one\" here and \"1\" at in0.txt:5; "
         "keeping that one\n"},
        {"conflict keeps the last",
         {{{"a", "1", ""}}, {{"a", "one", ""}}},
         {"--prefer=last"},
         {{"a", "one", ""}},
         1,
         "in1.txt:5: error: conflict: \"a\" is translated \"one\" here and \"1\" at in0.txt:5; "
         "keeping this one\n"},
        {"unsorted files: each key's records in file order",
         {{{"c", "", ""}, {"b", "2", ""}},
          {{"a", "1", ""}, {"c", "3", ""}},
          {{"c", "x", ""}, {"a", "", ""}}},
         {},
         {{"a", "1", ""}, {"b", "2", ""}, {"c", "3", ""}},
         1,
         "in2.txt:5: error: conflict: \"c\" is translated \"x\" here and \"3\" at in1.txt:16; "
         "keeping that one\n"},
        {"duplicates inside one file",
         {{{"a", "1", ""}, {"a", "1", ""}, {" a", "2", ""}}},
         {},
         {{" a", "2", ""}, {"a", "1", ""}},
         0,
         "in0.txt:16: note: duplicate key \"a\" (first at in0.txt:5): merged\n"},
    };
    for (const MergeCase& c : cases) {
        std::vector<std::string> args = {"merge"};
        for (size_t i = 0; i < c.inputs.size(); ++i) {
            Write("in" + std::to_string(i) + ".txt", Dict(c.inputs[i]));
            args.push_back("in" + std::to_string(i) + ".txt");
        }
        args.insert(args.end(), {"-o", "out.txt"});
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Result r = Run(args);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(WithoutSummary(r.err), c.diagnostics) << c.name;
        // The first input's header line is kept: the whole file is as expected.
        EXPECT_EQ(Read("out.txt"), Dict(c.merged)) << c.name;
    }
    EXPECT_EQ(Run({"merge", "in0.txt", "-o", "in0.txt"}).status, 2);
    EXPECT_EQ(Run({"merge", "in0.txt", "-o", "x.txt", "--prefer=middle"}).status, 2);
}

TEST_F(Vkcdict, SortingTwiceGivesTheSameBytes) {
    Write("d.txt", "no header\r\n" + Dict({{"b", "2", ""},
                                           {"a", "", ""},
                                           {"B", "3", ""},
                                           {"a", "1", "r"},
                                           {"\xB0\xA1", "x", ""}})
                                         .substr(75));
    Result r = Run({"sort", "d.txt", "-o", "s1.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Body("s1.txt"),
              Dict({{"B", "3", ""}, {"a", "1", "r"}, {"b", "2", ""}, {"\xB0\xA1", "x", ""}})
                  .substr(75 - 6));
    EXPECT_EQ(Run({"sort", "s1.txt", "-o", "s2.txt"}).status, 0);
    EXPECT_EQ(Read("s2.txt"), Read("s1.txt"));
    EXPECT_EQ(Run({"check", "s1.txt"}).status, 0);
    EXPECT_EQ(Run({"sort", "d.txt", "-o", "d.txt"}).status, 2);
}

TEST_F(Vkcdict, StatsCountsWhatTheSubstitutionDoes) {
    Write("d.txt", Dict({{"a", "1", ""}, {"b", "", ""}}));
    Write("s1.txt", "[a] \"a\" [b] [c] [ c ] []");
    Write("s2.txt", "\"c\" \"d\" [" + std::string(2048, 'x') + "]");
    Result r = Run({"stats", "d.txt", "s1.txt", "s2.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "s1.txt: 6 texts, 2 translated (33.3%), 4 left as they are (66.7%), 2 distinct "
              "untranslated\n"
              "s2.txt: 3 texts, 0 translated (0.0%), 3 left as they are (100.0%), 2 distinct "
              "untranslated\n"
              "total: 9 texts, 2 translated (22.2%), 7 left as they are (77.8%), 3 distinct "
              "untranslated\n");
    Write("a,b.txt", "[a]");
    r = Run({"stats", "--csv", "d.txt", "a,b.txt"});
    EXPECT_EQ(r.out,
              "script,texts,translated,translated_percent,left,left_percent,distinct_untranslated\n"
              "\"a,b.txt\",1,1,100.0,0,0.0,0\n"
              "total,1,1,100.0,0,0.0,0\n");
}

// A folder among the inputs is named as such wherever a file is read; subst
// goes on with the next script, the others stop as for a missing file.
TEST_F(Vkcdict, AFolderAmongTheInputsIsNamed) {
    ASSERT_TRUE(testutil::MakeDir(dir.File("folder")));
    Write("d.txt", Dict({{"a", "1", ""}}));
    Write("s.txt", "[a]");
    Write("p.po", "msgid \"a\"\nmsgstr \"\"\n");
    const std::vector<std::vector<std::string>> runs = {
        {"subst", "d.txt", "folder", "s.txt", "-d", "out"},
        {"stats", "d.txt", "folder"},
        {"extract", "folder", "-o", "n.txt"},
        {"po-import", "p.po", "folder", "-o", "n.txt"},
        {"merge", "d.txt", "folder", "-o", "n.txt"},
        {"sort", "folder", "-o", "n.txt"},
        {"decompile", "folder", "-o", "n.txt"},
    };
    for (const std::vector<std::string>& args : runs) {
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("folder: error: is a directory\n"), std::string::npos)
            << args[0] << "\n"
            << r.err;
        EXPECT_FALSE(testutil::Exists(dir.File("n.txt"))) << args[0];
    }
    EXPECT_EQ(Read("out/s.txt"), "[1]");
    // Streams are read to their end as before.
    EXPECT_EQ(Run({"subst", "d.txt", "-", "-o", "-"}, "[a] [b]").out, "[1] [b]");
}

// In-process: a pipe read to its end (as a shell's <(...) gives one), and
// the name that main() gives to running out of memory.
TEST(Input, PipesAreReadAndTheInputInWorkIsNamed) {
#ifndef _WIN32
    testutil::TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string sent(200000, 'x');
    std::thread writer([&] { testutil::WriteBytes(fifo, sent); });
    std::string got, error;
    EXPECT_TRUE(vkcdict::ReadInput(fifo, &got, &error)) << error;
    writer.join();
    EXPECT_EQ(got, sent);
#endif
    const std::string script = "s.txt";
    auto current = [] {
        const std::string* name = vkcdict::WorkingOn::Current();
        return name == nullptr ? std::string("(none)") : *name;
    };
    const std::string before = current();
    {
        vkcdict::WorkingOn outer("d.txt");
        { vkcdict::WorkingOn inner(script); }
        EXPECT_EQ(current(), "d.txt");
    }
    EXPECT_EQ(current(), before);
    try {
        vkcdict::WorkingOn working(script);
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
        EXPECT_EQ(current(), script);
    }
}

struct UsageCase {
    std::vector<std::string> args;
    std::string err;  // the first lines of the message
};

TEST_F(Vkcdict, UsageErrorsNameTheirCommand) {
    const std::string commands =
        "Commands: check, extract, merge, sort, stats, subst, compile, decompile, lookup, match, "
        "po-export, po-import, qa, edit\n";
    const std::vector<UsageCase> cases = {
        {{"frobnicate"}, "vkcdict: error: unknown command 'frobnicate'\n" + commands},
        {{}, "vkcdict: error: a command is required\n" + commands},
        {{"sort"}, "vkcdict: error: sort: DICT is required\nUsage: vkcdict sort [OPTIONS] DICT\n"},
        {{"po-import", "p.po"},
         "vkcdict: error: po-import: --output is required\nUsage: vkcdict po-import [OPTIONS] "
         "FILE...\n"},
        {{"merge", "a", "-o", "b", "--prefer=middle"}, "vkcdict: error: merge: --prefer: "},
    };
    for (const UsageCase& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    }
    // Every option's placeholder names its role (FILE, DICT, DIR, ...).
    for (const char* command : {"check", "extract", "merge", "sort", "stats", "subst", "compile",
                                "decompile", "lookup", "match", "po-export", "po-import", "qa"}) {
        const Result r = Run({command, "--help"});
        EXPECT_EQ(r.status, 0);
        for (size_t at = 0; (at = r.out.find("\n  -", at)) != std::string::npos; ++at) {
            const std::string line = r.out.substr(at + 1, r.out.find('\n', at + 1) - at - 1);
            EXPECT_EQ(line.find(" TEXT"), std::string::npos) << command << ": " << line;
        }
    }
    const std::string match = Run({"match", "--help"}).out;
    for (const char* result : {"\n  1  a piece", "\n  2  the rest", "\n  0  nothing", "content)"}) {
        EXPECT_NE(match.find(result), std::string::npos) << result;
    }
}

// Every numeric option of every command takes decimal numbers in its range
// and nothing else: the rest is bad usage, with the command's usage line,
// where a conversion would read it as another number (or as none).
TEST_F(Vkcdict, NumericOptionsTakeDecimalNumbersOnly) {
    const struct {
        const char* command;
        const char* option;
        std::vector<const char*> values;
        int status;  // of a run on a translation of 9 bytes, 2 bytes of ENG text
    } rows[] = {
        {"qa",
         "--max-bytes",
         {"-5", "99999999999999999999999", "18446744073709551616", "", "5x", "0x10", " 5", "+5",
          "5.0", "nan", "1e3"},
         2},
        {"qa",
         "--max-ratio",
         {"nan", "NaN", "inf", "-inf", "-1", "1e999", "1e-400", "2x", "", "0x1p1", ",5", " 2", "1e",
          "."},
         2},
        {"qa", "--max-bytes", {"010", "9", "0"}, 0},  // decimal 10, not octal 8; 0: no limit
        {"qa", "--max-ratio", {"0", "0.0"}, 0},
        {"qa", "--max-bytes", {"0008"}, 1},
        {"qa", "--max-ratio", {"4.5", ".5E+1"}, 0},
        {"qa", "--max-ratio", {"4e0"}, 1},
    };
    Write("d.txt", Dict({{"Go", "123456789", ""}}));
    for (const auto& row : rows) {
        for (const char* value : row.values) {
            const Result r = Run({row.command, "d.txt", "--check", "length", row.option, value});
            const std::string what = row.command + (" " + std::string(row.option)) + " '" + value;
            EXPECT_EQ(r.status, row.status) << what << "'\n" << r.err;
            if (row.status != 2) continue;
            EXPECT_EQ(r.out, "") << what;
            const std::string head = "vkcdict: error: " + std::string(row.command) + ": " +
                                     row.option + ": '" + value + "' is not ";
            EXPECT_EQ(r.err.substr(0, head.size()), head) << what << "'\n" << r.err;
            EXPECT_NE(r.err.find("\nUsage: vkcdict " + std::string(row.command) + " "),
                      std::string::npos)
                << what;
        }
    }
}

// A crafted file name cannot rewrite the screen: every control byte of a name
// is shown as \xNN wherever the name is printed, ordinary GBK and UTF-8 names
// as they are, and JSON keeps its own escapes.
TEST_F(Vkcdict, FileNamesAreShownWithTheirControlBytesEscaped) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold control bytes";
#else
    const std::string crafted = "bad\x1B[2J\nname.txt";
    const std::string shown = "bad\\x1B[2J\\x0Aname.txt";
    const std::string gbk = "\xBF\xAA\xCA\xBC.txt";
    const std::string utf8 = "\xE5\xBC\x80\xE5\xA7\x8B.txt";
    std::string broken = Dict({{"a", "1", ""}});
    broken.erase(broken.rfind("mirok_res_CHI_End"));
    Write("broken" + crafted, broken);
    Write(gbk, broken);
    Write(utf8, broken);
    Write(crafted, Dict({{"Go", "Go", ""}}));
    Write("d.txt", Dict({{"Go", kStart, ""}}));
    Write("s.txt", "[Go]");
    const struct {
        std::vector<std::string> args;
        bool toStdout;
        std::string expected;
    } rows[] = {
        {{"check", "broken" + crafted}, false, "broken" + shown + ":9: error: "},
        {{"sort", "d.txt", "-o", crafted + ".out"}, false, "written to " + shown + ".out"},
        {{"qa", crafted}, true, shown + ":5: warning: the translation is the ENG text"},
        {{"qa", "d.txt", crafted, "--check", "inconsistent"}, true, "\"Go\" at " + shown + ":5"},
        {{"qa", crafted, "--format", "json"}, true, "{\"file\":\"bad\\u001b[2J\\u000aname.txt\","},
        {{"merge", crafted, "d.txt", "-o", "m.txt"}, false, " at " + shown + ":5; keeping"},
        {{"lookup", crafted, "Stop"}, false, shown + ": error: \"Stop\" not found"},
        {{"stats", "d.txt", crafted}, true, shown + ": 0 texts"},
        {{"stats", "--csv", "d.txt", crafted}, true, "\n" + shown + ",0,"},
        {{"po-export", "d.txt", "-o", crafted + ".po"}, false, "written to " + shown + ".po"},
        {{"check", gbk}, false, gbk + ":9: error: "},
        {{"check", utf8}, false, utf8 + ":9: error: "},
    };
    for (const auto& row : rows) {
        const Result r = Run(row.args);
        const std::string& stream = row.toStdout ? r.out : r.err;
        EXPECT_NE(stream.find(row.expected), std::string::npos)
            << row.args[0] << " " << row.args[1] << "\n"
            << stream;
        const std::string both = r.out + r.err;
        EXPECT_EQ(both.find('\x1B'), std::string::npos) << row.args[0] << "\n" << both;
        EXPECT_EQ(both.find("\nname.txt"), std::string::npos) << row.args[0] << "\n" << both;
    }
#endif
}

// The translator's round trip on the shipped example and the test scripts.
TEST_F(Vkcdict, ExtractTranslateMergeSubstTranslatesEveryText) {
    Write("d.txt", testutil::ReadBytes(std::string(VKC_EXAMPLES_DIR) + "/dict.txt"));
    Write("s1.txt", testutil::ReadBytes(std::string(VKC_EXAMPLES_DIR) + "/script.txt"));
    Write("s2.txt",
          testutil::ReadBytes(std::string(VKC_TEST_DATA_DIR) + "/renpy-tutorial_quickstart.rpy"));
    ASSERT_EQ(Run({"extract", "s1.txt", "s2.txt", "--dict", "d.txt", "-o", "new.txt"}).status, 0);
    // Translate: every CHI text filled in.
    std::string filled = Read("new.txt");
    const std::string empty = "mirok_res_CHI_Start\r\n\r\n";
    size_t n = 0;
    for (size_t at; (at = filled.find(empty)) != std::string::npos; ++n) {
        filled.insert(at + empty.size() - 2, "T" + std::to_string(n));
    }
    EXPECT_GT(n, 100u);
    Write("new.txt", filled);
    ASSERT_EQ(Run({"merge", "d.txt", "new.txt", "-o", "all.txt"}).status, 0);
    EXPECT_EQ(Run({"check", "all.txt"}).status, 0);
    // Every text of the scripts that can have a translation now has one.
    const Result r = Run({"stats", "all.txt", "s1.txt", "s2.txt"});
    EXPECT_NE(r.out.find("\ntotal: "), std::string::npos);
    EXPECT_NE(r.out.substr(r.out.find("\ntotal: ")).find(", 0 distinct untranslated"),
              std::string::npos);
    ASSERT_EQ(Run({"subst", "all.txt", "s1.txt", "s2.txt", "-d", "out"}).status, 0);
    const std::string out = Read("out/s1.txt");
    for (const char* untouched : {"\"The storm had been raging", "\"Saved\"", "[Chapter One]"}) {
        EXPECT_EQ(out.find(untouched), std::string::npos) << untouched;
    }
}

}  // namespace
}  // namespace vkcdicttest

namespace vkcdicttest {
namespace {

// Every command that works with a dictionary's records refuses one that does
// not load completely, or that holds no record, and writes nothing: a sorted,
// merged or exported copy would silently lack the records after a break, and
// a translated script the texts they translate. --partial works on with the
// records that load, with a warning. (check only reports; see Check_test.)
TEST_F(Vkcdict, CommandsRefuseADictionaryThatDoesNotLoadWhole) {
    std::string broken = Dict({{"a", "1", ""}, {"b", "2", ""}, {"c", "3", ""}});
    broken.erase(broken.find("2\r\nmirok_res_CHI_End\r\n") + 3, 19);  // record 1's CHI end
    Write("broken.txt", broken);
    Write("none.txt", "no records here\r\n");
    testutil::MakeDir(dir.File("folder"));
    testutil::MakeSparseFile(dir.File("huge.txt"), 200000001);
    Write("good.txt", Dict({{"z", "9", ""}}));
    Write("one.txt", Dict({{"a", "1", ""}}));
    Write("s.txt", "[a] [b] [c]");
    Write("p.po", "msgid \"a\"\nmsgstr \"x\"\n");
    const struct {
        const char* dict;
        std::string diagnostic;  // the first line of stderr
    } dicts[] = {
        {"broken.txt",
         "broken.txt:20: error: record 1 has no \"mirok_res_CHI_End\" marker after this line: the "
         "load stops here, with the 1 record before it and not the 2 records from here on\n"},
        {"none.txt",
         "none.txt: error: no record marker (a line \"mirok_res_No.\" after a line break): the "
         "file holds no records\n"},
        {"folder", "folder: error: is a directory\n"},
        {"huge.txt",
         "huge.txt: error: file of 200000001 bytes: the loader refuses files over 200000000 "
         "bytes\n"},
    };
    const std::vector<std::vector<std::string>> commands = {
        {"sort", "D", "-o", "out.txt"},
        {"merge", "good.txt", "D", "-o", "out.txt"},
        {"po-export", "D", "-o", "out.txt"},
        {"po-import", "p.po", "--base", "D", "-o", "out.txt"},
        {"subst", "D", "s.txt", "-o", "out.txt"},
        {"compile", "D", "-o", "out.txt"},
        {"extract", "s.txt", "--dict", "D", "-o", "out.txt"},
        {"stats", "D", "s.txt"},
        {"lookup", "D", "a"},
        {"match", "D"},
    };
    for (const auto& d : dicts) {
        for (std::vector<std::string> args : commands) {
            std::replace(args.begin(), args.end(), std::string("D"), std::string(d.dict));
            const std::string name = args[0] + " " + d.dict;
            Write("out.txt", "kept");
            Result r = Run(args, "a\n");
            EXPECT_EQ(r.status, 2) << name;
            EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), d.diagnostic) << name;
            EXPECT_EQ(r.out, "") << name;
            EXPECT_EQ(Read("out.txt"), "kept") << name;
            if (std::string(d.dict) != "broken.txt") continue;

            // With --partial the record before the break is used.
            args.push_back("--partial");
            r = Run(args, "a\n");
            EXPECT_NE(r.status, 2) << name;
            EXPECT_NE(r.err.find("broken.txt: warning: working on with the 1 record that the "
                                 "loader loads (--partial)\n"),
                      std::string::npos)
                << name << r.err;
            if (args[0] == "subst") {
                EXPECT_EQ(Read("out.txt"), "[1] [b] [c]");
            } else if (args[0] == "sort") {
                EXPECT_EQ(Body("out.txt"), Body("one.txt"));
            }
        }
    }
}

// A dictionary that looks like UTF-8 (or UTF-16) would be written garbled into
// a GBK script, a merged dictionary, an image or a PO file: every command that
// writes its texts refuses it with check's hint as an error and writes
// nothing, unless given --allow-non-gbk, which writes it as it is with the
// hint as a warning. Commands that only read it warn and go on.
TEST_F(Vkcdict, WritersRefuseADictionaryThatLooksLikeUtf8) {
    const std::string start = "\xE5\xBC\x80\xE5\xA7\x8B";  // "start" in UTF-8
    Write("utf8.txt", Dict({{"a", start, ""}, {"b", "\xE4\xBA\x8C", ""}}));
    Write("bom.txt", "\xEF\xBB\xBF" + Dict({{"a", "1", ""}}));
    // Loads in part, so the file is walked to describe it.
    std::string broken = Dict({{"a", start, ""}, {"b", "2", ""}, {"c", "3", ""}});
    broken.erase(broken.find("2\r\nmirok_res_CHI_End\r\n") + 3, 19);  // record 1's CHI end
    Write("broken.txt", broken);
    Write("good.txt", Dict({{"z", "9", ""}}));
    Write("s.txt", "[a] [b]");
    Write("p.po", "msgid \"a\"\nmsgstr \"x\"\n");
    const std::string gbkNeeded = ": a dictionary must be GBK (code page 936); convert it with: ";
    const struct {
        const char* dict;
        std::vector<std::string> options;
        std::string hint;
    } dicts[] = {
        {"utf8.txt",
         {},
         "the file looks like UTF-8 (its non-ASCII text is valid UTF-8 and not valid GBK)" +
             gbkNeeded + "iconv -f UTF-8 -t GBK utf8.txt > utf8-gbk.txt"},
        {"bom.txt",
         {},
         "the file looks like UTF-8 (it begins with a UTF-8 byte-order mark)" + gbkNeeded +
             "sed '1s/^\\xEF\\xBB\\xBF//' bom.txt | iconv -f UTF-8 -t GBK > bom-gbk.txt"},
        {"broken.txt",
         {"--partial"},
         "the file looks like UTF-8 (its non-ASCII text is valid UTF-8 and not valid GBK)" +
             gbkNeeded + "iconv -f UTF-8 -t GBK broken.txt > broken-gbk.txt"},
    };
    const std::vector<std::vector<std::string>> writers = {
        {"sort", "D", "-o", "out.txt"},
        {"merge", "good.txt", "D", "-o", "out.txt"},
        {"po-export", "D", "-o", "out.txt"},
        {"po-import", "p.po", "--base", "D", "-o", "out.txt"},
        {"subst", "D", "s.txt", "-o", "out.txt"},
        {"compile", "D", "-o", "out.txt"},
    };
    const std::vector<std::vector<std::string>> readers = {
        {"stats", "D", "s.txt"},
        {"lookup", "D", "a"},
        {"match", "D"},
        {"extract", "s.txt", "--dict", "D", "-o", "out.txt"},
        {"qa", "D"},
    };
    const auto command = [](std::vector<std::string> args, const std::string& dict,
                            const std::vector<std::string>& options) {
        std::replace(args.begin(), args.end(), std::string("D"), dict);
        args.insert(args.end(), options.begin(), options.end());
        return args;
    };
    for (const auto& d : dicts) {
        const std::string error = std::string(d.dict) + ": error: " + d.hint + "\n";
        const std::string warning = std::string(d.dict) + ": warning: " + d.hint + "\n";
        for (const std::vector<std::string>& writer : writers) {
            std::vector<std::string> args = command(writer, d.dict, d.options);
            const std::string name = args[0] + " " + d.dict;
            Write("out.txt", "kept");
            Result r = Run(args);
            EXPECT_EQ(r.status, 2) << name;
            EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), error) << name;
            EXPECT_NE(r.err.find(std::string(d.dict) +
                                 ": error: not used: this command would write its texts garbled "
                                 "(--allow-non-gbk writes them as they are)\n"),
                      std::string::npos)
                << name << r.err;
            EXPECT_EQ(Read("out.txt"), "kept") << name;

            args.push_back("--allow-non-gbk");
            r = Run(args);
            EXPECT_NE(r.status, 2) << name << r.err;
            EXPECT_NE(r.err.find(warning), std::string::npos) << name << r.err;
        }
        for (const std::vector<std::string>& reader : readers) {
            const std::vector<std::string> args = command(reader, d.dict, d.options);
            const Result r = Run(args, "a\n");
            EXPECT_NE(r.status, 2) << args[0] << " " << d.dict << r.err;
            EXPECT_NE(r.err.find(warning), std::string::npos) << args[0] << " " << d.dict << r.err;
        }
    }
    // Written as it is when allowed: the script takes the UTF-8 bytes.
    ASSERT_EQ(Run({"subst", "utf8.txt", "s.txt", "-o", "out.txt", "--allow-non-gbk"}).status, 0);
    EXPECT_EQ(Read("out.txt"), "[" + start + "] [\xE4\xBA\x8C]");
}

#ifndef _WIN32
// The loaders take a dictionary's name of up to 259 bytes, counted with the
// current folder in front of a relative name. A longer one is named as such,
// with its length, by every command that loads a dictionary, text or image.
TEST_F(Vkcdict, PosixOnly_ANameTooLongForTheLoaderIsNamed) {
    const std::string folder(200, 'f');
    ASSERT_TRUE(testutil::MakeDir(dir.File(folder)));
    std::string cwd;
    {
        testutil::ScopedCwd in(dir.path());
        cwd = testutil::CurrentDir();
    }
    const std::string limit = ", longer than the 259 bytes a dictionary's name may have\n";
    const struct {
        std::string name;  // without its extension
        std::string message;
    } names[] = {
        // 255 bytes: too long only with the current folder in front.
        {folder + "/" + std::string(50, 'd'), "the path is " + std::to_string(cwd.size() + 256) +
                                                  " bytes with the current folder in front" +
                                                  limit},
        {folder + "/" + std::string(60, 'e'), "the path is 265 bytes" + limit},
    };
    const std::vector<std::vector<std::string>> commands = {
        {"check", "D.txt"},
        {"sort", "D.txt", "-o", "out.txt"},
        {"merge", "D.txt", "-o", "out.txt"},
        {"compile", "D.txt", "-o", "out.txt"},
        {"po-export", "D.txt", "-o", "out.txt"},
        {"stats", "D.txt", "s.txt"},
        {"qa", "D.txt"},
        {"lookup", "D.txt", "a"},
        {"subst", "D.txt", "s.txt", "-o", "out.txt"},
        {"decompile", "D.img", "-o", "out.txt"},
        {"lookup", "--image", "D.img", "a"},
        {"subst", "--image", "D.img", "s.txt", "-o", "out.txt"},
    };
    Write("s.txt", "[a]");
    for (const auto& n : names) {
        Write(n.name + ".txt", Dict({{"a", "1", ""}}));
        Write(n.name + ".img", samples::Image({{"a", "1", ""}}));
        for (std::vector<std::string> args : commands) {
            std::string& dict = *std::find_if(args.begin(), args.end(), [](const std::string& a) {
                return a.rfind("D.", 0) == 0;
            });
            dict = n.name + dict.substr(1);
            Write("out.txt", "kept");
            const Result r = Run(args);
            EXPECT_EQ(r.status, 2) << args[0] << " " << dict;
            EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), dict + ": error: " + n.message)
                << args[0] << " " << dict;
            EXPECT_EQ(Read("out.txt"), "kept") << args[0] << " " << dict;
        }
    }
}
#endif

}  // namespace
}  // namespace vkcdicttest
