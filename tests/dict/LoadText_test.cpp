// Loading the dictionary text file: the format, broken records, refusals,
// size limits, path resolution and reloading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/FailureNote.h"
#include "dict/VKCStringDict.h"

namespace {

using samples::DictionaryText;
using testutil::TempDir;
using testutil::WriteBytes;

const std::string kRecordMarker = "\r\nmirok_res_No.";

std::string Section(const std::string& name, const std::string& text) {
    return "mirok_res_" + name + "_Start\r\n" + text + "\r\nmirok_res_" + name + "_End\r\n";
}

std::string Record(const std::string& number, const std::string& eng, const std::string& chi,
                   const std::string& remark) {
    return kRecordMarker + number + "\r\n" + Section("ENG", eng) + Section("CHI", chi) +
           Section("Remark00", remark);
}

std::string Text(const StringEntry& entry, int field) {
    const char* text = field == 0 ? entry.eng : field == 1 ? entry.chi : entry.remark;
    uint32_t length = field == 0 ? entry.engLen : field == 1 ? entry.chiLen : entry.remarkLen;
    EXPECT_EQ(std::strlen(text), length);
    return std::string(text, length);
}

void ExpectRecord(const VKCStringDict& dict, uint32_t i, const std::string& eng,
                  const std::string& chi, const std::string& remark) {
    ASSERT_LT(i, dict.count);
    EXPECT_EQ(Text(dict.entries[i], 0), eng) << "record " << i;
    EXPECT_EQ(Text(dict.entries[i], 1), chi) << "record " << i;
    EXPECT_EQ(Text(dict.entries[i], 2), remark) << "record " << i;
}

// A dictionary already holding two records, to see what refusals keep.
class Loaded : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(dict.LoadFromTXTStringA(
                      DictionaryText({{"Apple", "AP", ""}, {"Start", "ST", "r"}}).c_str()),
                  2u);
    }
    void ExpectPreviousRecords() {
        ASSERT_EQ(dict.count, 2u);
        EXPECT_EQ(dict.FindStringA("Start"), &dict.entries[1]);
        ExpectRecord(dict, 0, "Apple", "AP", "");
    }
    VKCStringDict dict;
    TempDir dir;
};

TEST(LoadText, AWrittenFileLoadsItsRecordsInFileOrder) {
    const std::string gbk = "\xBF\xAA\xCA\xBC\xD3\xCE\xCF\xB7";  // 8 bytes of GBK
    std::string text = DictionaryText(
        {{"Start Game", gbk, ""}, {"Zebra", "multi\r\nline", "note"}, {"apple", "", ""}});
    VKCStringDict dict;
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 3u);
    ExpectRecord(dict, 0, "Start Game", gbk, "");
    ExpectRecord(dict, 1, "Zebra", "multi\r\nline", "note");
    ExpectRecord(dict, 2, "apple", "", "");
    EXPECT_EQ(dict.entries, dict.entryBlock);
    EXPECT_EQ(dict.entryCapacity, 3u);
    EXPECT_EQ(dict.dataSize, text.size());
    EXPECT_EQ(dict.poolCapacity, text.size());
    EXPECT_EQ(dict.poolUsed, text.size());
    EXPECT_EQ(std::string(dict.pool + text.size(), 3), std::string("\r\n\0", 3));
    EXPECT_EQ(dict.path[0], '\0');
    // Every text lies inside the loaded bytes.
    for (uint32_t i = 0; i < dict.count; ++i) {
        EXPECT_GE(dict.entries[i].eng, dict.pool);
        EXPECT_LE(dict.entries[i].remark + dict.entries[i].remarkLen, dict.pool + text.size());
    }
}

TEST(LoadText, HeaderTerminatorAndRecordNumbersAreNotRead) {
    VKCStringDict dict;
    std::string text = "anything" + Record("7", "a", "1", "") + Record("7", "b", "2", "") +
                       "between records" + Record("3", "c", "3", "");
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 3u);
    ExpectRecord(dict, 0, "a", "1", "");
    ExpectRecord(dict, 2, "c", "3", "");
}

TEST(LoadText, TheTwoBytesBeforeAnEndMarkerCloseTheText) {
    VKCStringDict dict;
    std::string text = kRecordMarker + "0\r\n" +
                       // start marker directly followed by its end marker: empty
                       "mirok_res_ENG_Start\r\nmirok_res_ENG_End\r\n" +
                       // no CR LF before the end marker: the last two bytes go
                       "mirok_res_CHI_Start\r\nHellomirok_res_CHI_End\r\n" +
                       // one byte and no CR LF: empty, never a wrapped length
                       "mirok_res_Remark00_Start\r\nXmirok_res_Remark00_End\r\n";
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 1u);
    ExpectRecord(dict, 0, "", "Hel", "");
}

TEST(LoadText, TheAppendedLineBreakCompletesAFinalEndMarker) {
    VKCStringDict dict;
    std::string text = Record("0", "a", "b", "c");
    text.resize(text.size() - 2);  // the file ends right after the marker word
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 1u);
    ExpectRecord(dict, 0, "a", "b", "c");
}

TEST(LoadText, AMarkerWordAtTheFirstByteBeginsNoRecord) {
    VKCStringDict dict;
    std::string text = Record("0", "a", "1", "") + Record("1", "b", "2", "");
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str() + 2), 1u);
    ExpectRecord(dict, 0, "b", "2", "");
}

TEST(LoadText, ARecordWithoutCHITakesTheNextRecordsSections) {
    VKCStringDict dict;
    std::string text = kRecordMarker + "0\r\n" + Section("ENG", "a") + Section("Remark00", "lost") +
                       Record("1", "b", "2", "r2") + Record("2", "c", "3", "r3");
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 2u);
    EXPECT_EQ(dict.entryCapacity, 3u);
    ExpectRecord(dict, 0, "a", "2", "r2");
    ExpectRecord(dict, 1, "c", "3", "r3");
}

TEST(LoadText, AMarkerInsideATextCountsOnlyInTheCountingPass) {
    VKCStringDict dict;
    std::string text = Record("0", "a", "x" + kRecordMarker + "y", "") + Record("1", "b", "2", "");
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 2u);
    EXPECT_EQ(dict.entryCapacity, 3u);
    ExpectRecord(dict, 0, "a", "x" + kRecordMarker + "y", "");
}

TEST(LoadText, AnEndMarkerInsideATextEndsIt) {
    VKCStringDict dict;
    std::string text = Record("0", "a\r\nmirok_res_ENG_End\r\nrest", "1", "");
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 1u);
    ExpectRecord(dict, 0, "a", "1", "");
}

TEST(LoadText, TheFirstNulEndsTheText) {
    VKCStringDict dict;
    std::string text = Record("0", "a", "1", "") + Record("1", "b", "2", "");
    std::string file = text;
    file[text.find("b\r\n")] = '\0';  // inside record 1's ENG text
    TempDir dir;
    WriteBytes(dir.File("d.txt"), file);
    // Record 1 lost its ENG end marker behind the NUL: it is broken.
    EXPECT_EQ(dict.LoadFromTXTFileA(dir.File("d.txt").c_str()), 0u);
    EXPECT_EQ(dict.count, 1u);
    ExpectRecord(dict, 0, "a", "1", "");

    // Text in a 16-bit encoding: every ASCII character carries a NUL.
    std::string wide;
    for (char c : text) wide += std::string(1, c) + '\0';
    WriteBytes(dir.File("wide.txt"), wide);
    EXPECT_EQ(dict.LoadFromTXTFileA(dir.File("wide.txt").c_str()), 0u);
    EXPECT_EQ(dict.count, 0u);
    EXPECT_EQ(dict.entries, nullptr);
    EXPECT_EQ(dict.entryCapacity, 0u);
    EXPECT_EQ(dict.dataSize, wide.size());
}

const char* const kMarkers[6] = {"mirok_res_ENG_Start\r\n",      "mirok_res_ENG_End\r\n",
                                 "mirok_res_CHI_Start\r\n",      "mirok_res_CHI_End\r\n",
                                 "mirok_res_Remark00_Start\r\n", "mirok_res_Remark00_End\r\n"};

// The loader's message for marker m (0 ENG start ... 5 Remark00 end) missing
// in record `index`, as VKC_DEBUG shows it.
std::string MissingMarkerMessage(int m, int index) {
    const char* sections[6] = {" ENG ", " ENG ", " CHI ", " CHI ", " Remark00 ", " Remark00 "};
    const std::string start = "\xC6\xF0\xCA\xBC";  // "start" in GBK
    const std::string end = "\xBD\xE1\xCA\xF8";    // "end"
    return "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD" + std::string(sections[m]) + "\xB6\xCE" +
           (m % 2 == 0 ? start : end) + "\xB9\xD8\xBC\xFC\xD7\xD6\xA3\xAC\xB5\xDA" +
           std::to_string(index) + "\xB8\xF6\xD7\xCA\xD4\xB4\n";
}

// Each missing marker stops the load at its record, keeps the records before
// it usable and composes its own message with the record's index.
TEST(LoadText, EachMissingMarkerStopsTheLoadAtItsRecord) {
    const char* const* markers = kMarkers;
    testutil::SetEnv("VKC_DEBUG", "1");
    for (int m = 0; m < 6; ++m) {
        std::string broken = Record("2", "c", "3", "");
        broken.erase(broken.find(markers[m]), std::strlen(markers[m]));
        std::string text = Record("0", "a", "1", "") + Record("1", "b", "2", "") + broken;
        VKCStringDict dict;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(dict.LoadFromTXTStringA(text.c_str()), 0u) << m;
        std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(dict.count, 2u) << m;
        EXPECT_EQ(dict.entryCapacity, 3u) << m;
        EXPECT_EQ(dict.FindStringA("b"), &dict.entries[1]) << m;
        EXPECT_EQ(dict.FindStringA("c"), nullptr) << m;
        const std::string expected = MissingMarkerMessage(m, 2);
#ifndef _WIN32
        // On Windows the message goes to the real debugger output instead.
        EXPECT_EQ(message, expected) << m;
#else
        (void)expected;
        (void)message;
#endif
    }
    testutil::SetEnv("VKC_DEBUG", nullptr);
}

// A section text that runs into another record's head (its marker line and
// the ENG start line) has lost its end marker: the record is broken there,
// with that end marker's message, instead of carrying the next record's
// marker lines as its text. Other marker lines inside texts change nothing.
TEST(LoadText, ATextHoldingAnotherRecordsHeadBreaksItsRecord) {
    const std::string a = Record("0", "a", "1", "ra"), b = Record("1", "b", "2", "rb"),
                      c = Record("2", "c", "3", "rc");
    auto without = [](std::string record, int m) {
        const size_t at = record.find(kMarkers[m]);
        return record.erase(at, std::strlen(kMarkers[m]));
    };
    struct Case {
        const char* name;
        std::string text;
        int missing;     // the marker named, -1 when the load succeeds
        uint32_t count;  // records loaded
    };
    const std::vector<Case> cases = {
        {"ENG end missing", a + without(b, 1) + c, 1, 1},
        {"CHI end missing", a + without(b, 3) + c, 3, 1},
        {"Remark00 end missing", a + without(b, 5) + c, 5, 1},
        {"in the first record", without(a, 3) + b + c, 3, 0},
        {"the next ENG text empty, its end marker right after the head",
         a + without(b, 3) + kRecordMarker + "2\r\nmirok_res_ENG_Start\r\nmirok_res_ENG_End\r\n" +
             Section("CHI", "3") + Section("Remark00", ""),
         3, 1},
        {"the record marker shares the start marker's line break",
         a + kRecordMarker + "1\r\n" + Section("ENG", "b") + "mirok_res_CHI_Start\r\n" +
             c.substr(2),
         3, 1},
        {"record line without a number",
         a + without(b, 3) + kRecordMarker + "\r\n" + Section("ENG", "c") + Section("CHI", "3") +
             Section("Remark00", ""),
         3, 1},
        // Still loading as before:
        {"a bare record marker line in a text",
         a + Record("1", "b", "x" + kRecordMarker + "5\r\ny", "") + c, -1, 3},
        {"a record marker line followed by another line",
         a + Record("1", "b", kRecordMarker + "5\r\nmirok_res_ENG_Startx\r\n", "") + c, -1, 3},
        {"the end marker comes first, inside the record line",
         a + Record("1", "b", kRecordMarker + "mirok_res_CHI_End\r\nmirok_res_ENG_Start\r\n", "") +
             c,
         -1, 3},
        {"a record without its CHI section takes the next record's",
         a + without(without(b, 2), 3) + c, -1, 2},
    };
    testutil::SetEnv("VKC_DEBUG", "1");
    for (const Case& c : cases) {
        VKCStringDict dict;
        ::testing::internal::CaptureStderr();
        const uint32_t result = dict.LoadFromTXTStringA(c.text.c_str());
        const std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, c.missing < 0 ? c.count : 0u) << c.name;
        EXPECT_EQ(dict.count, c.count) << c.name;
        if (c.count > 0) ExpectRecord(dict, 0, "a", "1", "ra");
        for (uint32_t i = 0; i < dict.count; ++i) {
            EXPECT_EQ(std::string(dict.entries[i].chi).find("mirok_res_ENG_Start\r\n"),
                      std::string::npos)
                << c.name;
        }
#ifndef _WIN32
        if (c.missing >= 0) {
            EXPECT_EQ(message, MissingMarkerMessage(c.missing, static_cast<int>(c.count)))
                << c.name;
        }
#else
        (void)message;  // on Windows the message goes to the real debugger output
#endif
    }
    testutil::SetEnv("VKC_DEBUG", nullptr);
}

TEST(LoadText, WithoutAnyRecordMarkerNothingLoads) {
    VKCStringDict dict;
    EXPECT_EQ(dict.LoadFromTXTStringA("mirok_res_ENG_Start\r\na\r\nmirok_res_ENG_End\r\n"), 0u);
    EXPECT_EQ(dict.count, 0u);
    EXPECT_EQ(dict.entries, nullptr);
    EXPECT_EQ(dict.entryBlock, nullptr);
    ASSERT_NE(dict.pool, nullptr);  // the pool holds the new text
    EXPECT_EQ(dict.pool[0], 'm');
}

TEST_F(Loaded, RefusedTextsKeepThePreviousRecords) {
    EXPECT_EQ(dict.LoadFromTXTStringA(nullptr), 0u);
    ExpectPreviousRecords();

    std::strcpy(dict.path, "kept");
    EXPECT_EQ(dict.LoadFromTXTStringA(""), 0u);
    EXPECT_EQ(dict.path[0], '\0');
    EXPECT_EQ(dict.dataSize, 0u);
    ExpectPreviousRecords();
}

TEST_F(Loaded, RefusedFilesKeepThePreviousRecords) {
    std::string missing = dir.File("missing.txt");
    EXPECT_EQ(dict.LoadFromTXTFileA(missing.c_str()), 0u);
    EXPECT_STREQ(dict.path, missing.c_str());
    EXPECT_EQ(dict.dataSize, 0xFFFFFFFFu);
    ExpectPreviousRecords();

    WriteBytes(dir.File("empty.txt"), "");
    EXPECT_EQ(dict.LoadFromTXTFileA(dir.File("empty.txt").c_str()), 0u);
    EXPECT_EQ(dict.dataSize, 0u);
    ExpectPreviousRecords();

    EXPECT_EQ(dict.LoadFromTXTFileA(dir.path().c_str()), 0u);  // a directory
    ExpectPreviousRecords();

    testutil::MakeSparseFile(dir.File("huge.txt"), 200000001);
    EXPECT_EQ(dict.LoadFromTXTFileA(dir.File("huge.txt").c_str()), 0u);
    EXPECT_EQ(dict.dataSize, 200000001u);
    ExpectPreviousRecords();
}

TEST_F(Loaded, AFileOfTheLargestSizeIsRead) {
    testutil::MakeSparseFile(dir.File("largest.txt"), 200000000);
    EXPECT_EQ(dict.LoadFromTXTFileA(dir.File("largest.txt").c_str()), 0u);  // zeros: no record
    EXPECT_EQ(dict.dataSize, 200000000u);
    EXPECT_EQ(dict.poolCapacity, 200000000u);
    EXPECT_EQ(dict.count, 0u);
    EXPECT_EQ(dict.entries, nullptr);
}

TEST_F(Loaded, UnusableNamesChangeNothing) {
    std::strcpy(dict.path, "kept");
    EXPECT_EQ(dict.LoadFromTXTFileA(nullptr), 0u);
    std::string longName(260, 'n');
    EXPECT_EQ(dict.LoadFromTXTFileA(longName.c_str()), 0u);
    EXPECT_STREQ(dict.path, "kept");
    ExpectPreviousRecords();
}

TEST_F(Loaded, ALoadReturnsTheMatcherToIdle) {
    dict.matchKey = dict.entries[1].eng;
    dict.matchValue = dict.entries[1].chi;
    WriteBytes(dir.File("d.txt"), DictionaryText({{"x", "y", ""}}));
    ASSERT_EQ(dict.LoadFromTXTFileA(dir.File("d.txt").c_str()), 1u);
    EXPECT_EQ(dict.matchKey[0], '\0');
    EXPECT_EQ(dict.matchValue[0], '\0');

    dict.matchKey = dict.entries[0].eng;
    EXPECT_EQ(dict.LoadFromTXTStringA(""), 0u);  // refused, yet idle
    EXPECT_EQ(dict.matchKey[0], '\0');
}

// What joins the current directory and a bare name.
#ifdef _WIN32
const std::string kSeparator = "\\";
#else
const std::string kSeparator = "/";
#endif

class PathResolution : public ::testing::Test {
protected:
    void SetUp() override {
        dictText = DictionaryText({{"Start", "Go", ""}});
        WriteBytes(dir.File("dict.txt"), dictText);
        testutil::MakeDir(dir.File("sub"));
        WriteBytes(dir.File("sub/dict.txt"), dictText);
    }
    std::string dictText;
    TempDir dir;
    VKCStringDict dict;
};

TEST_F(PathResolution, ABareNameIsTakenFromTheCurrentDirectory) {
    testutil::ScopedCwd cwd(dir.path());
    EXPECT_EQ(dict.LoadFromTXTFileA("dict.txt"), 1u);
    EXPECT_EQ(std::string(dict.path), dir.path() + kSeparator + "dict.txt");
    // Only the backslash decides: forward slashes count as a bare name.
    EXPECT_EQ(dict.LoadFromTXTFileA("sub/dict.txt"), 1u);
    EXPECT_EQ(std::string(dict.path), dir.path() + kSeparator + "sub/dict.txt");
}

#ifndef _WIN32
// The root ends in the separator already: it is not doubled.
TEST_F(PathResolution, PosixOnly_ABareNameAtTheRootGetsOneSlash) {
    testutil::ScopedCwd cwd("/");
    EXPECT_EQ(dict.LoadFromTXTFileA("no-such-dictionary.txt"), 0u);
    EXPECT_STREQ(dict.path, "/no-such-dictionary.txt");
}
#endif

TEST_F(PathResolution, NamesWithABackslashOrAbsolutePathsAreTakenUnchanged) {
    testutil::ScopedCwd cwd(dir.path());
#ifdef _WIN32
    EXPECT_EQ(dict.LoadFromTXTFileA("sub\\dict.txt"), 1u);  // sub/dict.txt
#else
    // A backslash is part of a POSIX name: sub/dict.txt is another file, and
    // the name, which is nothing, is not loaded in its place.
    EXPECT_EQ(dict.LoadFromTXTFileA("sub\\dict.txt"), 0u);
    EXPECT_STREQ(dict.path, "sub\\dict.txt");
    WriteBytes(dir.File("sub\\dict.txt"), DictionaryText({{"A", "1", ""}, {"B", "2", ""}}));
    EXPECT_EQ(dict.LoadFromTXTFileA("sub\\dict.txt"), 2u);
#endif
    EXPECT_STREQ(dict.path, "sub\\dict.txt");
    std::string absolute = dir.File("dict.txt");
    EXPECT_EQ(dict.LoadFromTXTFileA(absolute.c_str()), 1u);
    EXPECT_EQ(std::string(dict.path), absolute);
}

TEST_F(PathResolution, AResolvedPathLongerThan259BytesIsRefused) {
    // A working directory deep enough that directory + backslash + name
    // no longer fits.
    std::string deep = dir.path();
    while (deep.size() < 240) {
        deep += "/" + std::string(std::min<size_t>(40, 250 - deep.size() - 1), 'd');
        ASSERT_TRUE(testutil::MakeDir(deep));
    }
    testutil::ScopedCwd cwd(deep);
    const std::string current = testutil::CurrentDir();
    ASSERT_LT(current.size(), 258u);
    std::string name(259 - current.size() - 1, 'n');  // exactly 259 bytes resolved
    WriteBytes(deep + "/" + name, dictText);
    EXPECT_EQ(dict.LoadFromTXTFileA(name.c_str()), 1u);
    EXPECT_EQ(std::strlen(dict.path), 259u);

    std::strcpy(dict.path, "kept");
    failurenote::Clear();
    EXPECT_EQ(dict.LoadFromTXTFileA((name + "x").c_str()), 0u);
    EXPECT_STREQ(dict.path, "kept");
    EXPECT_EQ(dict.count, 1u);
    EXPECT_EQ(failurenote::Last().cause, failurenote::Cause::kPathTooLong);
}

TEST_F(PathResolution, AReloadReadsTheResolvedPathAgain) {
    {
        testutil::ScopedCwd cwd(dir.path());
        ASSERT_EQ(dict.LoadFromTXTFileA("dict.txt"), 1u);
    }
    WriteBytes(dir.File("dict.txt"), DictionaryText({{"A", "1", ""}, {"B", "2", ""}}));
    EXPECT_EQ(dict.ReloadTXTFileA(), 2u);  // the working directory has changed since
    ExpectRecord(dict, 1, "B", "2", "");
    EXPECT_EQ(std::string(dict.path), dir.path() + kSeparator + "dict.txt");
}

TEST_F(PathResolution, AReloadWithoutAFileLeavesNoPoolAndNoRecords) {
    ASSERT_EQ(dict.LoadFromTXTStringA(dictText.c_str()), 1u);
    testutil::ScopedCwd cwd(dir.path());
    EXPECT_EQ(dict.ReloadTXTFileA(), 0u);  // the current directory is no file
    EXPECT_EQ(std::string(dict.path), dir.path() + kSeparator);
    EXPECT_EQ(dict.pool, nullptr);
    EXPECT_EQ(dict.entryBlock, nullptr);
    EXPECT_EQ(dict.entries, nullptr);
    EXPECT_EQ(dict.count, 0u);
    EXPECT_EQ(dict.poolCapacity, 0u);
    EXPECT_EQ(dict.entryCapacity, 0u);
    EXPECT_EQ(dict.FindStringA("Start"), nullptr);
    // And the dictionary loads again from there.
    EXPECT_EQ(dict.LoadFromTXTFileA("dict.txt"), 1u);
}

}  // namespace
