// vkcdict subst: the same bytes as vkcsubst on the same inputs, through every
// way of naming outputs; its summary; its refusals. And the scripts that stats,
// extract and qa read in pieces: the same texts and lines as the whole script.
#include <random>

#include "VkcdictFixture.h"
#include "vkcdict/files/ScriptTexts.h"

namespace vkcdicttest {
namespace {

// vkcsubst's output for `script` and `dict` (files in the folder).
std::string Vkcsubst(testutil::TempDir& dir, const std::string& script, const std::string& dict) {
    testutil::ScopedCwd cwd(dir.path());
    EXPECT_EQ(testutil::RunProgram(VKCSUBST_PATH, {"2", script, dict, "vkcsubst.out"}), 0);
    return testutil::ReadBytes(dir.File("vkcsubst.out"));
}

// A dictionary translating two texts in three of the script's texts, one left
// empty, found as vkcsubst's own test finds them.
std::string DictionaryFor(const std::string& script) {
    std::map<std::string, std::string> translations;
    size_t n = 0;
    for (size_t i = 0; i < script.size(); ++i) {
        if (script[i] != '"' && script[i] != '[') continue;
        const size_t close = script.find(script[i] == '[' ? ']' : '"', i + 1);
        if (close == std::string::npos) break;
        std::string key = script.substr(i + 1, close - i - 1);
        key = key.substr(0, key.find('\0'));
        key.erase(0, key.find_first_not_of(' '));
        key.erase(key.find_last_not_of(' ') + 1);
        if (key.find("mirok_res_") == std::string::npos && ++n % 3 != 0) {
            translations[key] = n % 5 == 0 ? "" : "<" + std::to_string(n) + ">";
        }
        i = close;
    }
    std::vector<samples::Record> records;
    for (const auto& [eng, chi] : translations) records.push_back({eng, chi, ""});
    return Dict(records);
}

// What a walk hands out, as comparable text: each text's line, delimiter,
// bytes and key, then the line of a delimiter never closed.
template <class Walk>
std::string Texts(Walk& walk) {
    std::string seen;
    vkcdict::ScriptText t;
    while (walk.Next(&t)) {
        seen += std::to_string(walk.LineOf(t.text.opening)) + static_cast<char>(*t.text.opening) +
                std::string(reinterpret_cast<const char*>(t.text.begin), t.text.length) + "|" +
                (t.lookedUp ? std::string(t.key) : "-") + "\n";
    }
    if (const unsigned char* open = walk.Unclosed()) {
        seen += "unclosed at " + std::to_string(walk.LineOf(open)) + "\n";
    }
    return seen;
}

TEST(ScriptStream, FindsTheTextsOfTheWholeScriptWhateverThePieces) {
    testutil::TempDir dir;
    std::mt19937 random(2048);
    const std::string bytes = "[]\"a \n\x81";
    for (int round = 0; round < 300; ++round) {
        std::string script;
        for (size_t n = random() % 120; n > 0; --n) {
            // Now and then a stretch long enough to be no lookup.
            script +=
                random() % 40 == 0 ? std::string(2100, 'x') : std::string(1, bytes[random() % 7]);
        }
        const std::string path = dir.File("s.txt");
        testutil::WriteBytes(path, script);
        vkcdict::ScriptWalk whole(nullptr, script);
        const std::string expected = Texts(whole);
        for (size_t piece : {1, 3, 64, 4096}) {
            vkcdict::InputPieces in;
            std::string error;
            ASSERT_TRUE(in.Open(path, &error)) << error;
            vkcdict::ScriptStream stream(nullptr, &in, piece);
            EXPECT_EQ(Texts(stream), expected) << piece << " " << testing::PrintToString(script);
        }
    }
}

TEST_F(Vkcdict, SubstWritesTheBytesVkcsubstWrites) {
    const std::vector<std::string> scripts = {
        std::string(VKC_EXAMPLES_DIR) + "/script.txt",
        std::string(VKC_TEST_DATA_DIR) + "/ink-TheIntercept.ink",
        std::string(VKC_TEST_DATA_DIR) + "/renpy-tutorial_quickstart.rpy",
        std::string(VKC_TEST_DATA_DIR) + "/gbk-iconv-lite-gbkFile.txt",
    };
    for (const std::string& path : scripts) {
        const std::string script = testutil::ReadBytes(path);
        Write("s.txt", script);
        Write("d.txt", DictionaryFor(script));
        const std::string expected = Vkcsubst(dir, "s.txt", "d.txt");
        EXPECT_NE(expected, script) << path;
        // The dictionary of a UTF-8 script looks like UTF-8: taken as it is.
        Result r = Run({"subst", "d.txt", "s.txt", "-o", "out.txt", "--allow-non-gbk"});
        EXPECT_EQ(r.status, 0) << path;
        EXPECT_EQ(Read("out.txt"), expected) << path;
        r = Run({"subst", "d.txt", "-", "-o", "-", "--allow-non-gbk"}, script);  // stdin to stdout
        EXPECT_EQ(r.status, 0) << path;
        EXPECT_EQ(r.out, expected) << path;
        ASSERT_EQ(Run({"compile", "d.txt", "-o", "d.bin", "--allow-non-gbk"}).status, 0);
        r = Run({"subst", "--image", "d.bin", "s.txt", "-o", "out.txt"});
        EXPECT_EQ(Read("out.txt"), expected) << path;
    }
    // The shipped example with its own dictionary.
    Write("d.txt", testutil::ReadBytes(std::string(VKC_EXAMPLES_DIR) + "/dict.txt"));
    Write("s.txt", testutil::ReadBytes(scripts[0]));
    const Result r = Run({"subst", "d.txt", "s.txt", "-o", "out.txt"});
    EXPECT_EQ(Read("out.txt"), Vkcsubst(dir, "s.txt", "d.txt"));
    EXPECT_EQ(r.err,
              "s.txt: 18 texts, 14 translated (77.8%), 4 left as they are (22.2%), 2 distinct "
              "untranslated\n"
              "total: 18 texts, 14 translated (77.8%), 4 left as they are (22.2%), 2 distinct "
              "untranslated\n");
}

TEST_F(Vkcdict, SubstRewritesManyScriptsIntoAFolderOrInPlace) {
    const std::vector<std::string> scripts = {"[a] \"b\"", "\"a\" [ c ] [", "plain"};
    const std::vector<std::string> translated = {"[1] \"b\"", "\"1\" [3] [", "plain"};
    Write("d.txt", Dict({{"a", "1", ""}, {"b", "", ""}, {"c", "3", ""}}));
    ASSERT_TRUE(testutil::MakeDir(dir.File("in")));
    std::vector<std::string> args = {"subst", "d.txt"};
    for (size_t i = 0; i < scripts.size(); ++i) {
        Write("in/s" + std::to_string(i), scripts[i]);
        args.push_back("in/s" + std::to_string(i));
    }
    std::vector<std::string> toFolder = args;
    toFolder.insert(toFolder.end(), {"-d", "out"});
    EXPECT_EQ(Run(toFolder).status, 0);
    std::vector<std::string> inPlace = args;
    inPlace.insert(inPlace.end(), {"--in-place", "--backup", ".orig"});
    EXPECT_EQ(Run(inPlace).status, 0);
    for (size_t i = 0; i < scripts.size(); ++i) {
        const std::string name = "s" + std::to_string(i);
        EXPECT_EQ(Read("out/" + name), translated[i]);
        EXPECT_EQ(Read("in/" + name), translated[i]);
        EXPECT_EQ(Read("in/" + name + ".orig"), scripts[i]);
    }
    // Refused: no output mode, two modes, -o for several scripts, an output
    // that is an input, two scripts of one name into one folder.
    Write("s.txt", "[a]");
    ASSERT_TRUE(testutil::MakeDir(dir.File("other")));
    Write("other/s.txt", "[c]");
    for (const std::vector<std::string>& refused : std::vector<std::vector<std::string>>{
             {"subst", "d.txt", "s.txt"},
             {"subst", "d.txt", "s.txt", "-o", "x", "--in-place"},
             {"subst", "d.txt", "s.txt", "in/s0", "-o", "x"},
             {"subst", "d.txt", "s.txt", "-o", "s.txt"},
             {"subst", "d.txt", "s.txt", "-o", "d.txt"},
             {"subst", "d.txt", "s.txt", "other/s.txt", "-d", "out"},
             {"subst", "d.txt", "s.txt", "--backup", ".b", "-o", "x"},
             // One script twice (its backup would get the first translation),
             // an empty backup suffix, the dictionary translated in place.
             {"subst", "d.txt", "s.txt", "./s.txt", "--in-place", "--backup", ".x"},
             {"subst", "d.txt", "s.txt", "--in-place", "--backup", ""},
             {"subst", "d.txt", "s.txt", "d.txt", "--in-place"},
             // A folder that cannot be made, with the cause.
             {"subst", "d.txt", "s.txt", "-d", "s.txt/x"},
         }) {
        const Result r = Run(refused);
        EXPECT_EQ(r.status, 2) << refused.size() << r.err;
        EXPECT_EQ(Read("s.txt"), "[a]");
        EXPECT_FALSE(testutil::Exists(dir.File("x")));
        EXPECT_FALSE(testutil::Exists(dir.File("s.txt.x")));
        if (refused.back() == "s.txt/x") {
            EXPECT_NE(r.err.find("cannot create the folder: "), std::string::npos) << r.err;
        }
    }
}

// A script given where the dictionary belongs gets a note with the command
// in the right order, only when the first file holds no record marker line
// and the second does; the command's result stays as it was.
TEST_F(Vkcdict, SubstNotesAScriptGivenBeforeTheDictionary) {
    const std::string dict = Dict({{"a", "1", ""}});
    std::string lfDict = dict;  // a dictionary saved with LF line breaks
    for (size_t at = lfDict.find("\r\n"); at != std::string::npos; at = lfDict.find("\r\n", at)) {
        lfDict.erase(at, 1);
    }
    const std::string script = "[a] \"b\"";
    const std::string marker = "mirok_res_No.0\r\n";
    struct Row {
        const char* name;
        std::string first, second;
        std::vector<std::string> options;
        int status;
        std::string note;  // the note's message, or empty for none
    };
    const std::string swap = "the dictionary comes first, as in: vkcdict subst ";
    const std::vector<Row> rows = {
        {"swapped", script, dict, {"-o", "out.txt"}, 2, swap + "2nd 1st -o out.txt"},
        {"swapped, the second with LF breaks",
         script,
         lfDict,
         {"-o", "out.txt"},
         2,
         swap + "2nd 1st -o out.txt"},
        {"swapped, in place and partial",
         script,
         dict,
         {"--in-place", "--backup", ".b", "--partial"},
         0,
         swap + "2nd 1st --in-place --backup .b --partial"},
        {"in order", dict, script, {"-o", "out.txt"}, 0, ""},
        {"two scripts", script, script, {"-o", "out.txt"}, 2, ""},
        {"the first a dictionary with LF breaks", lfDict, dict, {"-o", "out.txt"}, 2, ""},
        // The marker word at the very first byte still marks a dictionary.
        {"the first a broken dictionary", marker, dict, {"-o", "out.txt"}, 2, ""},
        {"the marker word inside a line only", script, "x " + marker, {"-o", "out.txt"}, 2, ""},
    };
    for (const Row& row : rows) {
        Write("1st", row.first);
        Write("2nd", row.second);
        std::vector<std::string> args = {"subst", "1st", "2nd"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        const Result r = Run(args);
        EXPECT_EQ(r.status, row.status) << row.name << "\n" << r.err;
        const size_t note = r.err.find("1st: note: ");
        if (row.note.empty()) {
            EXPECT_EQ(note, std::string::npos) << row.name << "\n" << r.err;
        } else {
            ASSERT_NE(note, std::string::npos) << row.name << "\n" << r.err;
            const std::string line = r.err.substr(note, r.err.find('\n', note) - note);
            EXPECT_EQ(line.substr(line.size() - std::min(line.size(), row.note.size())), row.note)
                << row.name;
        }
    }
}

}  // namespace
}  // namespace vkcdicttest
