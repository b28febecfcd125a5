// Loading the binary dictionary image.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/VKCStringDict.h"

namespace {

using samples::RawImage;
using samples::Word;

const std::string kBlock("abc\0xyz\0\0", 9);
const std::string kSmallImage = RawImage({{0, 4, 8, 3, 3, 0}}, kBlock);  // abc → xyz, 41 bytes

class LoadBinary : public ::testing::Test {
protected:
    uint32_t Load(const std::string& image) {
        testutil::WriteBytes(file_, image);
        return dict_.LoadFromBINFileA(file_.c_str());
    }

    void LoadPrevious() {
        std::string text = samples::DictionaryText({{"old", "one", ""}, {"older", "two", ""}});
        ASSERT_EQ(dict_.LoadFromTXTStringA(text.c_str()), 2u);
    }

    // A refused load leaves nothing of the former content and no offset behind.
    void ExpectEmpty() {
        EXPECT_EQ(dict_.pool, nullptr);
        EXPECT_EQ(dict_.entryBlock, nullptr);
        EXPECT_EQ(dict_.entries, nullptr);
        EXPECT_EQ(dict_.count + dict_.dataSize + dict_.poolCapacity + dict_.poolUsed +
                      dict_.entryCapacity,
                  0u);
        EXPECT_STREQ(dict_.path, file_.c_str());
    }

    testutil::TempDir dir_;
    std::string file_ = dir_.File("dict.bin");
    VKCStringDict dict_;
};

TEST_F(LoadBinary, SmallImageReplacesThePreviousDictionary) {
    LoadPrevious();
    dict_.matchKey = dict_.matchValue = dict_.pool;  // a match in progress in the old pool
    ASSERT_EQ(Load(kSmallImage), 1u);
    EXPECT_STREQ(dict_.path, file_.c_str());
    EXPECT_EQ(dict_.dataSize, 41u);
    EXPECT_EQ(dict_.poolUsed, 41u);
    EXPECT_EQ(dict_.poolCapacity, 41u);
    EXPECT_EQ(dict_.entries, dict_.entryBlock);
    EXPECT_EQ(dict_.matchKey[0] | dict_.matchValue[0], '\0');
    EXPECT_EQ(dict_.FindStringA("old"), nullptr);
    StringEntry* found = dict_.FindStringA(" abc ");
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->chi, "xyz");
    EXPECT_EQ(found->remark, dict_.pool + 8);
    EXPECT_EQ(std::string(dict_.pool, 45), kBlock + std::string(36, '\0'));
}

TEST_F(LoadBinary, ImageWithoutRecordsGivesZeroAndAPoolOfZeroBytes) {
    ASSERT_EQ(Load(RawImage({}, "")), 0u);
    EXPECT_EQ(dict_.count, 0u);
    EXPECT_EQ(dict_.dataSize, 8u);
    EXPECT_EQ(std::string(dict_.pool, 12), std::string(12, '\0'));
    EXPECT_EQ(dict_.FindStringA(""), nullptr);
}

TEST_F(LoadBinary, UnsortedRecordsLoadInImageOrder) {
    ASSERT_EQ(Load(RawImage({{0, 0, 0, 1, 1, 1}, {2, 2, 2, 1, 1, 1}, {4, 4, 4, 1, 1, 1}},
                            std::string("b\0a\0c\0", 6))),
              3u);
    EXPECT_STREQ(dict_.entries[0].eng, "b");
    EXPECT_EQ(dict_.FindStringA("a"), &dict_.entries[1]);
    EXPECT_EQ(dict_.FindStringA("b"), nullptr);  // the search goes right of the middle
}

TEST_F(LoadBinary, RefusedHeadsLeaveAnEmptyDictionary) {
    const std::string cases[] = {
        RawImage({{0, 4, 8, 3, 3, 0}}, kBlock, 2),
        std::string("\x01\0", 2),                           // format word cut short
        Word(1) + "\0\0",                                   // record count cut short
        RawImage({{0, 0, 0, 0, 0, 0}}, "", 1, 2),           // table past the end
        RawImage({{0, 0, 0, 0, 0, 0}}, "").substr(0, 31),   // one byte short
        RawImage({}, std::string(64, '\0'), 1, 178956971),  // a table of 2^32 bytes
        RawImage({}, std::string(64, '\0'), 1, 0xFFFFFFFFu),
    };
    for (const std::string& image : cases) {
        SCOPED_TRACE(testing::PrintToString(image.substr(0, 8)));
        LoadPrevious();
        EXPECT_EQ(Load(image), 0u);
        ExpectEmpty();
    }
}

TEST_F(LoadBinary, EveryTextMustLieInsideTheTextBlock) {
    char* StringEntry::*texts[] = {&StringEntry::eng, &StringEntry::chi, &StringEntry::remark};
    struct Case {
        uint32_t offset, length;
        bool accepted;
    };
    const Case cases[] = {
        {9, 0, true},   {6, 3, true},  // at the 9-byte block's end; its last three bytes
        {10, 0, false}, {6, 4, false}, {4, 0xFFFFFFFEu, false},  // the last wraps in 32 bits
    };
    for (int text = 0; text < 3; ++text) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << text << ": " << c.offset << "+" << c.length);
            samples::Row record = {0, 4, 8, 3, 3, 0};
            record[text] = c.offset;
            record[text + 3] = c.length;
            LoadPrevious();
            EXPECT_EQ(Load(RawImage({{0, 4, 8, 3, 3, 0}, record}, kBlock)), c.accepted ? 2u : 0u);
            if (c.accepted) {
                EXPECT_EQ(dict_.entries[1].*texts[text], dict_.pool + c.offset);
            } else {
                ExpectEmpty();
            }
        }
    }
}

TEST_F(LoadBinary, ImageOfTwoHundredMillionBytesIsTheLargestAccepted) {
    for (long long size : {200000001LL, 200000000LL}) {
        testutil::MakeSparseFile(file_, size);
        std::fstream(file_, std::ios::in | std::ios::out | std::ios::binary) << kSmallImage;
        LoadPrevious();
        EXPECT_EQ(dict_.LoadFromBINFileA(file_.c_str()), size == 200000000LL ? 1u : 0u);
    }
    EXPECT_EQ(dict_.dataSize, 200000000u);
    ASSERT_NE(dict_.FindStringA("abc"), nullptr);
    EXPECT_EQ(dict_.pool[200000003], '\0');
}

TEST_F(LoadBinary, RoundTripThroughTheTextFile) {
    // Start Game → a GBK text with a line break; an empty remark.
    const std::string block("Start Game\0\xBF\xAA\r\n\xCA\xBC\0", 18);
    ASSERT_EQ(Load(RawImage({{0, 11, 17, 10, 6, 0}}, block)), 1u);
    const std::string text = dir_.File("dict.txt");
    ASSERT_GT(dict_.SaveToTXTFileA(text.c_str()), 0);
    VKCStringDict reloaded;
    ASSERT_EQ(reloaded.LoadFromTXTFileA(text.c_str()), 1u);
    const StringEntry& e = reloaded.entries[0];
    EXPECT_EQ(std::string(e.eng, e.engLen) + '|' + std::string(e.chi, e.chiLen) + '|' + e.remark,
              "Start Game|\xBF\xAA\r\n\xCA\xBC|");
}

}  // namespace
