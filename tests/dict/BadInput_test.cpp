// A catalogue of hostile inputs, generated in a temporary folder, each with
// the result it must give: dictionary text files and binary images cut at
// every length, markers split across the end, huge counts, offsets and
// sizes, very long texts, and scripts that are all delimiters. After every
// load the dictionary must still be sound: its texts inside the pool, their
// lengths true, and a save that loads back into as many records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/VKCStringDict.h"

namespace {

using samples::DictionaryText;
using samples::RawImage;
using samples::Record;
using testutil::TempDir;
using testutil::WriteBytes;

const std::string kGbk = "\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7";
const std::vector<Record> kRecords = {
    {"Apple", "AP", ""}, {"Hello world", kGbk, "note"}, {"Start", "ST", "r"}};
const Record kPrevious = {"Old", "O", ""};

// abc → xyz with an empty remark; b → y, remark "note" (the last text).
const std::string kBlock("abc\0xyz\0\0b\0y\0note\0", 19);
const std::vector<samples::Row> kTable = {{0, 4, 8, 3, 3, 0}, {9, 11, 13, 1, 1, 4}};
const std::string kImage = RawImage(kTable, kBlock);

std::string Texts(const StringEntry& e) {
    return std::string(e.eng, e.engLen) + "|" + std::string(e.chi, e.chiLen) + "|" +
           std::string(e.remark, e.remarkLen);
}

std::string Texts(const Record& r) {
    return r.eng + "|" + r.chi + "|" + r.remark;
}

class BadInput : public testing::Test {
protected:
    void LoadPrevious() {
        ASSERT_EQ(dict_.LoadFromTXTStringA(DictionaryText({kPrevious}).c_str()), 1u);
    }

    // Every record's texts lie in the pool and end at their lengths; the
    // dictionary saves into a file that loads back into as many records.
    void ExpectSound() {
        const uintptr_t pool = reinterpret_cast<uintptr_t>(dict_.pool);
        for (uint32_t i = 0; dict_.entries != nullptr && i < dict_.count; ++i) {
            const StringEntry& e = dict_.entries[i];
            for (const char* text : {e.eng, e.chi, e.remark}) {
                const uintptr_t at = reinterpret_cast<uintptr_t>(text);
                ASSERT_TRUE(at >= pool && at < pool + dict_.poolCapacity + 4) << "record " << i;
            }
            EXPECT_EQ(std::strlen(e.eng), e.engLen);
            EXPECT_EQ(std::strlen(e.chi), e.chiLen);
            EXPECT_EQ(std::strlen(e.remark), e.remarkLen);
        }
        const std::string saved = dir_.File("saved.txt");
        std::remove(saved.c_str());
        EXPECT_GT(dict_.SaveToTXTFileA(saved.c_str()), 0);
        VKCStringDict back;
        back.LoadFromTXTFileA(saved.c_str());
        EXPECT_EQ(back.count, dict_.entries != nullptr ? dict_.count : 0);
    }

    void ExpectEmpty() {
        EXPECT_EQ(dict_.pool, nullptr);
        EXPECT_EQ(dict_.entries, nullptr);
        EXPECT_EQ(dict_.count, 0u);
    }

    TempDir dir_;
    std::string file_ = dir_.File("input");
    VKCStringDict dict_;
};

// A cut at length L keeps record i when its Remark00 end marker word ends at
// or before L and the next two bytes are either both in the file (its CR LF)
// or both missing (the loader appends CR LF); a lone CR breaks the marker.
// Every record marker before L that begins an incomplete record makes the
// load fail at that record, keeping the complete ones before it.
TEST_F(BadInput, TextFileCutAtEveryLength) {
    const std::string full = DictionaryText(kRecords);
    std::vector<size_t> markerEnds, wordEnds;
    for (size_t i = 0, at = 0; i < kRecords.size(); ++i) {
        at = full.find("\r\nmirok_res_No.", at) + 15;
        markerEnds.push_back(at);
        wordEnds.push_back(full.find("mirok_res_Remark00_End", at) + 22);
    }
    for (size_t length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        WriteBytes(file_, full.substr(0, length));
        LoadPrevious();
        const uint32_t result = dict_.LoadFromTXTFileA(file_.c_str());
        if (length == 0) {  // refused: the previous records stay
            EXPECT_EQ(result, 0u);
            ASSERT_EQ(dict_.count, 1u);
            EXPECT_EQ(Texts(dict_.entries[0]), Texts(kPrevious));
            continue;
        }
        uint32_t markers = 0, complete = 0;
        for (size_t i = 0; i < kRecords.size(); ++i) {
            markers += markerEnds[i] <= length;
            complete += length == wordEnds[i] || length >= wordEnds[i] + 2;
        }
        EXPECT_EQ(result, markers > 0 && complete == markers ? complete : 0u);
        EXPECT_EQ(dict_.count, complete);
        EXPECT_EQ(dict_.entries == nullptr, markers == 0);
        for (uint32_t i = 0; i < std::min(dict_.count, complete); ++i) {
            EXPECT_EQ(Texts(dict_.entries[i]), Texts(kRecords[i]));
            EXPECT_EQ(dict_.FindStringA(kRecords[i].eng.c_str()), &dict_.entries[i]);
        }
        ExpectSound();
    }
}

// A cut image is accepted while it still holds its head, its table and every
// byte of every text (a NUL cut off is made up by the pool's zero bytes).
TEST_F(BadInput, ImageCutAtEveryLength) {
    const std::vector<Record> records = {{"abc", "xyz", ""}, {"b", "y", "note"}};
    const size_t blockStart = 8 + 24 * kTable.size();
    size_t needed = blockStart;
    for (const auto& r : kTable) {
        for (int t = 0; t < 3; ++t) needed = std::max<size_t>(needed, blockStart + r[t] + r[t + 3]);
    }
    ASSERT_EQ(needed, blockStart + 17);  // the remark "note" ends the texts
    for (size_t length = 0; length <= kImage.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        WriteBytes(file_, kImage.substr(0, length));
        LoadPrevious();
        const uint32_t result = dict_.LoadFromBINFileA(file_.c_str());
        if (length < needed) {
            EXPECT_EQ(result, 0u);
            ExpectEmpty();
        } else {
            ASSERT_EQ(result, 2u);
            for (uint32_t i = 0; i < 2; ++i) {
                EXPECT_EQ(Texts(dict_.entries[i]), Texts(records[i]));
            }
        }
        ExpectSound();
    }
}

TEST_F(BadInput, HostileFiles) {
    const std::string longEng(100000, 'z');  // sorts last
    const std::string edge = DictionaryText({{std::string(2047, 'a'), std::string(100000, 'c'), ""},
                                             {std::string(2048, 'b'), "B", std::string(2047, 'r')},
                                             {longEng, "L", ""}});
    std::string splitByNul = DictionaryText(kRecords);
    splitByNul[splitByNul.rfind("mirok_res_Remark00_End") + 21] = '\0';  // ..._Remark00_En|d
    const uint32_t kHuge = 0xFFFFFFFFu;
    const struct {
        const char* name;
        bool image;
        std::string bytes;
        long long sparseSize;  // when not 0, the bytes stand at the start of a sparse file
        uint32_t result;
        uint32_t count;  // 1 with a text file that is refused: the previous record
    } cases[] = {
        {"empty text file", false, "", 0, 0, 1},
        {"text file of 200,000,001 bytes", false, DictionaryText(kRecords), 200000001, 0, 1},
        {"an end marker split by a NUL", false, splitByNul, 0, 0, 2},
        {"texts of 2047, 2048 and 100,000 bytes", false, edge, 0, 3, 3},
        {"empty image", true, "", 0, 0, 0},
        {"image of 200,000,001 bytes", true, kImage, 200000001, 0, 0},
        {"image format word all ones", true, RawImage(kTable, kBlock, kHuge), 0, 0, 0},
        {"image of 2^32 - 1 records", true, RawImage(kTable, kBlock, 1, kHuge), 0, 0, 0},
        {"image whose table fills 32 bits", true, RawImage(kTable, kBlock, 1, 178956970), 0, 0, 0},
        {"image offset all ones", true, RawImage({{0, kHuge, 8, 3, 3, 0}}, kBlock), 0, 0, 0},
        {"image length all ones", true, RawImage({{0, 4, 8, 3, 3, kHuge}}, kBlock), 0, 0, 0},
        {"image text one byte past the block", true, RawImage({{17, 4, 8, 3, 3, 0}}, kBlock), 0, 0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(file_, "");
        if (c.sparseSize != 0) testutil::MakeSparseFile(file_, c.sparseSize);
        std::fstream(file_, std::ios::in | std::ios::out | std::ios::binary) << c.bytes;
        LoadPrevious();
        const uint32_t result =
            c.image ? dict_.LoadFromBINFileA(file_.c_str()) : dict_.LoadFromTXTFileA(file_.c_str());
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(dict_.count, c.count);
        if (c.image && c.result == 0) ExpectEmpty();
        ExpectSound();
    }
    // The long texts are found, the 2047-byte ENG text with blanks around it.
    ASSERT_EQ(dict_.LoadFromTXTStringA(edge.c_str()), 3u);
    EXPECT_EQ(dict_.FindStringA((" " + std::string(2047, 'a') + " ").c_str()), &dict_.entries[0]);
    EXPECT_EQ(dict_.entries[0].chiLen, 100000u);
    EXPECT_EQ(dict_.FindStringA(std::string(2048, 'b').c_str()), &dict_.entries[1]);
    EXPECT_EQ(dict_.FindStringA(longEng.c_str()), &dict_.entries[2]);
}

// Dictionary text handed back from the dictionary's own pool: it is read
// before the load releases that pool (a grown pool of over 1 MiB, which the C
// library returns to the system at once).
TEST_F(BadInput, ADictionaryTextFromTheOwnPool) {
    const std::string inner = DictionaryText(kRecords);
    ASSERT_NE(dict_.AddStringA("k", inner.c_str(), ""), nullptr);
    ASSERT_EQ(dict_.LoadFromTXTStringA(dict_.entries[0].chi), 3u);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Texts(dict_.entries[i]), Texts(kRecords[i]));
    ExpectSound();
}

// Scripts through the built tool: a lone opening bracket, ten MiB of double
// quotes (every pair an empty text, the last quote left open), and texts at
// and beyond the 2047-byte limit of a lookup.
TEST_F(BadInput, HostileScripts) {
    const size_t pairs = 5 << 20;
    std::string quotes(2 * pairs + 1, '"');
    std::string quotesOut;
    quotesOut.reserve(3 * pairs + 1);
    for (size_t i = 0; i < pairs; ++i) quotesOut += "\"X\"";
    quotesOut += '"';
    const std::string a(2047, 'a'), b(2048, 'b'), c(100000, 'c');
    const struct {
        const char* name;
        std::string script;
        std::vector<Record> dictionary;
        std::string output;
    } cases[] = {
        {"a lone [", "[", {{"", "X", ""}}, "["},
        {"ten MiB of quotes", quotes, {{"", "X", ""}}, quotesOut},
        {"a text of 2047 bytes", "[" + a + "]", {{a, "A", ""}}, "[A]"},
        {"a text of 2048 bytes", "\"" + b + "\"", {{b, "B", ""}}, "\"" + b + "\""},
        {"a text of 100,000 bytes", "[" + c + "]", {{c, "C", ""}}, "[" + c + "]"},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        WriteBytes(dir_.File("script.txt"), t.script);
        WriteBytes(dir_.File("dict.txt"), DictionaryText(t.dictionary));
        std::remove(dir_.File("out.txt").c_str());
        testutil::ScopedCwd cwd(dir_.path());
        EXPECT_EQ(testutil::RunProgram(VKCSUBST_PATH, {"2", "script.txt", "dict.txt", "out.txt"}),
                  0);
        const std::string out = testutil::ReadBytes(dir_.File("out.txt"));
        EXPECT_EQ(out.size(), t.output.size());
        EXPECT_TRUE(out == t.output);  // no dump of megabytes on failure
    }
}

}  // namespace
