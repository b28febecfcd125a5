// The built vkcsubst run end to end on files in a temporary folder; its output
// is compared with a plain statement of the rewriting rule.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "tool/RewriteScript.h"

namespace {

using samples::DictionaryText;
using samples::Record;
using testutil::Exists;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

using Translations = std::map<std::string, std::string>;

const std::string kStartChi = "\xBF\xAA\xCA\xBC";  // GBK for "start"

// The rule: each text from '[' to the next ']', or from '"' to the next '"',
// is replaced by its translation when the text, cut at a NUL and stripped of
// blanks at both ends, has a non-empty one and is shorter than 2048 bytes.
std::string Rewrite(const std::string& script, const Translations& translations) {
    std::string out;
    size_t i = 0;
    while (i < script.size()) {
        char c = script[i];
        out += c;
        if (c != '[' && c != '"') {
            ++i;
            continue;
        }
        size_t close = script.find(c == '[' ? ']' : '"', i + 1);
        if (close == std::string::npos) {
            out += script.substr(i + 1);
            break;
        }
        std::string text = script.substr(i + 1, close - i - 1);
        std::string key = text.substr(0, text.find('\0'));
        key.erase(0, key.find_first_not_of(' '));
        key.erase(key.find_last_not_of(' ') + 1);
        auto found = translations.find(key);
        bool replace = text.size() < 2048 && found != translations.end() && !found->second.empty();
        out += replace ? found->second : text;
        out += script[close];
        i = close + 1;
    }
    return out;
}

std::string Dictionary(const Translations& translations) {
    std::vector<Record> records;  // a map iterates in byte order: the file's order
    for (const auto& [eng, chi] : translations) records.push_back({eng, chi, ""});
    return DictionaryText(records);
}

class Vkcsubst : public ::testing::Test {
protected:
    // Runs the tool in the temporary folder with the given arguments, and with
    // VKC_DEBUG set when `debug`; returns its exit status and keeps what it
    // printed. A run longer than `timeLimit` seconds (0: no limit) is killed.
    int Run(const std::vector<std::string>& args, bool debug = false, int timeLimit = 0) {
        testutil::ScopedCwd cwd(dir.path());
        testutil::SetEnv("VKC_DEBUG", debug ? "1" : nullptr);
        int status =
            testutil::RunProgram(VKCSUBST_PATH, args, "", "stdout.txt", "stderr.txt", timeLimit);
        testutil::SetEnv("VKC_DEBUG", nullptr);
        printedOut = ReadBytes(dir.File("stdout.txt"));
        printedErr = ReadBytes(dir.File("stderr.txt"));
        return status;
    }

    // Writes script and dictionary, runs the tool in mode 2 and checks that it
    // was silent and that its output follows the rule.
    void ExpectRewrite(const std::string& script, const Translations& translations) {
        WriteBytes(dir.File("script.txt"), script);
        WriteBytes(dir.File("dict.txt"), Dictionary(translations));
        ASSERT_EQ(Run({"2", "script.txt", "dict.txt", "out.txt"}), 0);
        EXPECT_EQ(printedOut, "");
        EXPECT_EQ(printedErr, "");
        const std::string got = ReadBytes(dir.File("out.txt"));
        const std::string want = Rewrite(script, translations);
        if (want.size() < 4096) {
            EXPECT_EQ(got, want);
        } else {  // a long script's failure shows where, not megabytes
            const size_t at =
                std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin();
            EXPECT_TRUE(got == want) << "sizes " << got.size() << " and " << want.size()
                                     << ", first difference at " << at;
        }
    }

    TempDir dir;
    std::string printedOut;
    std::string printedErr;
};

TEST_F(Vkcsubst, ReplacesBracketedAndQuotedTextsWithTheirBlanks) {
    Translations translations = {{"Start", kStartChi}};
    std::string script = "say \"Start\"\n[ Start ]\n\"Start\t\"";
    ExpectRewrite(script, translations);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")),
              "say \"" + kStartChi + "\"\n[" + kStartChi + "]\n\"Start\t\"");
}

TEST_F(Vkcsubst, LeavesUntranslatedEmptyAndUnknownTextsAlone) {
    Translations translations = {{"", "never"}, {"Later", ""}, {"Start", kStartChi}};
    ExpectRewrite("[] \"\" [ Later ] \"Unknown\" plain text, no delimiters\n", translations);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")),
              "[never] \"never\" [ Later ] \"Unknown\" plain text, no delimiters\n");
}

TEST_F(Vkcsubst, ADelimiterInsideATextBelongsToIt) {
    Translations translations = {
        {"Start", kStartChi}, {"go [north]", "N"}, {"say \"Start\"", "S"}, {"a \\", "B"}};
    ExpectRewrite("\"go [north]\" [say \"Start\"] [\"Start] \"a \\\"Start\"", translations);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "\"N\" [S] [\"Start] \"B\"Start\"");
}

TEST_F(Vkcsubst, AnUnclosedDelimiterCopiesTheRestUnchanged) {
    Translations translations = {{"Start", kStartChi}};
    ExpectRewrite("\"Start\" [Start", translations);
    ExpectRewrite("[Start] \"Start\n[Start]\n", translations);
    ExpectRewrite("[", translations);
    ExpectRewrite("\"", translations);
}

TEST_F(Vkcsubst, ANulIsAnOrdinaryByteOfTheScript) {
    Translations translations = {{"St", "X"}, {"Start", kStartChi}};
    std::string script("[St\0art] \"a\0\" [\0\0]", 19);
    ExpectRewrite(script, translations);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), std::string("[X] \"a\0\" [\0\0]", 14));
}

TEST_F(Vkcsubst, TextsOf2048BytesOrMoreAreCopiedUnchanged) {
    std::string fits(2047, 'a');
    std::string tooLong(2048, 'b');
    Translations translations = {{fits, "F"}, {tooLong, "T"}};
    ExpectRewrite("[" + fits + "]\"" + tooLong + "\"[ " + fits + " ]", translations);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "[F]\"" + tooLong + "\"[ " + fits + " ]");
}

TEST_F(Vkcsubst, WrongModeOrArgumentCountWritesNothing) {
    WriteBytes(dir.File("script.txt"), "\"Start\"");
    WriteBytes(dir.File("dict.txt"), Dictionary({{"Start", kStartChi}}));
    const std::vector<std::vector<std::string>> calls = {
        {"1", "script.txt", "dict.txt", "out.txt"},
        {"2x", "script.txt", "dict.txt", "out.txt"},
        {"", "script.txt", "dict.txt", "out.txt"},
        {"2", "script.txt", "dict.txt", "out.txt", "extra"},
        {"2", "script.txt", "dict.txt"},
        {},
    };
    for (const auto& args : calls) {
        EXPECT_EQ(Run(args), 0);
        EXPECT_FALSE(Exists(dir.File("out.txt"))) << args.size();
        EXPECT_EQ(printedOut + printedErr, "");
    }
}

TEST_F(Vkcsubst, AMissingScriptCreatesNoOutput) {
    WriteBytes(dir.File("dict.txt"), Dictionary({{"Start", kStartChi}}));
    EXPECT_EQ(Run({"2", "missing.txt", "dict.txt", "out.txt"}), 0);
    EXPECT_FALSE(Exists(dir.File("out.txt")));
    EXPECT_EQ(printedOut + printedErr, "");
}

TEST_F(Vkcsubst, WithoutAUsableDictionaryTheScriptIsCopied) {
    std::string script = "[Start] \"Start\"";
    WriteBytes(dir.File("script.txt"), script);
    EXPECT_EQ(Run({"2", "script.txt", "missing.txt", "out.txt"}), 0);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), script);
    EXPECT_EQ(printedOut + printedErr, "");
}

TEST_F(Vkcsubst, ABrokenDictionaryStillTranslatesWithTheRecordsBeforeTheBreak) {
    std::string text = Dictionary({{"A", "1"}, {"B", "2"}, {"C", "3"}});
    text.erase(text.rfind("mirok_res_CHI_Start"), 5);  // record C loses its CHI start marker
    WriteBytes(dir.File("dict.txt"), text);
    WriteBytes(dir.File("script.txt"), "[A][B][C]");
    EXPECT_EQ(Run({"2", "script.txt", "dict.txt", "out.txt"}), 0);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "[1][2][C]");
    EXPECT_EQ(printedOut + printedErr, "");
}

TEST_F(Vkcsubst, TheDictionaryMayBeABareNameOrAnAbsolutePath) {
    WriteBytes(dir.File("script.txt"), "[Start]");
    WriteBytes(dir.File("dict.txt"), Dictionary({{"Start", kStartChi}}));
    EXPECT_EQ(Run({"2", "script.txt", dir.File("dict.txt"), dir.File("out1.txt")}), 0);
    EXPECT_EQ(ReadBytes(dir.File("out1.txt")), "[" + kStartChi + "]");
    EXPECT_EQ(Run({"2", "script.txt", "dict.txt", "out2.txt"}), 0);
    EXPECT_EQ(ReadBytes(dir.File("out2.txt")), "[" + kStartChi + "]");
}

// A script longer than a piece is read in pieces: every kind of text, closed
// or not, straddles a piece boundary at several offsets, and the text after
// it still follows the rule.
TEST_F(Vkcsubst, TextsStraddlingThePiecesOfALongScriptFollowTheRule) {
    const std::string fits(2047, 'a');
    Translations translations = {{"Start", kStartChi}, {fits, "F"}};
    struct Case {
        std::string text;
        std::vector<size_t> before;  // bytes of `text` in front of the boundary
    };
    const std::vector<Case> cases = {
        {"[ Start ]", {0, 1, 2, 8, 9}},
        {"\"" + fits + "\"", {1, 1000, 2048, 2049}},
        {"\"" + std::string(2048, 'b') + "\"", {1, 2049, 2050}},
        {"[" + std::string(3000, 'c') + "[Start] \"Start\"" + "]", {1, 2049, 3001, 3005}},
        {"\"Start [Start]", {1, 5, 2000}},  // never closed: the rest is plain
    };
    for (const Case& c : cases) {
        for (size_t before : c.before) {
            SCOPED_TRACE(c.text.substr(0, 12) + " " + std::to_string(before));
            std::string script(kScriptPieceSize - before, 'x');
            script += c.text + " [Start] \"" + fits + "\" end";
            ExpectRewrite(script, translations);
        }
    }
    // Many pieces of dense texts of every length, some not translated.
    std::mt19937 random(11);
    std::string script;
    while (script.size() < 3 * kScriptPieceSize) {
        const size_t length = random() % 4 == 0 ? random() % 3000 : random() % 12;
        const char opening = random() % 2 == 0 ? '[' : '"';
        script += std::string(random() % 40, '.') + opening + std::string(length, 'a') +
                  (opening == '[' ? ']' : '"');
        if (length < 12) translations[std::string(length, 'a')] = std::to_string(length % 3);
    }
    ExpectRewrite(script + "[aaa", translations);
}

// The output may name the script itself, directly or through a link: the
// script is read in pieces while a temporary file takes the output, which
// replaces the script only when complete.
TEST_F(Vkcsubst, TheOutputMayBeTheScriptItself) {
    const Translations translations = {{"Start", kStartChi}};
    const std::string script = "[Start]" + std::string(2 * kScriptPieceSize, 'x') + "\"Start\"";
    WriteBytes(dir.File("dict.txt"), Dictionary(translations));
    std::vector<std::string> outputs = {"script.txt"};
#ifndef _WIN32
    outputs.push_back("hard.txt");
    outputs.push_back("soft.txt");
#endif
    for (const std::string& output : outputs) {
        SCOPED_TRACE(output);
        namespace fs = std::filesystem;
        fs::remove(dir.File(output));
        WriteBytes(dir.File("script.txt"), script);
        if (output == "hard.txt") fs::create_hard_link(dir.File("script.txt"), dir.File(output));
        if (output == "soft.txt") fs::create_symlink("script.txt", dir.File(output));
        ASSERT_EQ(Run({"2", "script.txt", "dict.txt", output}), 0);
        // Compared as a whole: a failure would print megabytes. A hard link
        // is replaced under its own name; the script's name keeps the old.
        EXPECT_TRUE(ReadBytes(dir.File(output)) == Rewrite(script, translations));
        EXPECT_TRUE(ReadBytes(dir.File("script.txt")) ==
                    (output == "hard.txt" ? script : Rewrite(script, translations)));
    }
}

#ifndef _WIN32
// On Windows the echo goes to the real debugger output, which no test sees.
TEST_F(Vkcsubst, PosixOnly_TheArgumentsGoToStderrOnlyWhenAskedFor) {
    WriteBytes(dir.File("script.txt"), "x");
    EXPECT_EQ(Run({"2", "script.txt", "dict.txt", "out.txt"}, true), 0);
    EXPECT_EQ(printedOut, "");
    EXPECT_EQ(printedErr,
              "2\nscript.txt\ndict.txt\nout.txt\n"
              "vkcsubst: dict.txt: dictionary not loaded: No such file or directory\n");
    EXPECT_EQ(Run({"1", "a", "b", "c", "d"}, true), 0);
    EXPECT_EQ(printedErr, "1\na\nb\nc\n");
}
#endif

#ifndef _WIN32
// Why a dictionary gave no record, or a script was not read, is told with
// VKC_DEBUG, and only then; a FIFO, which no one writes to, is refused at once.
TEST_F(Vkcsubst, PosixOnly_DebugOutputSaysWhyNothingLoadedOrWasRead) {
    WriteBytes(dir.File("script.txt"), "[Start]");
    WriteBytes(dir.File("empty.txt"), "");
    WriteBytes(dir.File("none.txt"), "no records here\r\n");
    WriteBytes(dir.File("dict.txt"), Dictionary({{"Start", kStartChi}}));
    testutil::MakeDir(dir.File("folder"));
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    // A name that fits, but not with the current folder in front of it.
    const std::string longName(259 - dir.path().size(), 'n');
    WriteBytes(dir.File(longName), Dictionary({{"Start", kStartChi}}));
    const std::string notRead = ": script not read, nothing written: ";
    struct Row {
        std::string script, dict, message;
    };
    const std::vector<Row> rows = {
        {"script.txt", "empty.txt", "empty.txt: dictionary not loaded: the file is empty"},
        {"script.txt", "folder", "folder: dictionary not loaded: it is a folder"},
        {"script.txt", "none.txt", "none.txt: dictionary not loaded: no record"},
        {"script.txt", "fifo", "fifo: dictionary not loaded: not a regular file"},
        {"script.txt", "/dev/null", "/dev/null: dictionary not loaded: not a regular file"},
        {"script.txt", longName,
         longName + ": dictionary not loaded: the path is longer than the 259 bytes"},
        {"script.txt", "dict.txt", "dict.txt: 1 records loaded"},
        {"missing.txt", "dict.txt", "missing.txt" + notRead + "No such file or directory"},
        {"folder", "dict.txt", "folder" + notRead + "Is a directory"},
        {"fifo", "dict.txt", "fifo" + notRead + "not a regular file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.script + " " + row.dict);
        // Ten seconds are plenty: a run that waits on the FIFO is killed.
        EXPECT_EQ(Run({"2", row.script, row.dict, "out.txt"}, true, 10), 0);
        EXPECT_NE(printedErr.find("vkcsubst: " + row.message), std::string::npos) << printedErr;
        EXPECT_EQ(Exists(dir.File("out.txt")), row.script == "script.txt");
        EXPECT_EQ(Run({"2", row.script, row.dict, "out.txt"}, false, 10), 0);
        EXPECT_EQ(printedErr, "");
        testutil::RemoveFile(dir.File("out.txt"));
    }
}

// A full disk (the file size limit, SIGXFSZ ignored) or a kill (SIGXFSZ's
// default action) while the output is written leaves the script whole, even
// when the script is the output.
TEST_F(Vkcsubst, PosixOnly_AFullDiskOrAKillLeavesTheScriptWhole) {
    std::string script;
    while (script.size() < 40000) script += "[Start] \"Start\" and the rest of the line\n";
    WriteBytes(dir.File("dict.txt"), Dictionary({{"Start", kStartChi}}));
    for (const char* trap : {"trap '' XFSZ; ", ""}) {
        SCOPED_TRACE(trap);
        WriteBytes(dir.File("script.txt"), script);
        testutil::ScopedCwd cwd(dir.path());
        testutil::RunProgram("/bin/sh",
                             {"-c", std::string(trap) + "ulimit -f 16; exec '" + VKCSUBST_PATH +
                                        "' 2 script.txt dict.txt script.txt"});
        EXPECT_TRUE(ReadBytes(dir.File("script.txt")) == script);
    }
}

// The output keeps the replaced file's mode and links; a read-only output is
// not written, nor is the dictionary, whatever names it.
TEST_F(Vkcsubst, PosixOnly_TheOutputKeepsModesAndLinksAndNeverReplacesTheDictionary) {
    namespace fs = std::filesystem;
    const std::string dict = Dictionary({{"Start", kStartChi}});
    WriteBytes(dir.File("dict.txt"), dict);
    WriteBytes(dir.File("script.txt"), "[Start]");
    fs::create_hard_link(dir.File("dict.txt"), dir.File("hard.txt"));
    fs::create_symlink("dict.txt", dir.File("soft.txt"));
    const std::vector<std::string> names = {"dict.txt", "./dict.txt", dir.File("dict.txt"),
                                            "hard.txt", "soft.txt"};
    for (const std::string& output : names) {
        EXPECT_EQ(Run({"2", "script.txt", "dict.txt", output}, true), 0);
        EXPECT_EQ(ReadBytes(dir.File("dict.txt")), dict) << output;
        EXPECT_NE(printedErr.find("it is the dictionary"), std::string::npos) << printedErr;
    }
    struct Row {
        const char* output;
        fs::perms mode;
        bool written;
    };
    const Row rows[] = {{"private.txt", fs::perms(0600), true},
                        {"run.sh", fs::perms(0755), true},
                        {"readonly.txt", fs::perms(0444), false}};
    for (const Row& row : rows) {
        WriteBytes(dir.File(row.output), "old");
        fs::permissions(dir.File(row.output), row.mode);
        fs::create_symlink(row.output, dir.File(std::string("link-") + row.output));
        EXPECT_EQ(Run({"2", "script.txt", "dict.txt", std::string("link-") + row.output}), 0);
        EXPECT_EQ(ReadBytes(dir.File(row.output)), row.written ? "[" + kStartChi + "]" : "old");
        EXPECT_EQ(fs::status(dir.File(row.output)).permissions(), row.mode) << row.output;
        EXPECT_TRUE(fs::is_symlink(dir.File(std::string("link-") + row.output)));
    }
    EXPECT_EQ(Run({"2", "script.txt", "dict.txt", "/dev/null"}), 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}
#endif

// Real scripts: every quoted and bracketed text of a script translated, one
// in three left out of the dictionary; the output follows the rule byte for
// byte (including the ink script's long texts and the BOM and CR LF files).
TEST_F(Vkcsubst, RealScriptsFollowTheRule) {
    for (const char* name :
         {"ink-TheIntercept.ink", "renpy-tutorial_quickstart.rpy", "gbk-iconv-lite-gbkFile.txt"}) {
        std::string script = ReadBytes(std::string(VKC_TEST_DATA_DIR) + "/" + name);
        ASSERT_FALSE(script.empty()) << name;
        Translations translations;
        size_t n = 0;
        for (size_t i = 0; i < script.size(); ++i) {
            if (script[i] != '"' && script[i] != '[') continue;
            size_t close = script.find(script[i] == '[' ? ']' : '"', i + 1);
            if (close == std::string::npos) break;
            std::string key = script.substr(i + 1, close - i - 1);
            key.erase(0, key.find_first_not_of(' '));
            key.erase(key.find_last_not_of(' ') + 1);
            if (++n % 3 != 0 && key.find("mirok_res_") == std::string::npos) {
                translations[key] = "<" + std::to_string(n) + ">";
            }
            i = close;
        }
        ExpectRewrite(script, translations);
        EXPECT_NE(ReadBytes(dir.File("out.txt")), script) << name;
    }
}

TEST_F(Vkcsubst, TheShippedExampleTranslates) {
    std::string script = ReadBytes(VKC_EXAMPLES_DIR "/script.txt");
    WriteBytes(dir.File("dict.txt"), ReadBytes(VKC_EXAMPLES_DIR "/dict.txt"));
    WriteBytes(dir.File("script.txt"), script);
    ASSERT_EQ(Run({"2", "script.txt", "dict.txt", "out.txt"}), 0);
    std::string out = ReadBytes(dir.File("out.txt"));
    // "  Say nothing  " and [Chapter One]
    EXPECT_NE(out.find("\"\xB1\xA3\xB3\xD6\xB3\xC1\xC4\xAC\":"), std::string::npos);
    EXPECT_NE(out.find("title [\xB5\xDA\xD2\xBB\xD5\xC2]"), std::string::npos);
    EXPECT_NE(out.find("title []"), std::string::npos);
    EXPECT_NE(out.find("\"Neither of them spoke for a long while.\""), std::string::npos);
    EXPECT_NE(out.find("notify \"Saved\""), std::string::npos);
    EXPECT_EQ(out.find("\"Goodnight.\""), std::string::npos);
}

}  // namespace
