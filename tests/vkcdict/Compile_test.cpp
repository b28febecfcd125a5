// compile and decompile: images of random dictionaries load into the same
// records and answer every lookup as the text file does; refusals; the way
// back to a text file. lookup and match on text files and images.
#include <random>
#include <set>

#include "VkcdictFixture.h"
#include "dict/VKCStringDict.h"

namespace vkcdicttest {
namespace {

using samples::Record;

// Sorted, distinct keys over a small alphabet (blanks and GBK bytes
// included, so that prefixes, trimming and unsigned order all matter).
std::vector<Record> RandomDictionary(std::mt19937& random, size_t n) {
    const std::string alphabet[] = {"a", "b", "Z", " ", "\xB0\xA1", "\r\n", "\""};
    std::set<std::string> keys;
    while (keys.size() < n) {
        std::string key;
        for (size_t k = random() % 6; k > 0; --k) key += alphabet[random() % 7];
        keys.insert(key);
    }
    std::vector<Record> records;
    for (const std::string& key : keys) {
        records.push_back({key, random() % 4 == 0 ? "" : "<" + key + ">", random() % 2 ? "r" : ""});
    }
    return records;
}

std::string Texts(const StringEntry* e) {
    if (e == nullptr) return "(none)";
    return std::string(e->eng, e->engLen) + "|" + std::string(e->chi, e->chiLen) + "|" +
           std::string(e->remark, e->remarkLen);
}

TEST_F(Vkcdict, AnImageAnswersEveryLookupAsItsTextFile) {
    std::mt19937 random(12);
    for (int round = 0; round < 20; ++round) {
        const std::vector<Record> records = RandomDictionary(random, 1 + random() % 40);
        Write("d.txt", Dict(records));
        ASSERT_EQ(Run({"compile", "d.txt", "-o", "d.bin"}).status, 0);
        VKCStringDict text;
        VKCStringDict image;
        ASSERT_EQ(text.LoadFromTXTFileA(dir.File("d.txt").c_str()), records.size());
        ASSERT_EQ(image.LoadFromBINFileA(dir.File("d.bin").c_str()), records.size());
        for (uint32_t i = 0; i < text.count; ++i) {
            ASSERT_EQ(Texts(&image.entries[i]), Texts(&text.entries[i]));
        }
        std::vector<std::string> probes = {"", " ", "zz"};
        for (const Record& r : records)
            probes.insert(probes.end(), {r.eng, " " + r.eng + "  ", r.eng + "a"});
        for (const std::string& probe : probes) {
            EXPECT_EQ(Texts(image.FindStringA(probe.c_str())),
                      Texts(text.FindStringA(probe.c_str())));
            EXPECT_EQ(image.FindStringIndexA(probe.c_str()), text.FindStringIndexA(probe.c_str()));
        }
        // And back: the same records as a text file.
        ASSERT_EQ(Run({"decompile", "d.bin", "-o", "back.txt"}).status, 0);
        EXPECT_EQ(Body("back.txt"), Body("d.txt"));
    }
}

TEST_F(Vkcdict, CompileRefusesWhatAnImageCannotHold) {
    const struct {
        const char* name;
        std::string dict;
        std::string diagnostic;
        int status;
    } cases[] = {
        {"out of order", Dict({{"a", "1", ""}, {"c", "3", ""}, {"b", "2", ""}}),
         "d.txt:27: error: record 2 is out of place: its ENG text \"b\" sorts before that of "
         "record 1 (line 16); an image needs strictly ascending keys: put them in order with "
         "\"vkcdict sort\"\n",
         1},
        {"duplicate", Dict({{"a", "1", ""}, {"a", "2", ""}}),
         "d.txt:16: error: record 1 is out of place: its ENG text \"a\" repeats that of record 0 "
         "(line 5); an image needs strictly ascending keys: put them in order with \"vkcdict "
         "sort\"\n",
         1},
        {"broken", Dict({{"a", "1", ""}}).substr(0, 150),
         "d.txt:5: error: record 0 has no \"mirok_res_CHI_Start\" marker after this line: the load "
         "stops here, with the 0 records before it and not the 1 record from here on\n"
         "d.txt: error: not used: the loader loads no record from it\n",
         2},
    };
    for (const auto& c : cases) {
        Write("d.txt", c.dict);
        const Result r = Run({"compile", "d.txt", "-o", "d.bin"});
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.err, c.diagnostic) << c.name;
        EXPECT_FALSE(testutil::Exists(dir.File("d.bin"))) << c.name;
    }
    EXPECT_EQ(Run({"compile", "d.txt", "-o", "d.txt"}).status, 2);
    // decompile refuses a text that a text file cannot hold, and a bad image.
    Write("i.bin", samples::Image({{"a", std::string("x\0y", 3), ""}}));
    Result r = Run({"decompile", "i.bin", "-o", "back.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "i.bin: error: record 0: its CHI text holds a NUL byte or its section's end marker, "
              "which a dictionary text file cannot hold: nothing written\n");
    Write("i.bin", samples::RawImage({}, "", 2));
    EXPECT_EQ(Run({"decompile", "i.bin", "-o", "back.txt"}).status, 2);
    EXPECT_FALSE(testutil::Exists(dir.File("back.txt")));
}

TEST_F(Vkcdict, LookupAndMatchAnswerAsTheLibrary) {
    const std::string chi = "\xB5\xDA\xD2\xBB\xD5\xC2";  // three GBK characters
    Write("d.txt", Dict({{"Chapter One", chi, ""}, {"Empty", "", ""}, {"Start", kStart, ""}}));
    ASSERT_EQ(Run({"compile", "d.txt", "-o", "d.bin"}).status, 0);
    for (const std::vector<std::string>& dict :
         std::vector<std::vector<std::string>>{{"d.txt"}, {"--image", "d.bin"}}) {
        std::vector<std::string> args = {"lookup"};
        args.insert(args.end(), dict.begin(), dict.end());
        args.insert(args.end(), {"  Start ", "Nope"});
        Result r = Run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, kStart + "\n\n");
        EXPECT_EQ(r.err, dict.back() + ": error: \"Nope\" not found\n");
        args = {"lookup"};
        args.insert(args.end(), dict.begin(), dict.end());
        args.insert(args.end(), {"Chapter One", "Empty"});
        r = Run(args);
        EXPECT_EQ(r.out, chi + "\n\n");
        EXPECT_EQ(r.err, dict.back() + (dict.size() == 1 ? ":16" : "") +
                             ": error: \"Empty\" has an empty translation\n");
        args = {"match"};
        args.insert(args.end(), dict.begin(), dict.end());
        r = Run(args, "Chap\r\nter\n One\nStart\n");
        EXPECT_EQ(r.out, "1\t" + chi.substr(0, 4) + "\n1\t" + chi.substr(4) + "\n2\t\n0\t\n");
        EXPECT_EQ(r.status, 1);
    }
}

}  // namespace
}  // namespace vkcdicttest
