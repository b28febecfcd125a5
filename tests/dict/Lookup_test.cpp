// Key normalisation, key order and the lookups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/VKCStringDict.h"

namespace {

using samples::DictionaryText;
using samples::Record;

// Loads records with the given ENG texts, in the given order; the CHI text of
// each is "chi:" and its ENG text.
void LoadKeys(VKCStringDict& dict, const std::vector<std::string>& keys) {
    std::vector<Record> records;
    for (const std::string& key : keys) records.push_back({key, "chi:" + key, ""});
    ASSERT_EQ(dict.LoadFromTXTStringA(DictionaryText(records).c_str()), keys.size());
}

TEST(TrimSpaces, ModeZeroPointsPastLeadingBlanksAndCutsTrailingOnes) {
    char text[] = "  ab ";
    uint32_t length = 99;
    char* key = TrimSpacesA(text, 0, &length);
    EXPECT_EQ(key, text + 2);
    EXPECT_STREQ(key, "ab");
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(text[4], '\0');
}

TEST(TrimSpaces, ModeOneMovesTheTextToTheStart) {
    char text[] = "  ab ";
    uint32_t length = 99;
    EXPECT_EQ(TrimSpacesA(text, 1, &length), text);
    EXPECT_STREQ(text, "ab");
    EXPECT_EQ(length, 2u);
}

TEST(TrimSpaces, BlankOnlyTextsAreEmptyInEveryModeAndOtherModesGiveNull) {
    char blanks[] = "   ";
    uint32_t length = 99;
    EXPECT_EQ(TrimSpacesA(blanks, 7, &length), blanks);
    EXPECT_EQ(length, 0u);
    EXPECT_STREQ(blanks, "");

    char text[] = "ab ";
    length = 99;
    EXPECT_EQ(TrimSpacesA(text, 2, &length), nullptr);
    EXPECT_STREQ(text, "ab");  // the trailing blank is cut all the same
    EXPECT_EQ(length, 99u);

    EXPECT_EQ(TrimSpacesA(nullptr, 0, &length), nullptr);
    EXPECT_EQ(length, 99u);
}

TEST(TrimSpaces, OnlyTheBlankIsTrimmed) {
    char text[] = "\t a\t \n";
    uint32_t length = 0;
    EXPECT_STREQ(TrimSpacesA(text, 0, &length), "\t a\t \n");
    EXPECT_EQ(length, 6u);
}

TEST(CompareKey, UnsignedByteOrderWithPrefixesFirst) {
    VKCStringDict dict;
    EXPECT_EQ(dict.CompareKey("Start", "Start"), 1);
    EXPECT_EQ(dict.CompareKey("", ""), 1);
    EXPECT_EQ(dict.CompareKey("Zebra", "apple"), 2);  // upper case before lower case
    EXPECT_EQ(dict.CompareKey("apple", "Zebra"), 3);
    EXPECT_EQ(dict.CompareKey("Star", "Start"), 2);  // a proper prefix sorts first
    EXPECT_EQ(dict.CompareKey("Start", "Star"), 3);
    EXPECT_EQ(dict.CompareKey("z", "\x80"), 2);  // bytes from 0x80 after all ASCII
    EXPECT_EQ(dict.CompareKey("\xFF", "\x80"), 3);
}

TEST(Lookups, ANewDictionaryFindsNothing) {
    VKCStringDict dict;
    EXPECT_EQ(dict.FindStringA("Start"), nullptr);
    EXPECT_EQ(dict.FindStringIndexA("Start"), -1);
    EXPECT_EQ(dict.FindByKey(0), nullptr);
    EXPECT_EQ(dict.FindStringA(nullptr), nullptr);
    EXPECT_EQ(dict.FindStringIndexA(nullptr), -1);
}

TEST(Lookups, ARecordArrayWithoutRecordsGivesInsertionPositionZero) {
    VKCStringDict dict;
    // The first record lacks its ENG end marker: the array exists, no record is usable.
    EXPECT_EQ(dict.LoadFromTXTStringA("\r\nmirok_res_No.0\r\nmirok_res_ENG_Start\r\nabc"), 0u);
    ASSERT_NE(dict.entries, nullptr);
    EXPECT_EQ(dict.count, 0u);
    EXPECT_EQ(dict.FindStringA("abc"), nullptr);
    EXPECT_EQ(dict.FindStringIndexA("abc"), 0);
}

TEST(Lookups, OneRecord) {
    VKCStringDict dict;
    LoadKeys(dict, {"Middle"});
    ASSERT_EQ(dict.FindStringA("Middle"), &dict.entries[0]);
    EXPECT_STREQ(dict.FindStringA("Middle")->chi, "chi:Middle");
    EXPECT_EQ(dict.FindStringA("Midd"), nullptr);
    EXPECT_EQ(dict.FindStringIndexA("Middle"), 0);
    EXPECT_EQ(dict.FindStringIndexA("Apple"), 0);
    EXPECT_EQ(dict.FindStringIndexA("Zoo"), 1);
}

// For every size from 1 to 40 and every probe between and on the keys, the
// search agrees with a plain lower bound over the sorted keys.
TEST(Lookups, BinarySearchAgreesWithALowerBoundAtEverySize) {
    for (size_t size = 1; size <= 40; ++size) {
        std::vector<std::string> keys;
        for (size_t i = 0; i < size; ++i) keys.push_back("k" + std::to_string(100 + 2 * i));
        VKCStringDict dict;
        LoadKeys(dict, keys);
        for (size_t probe = 98; probe <= 102 + 2 * size; ++probe) {
            std::string text = "k" + std::to_string(probe);
            auto bound = std::lower_bound(keys.begin(), keys.end(), text);
            int32_t expected = static_cast<int32_t>(bound - keys.begin());
            bool present = bound != keys.end() && *bound == text;
            EXPECT_EQ(dict.FindStringIndexA(text.c_str()), expected) << size << " " << text;
            StringEntry* found = dict.FindStringA(text.c_str());
            EXPECT_EQ(found, present ? &dict.entries[expected] : nullptr) << size << " " << text;
        }
    }
}

TEST(Lookups, BlanksAroundTheTextAreIgnoredButTabsAreNot) {
    VKCStringDict dict;
    LoadKeys(dict, {"Load Game", "Start Game"});
    std::string text = "  Start Game  ";
    EXPECT_EQ(dict.FindStringA(text.c_str()), &dict.entries[1]);
    EXPECT_EQ(text, "  Start Game  ");  // the caller's text is not changed
    EXPECT_EQ(dict.FindStringA("Start Game\t"), nullptr);
}

TEST(Lookups, ABlankOnlyTextFindsTheEmptyKeyOnItsPath) {
    VKCStringDict dict;
    LoadKeys(dict, {"", "a", "b"});
    EXPECT_EQ(dict.FindStringA("   "), &dict.entries[0]);
    EXPECT_EQ(dict.FindStringA(""), &dict.entries[0]);

    VKCStringDict without;
    LoadKeys(without, {"a", "b"});
    EXPECT_EQ(without.FindStringA("  "), nullptr);
    EXPECT_EQ(without.FindStringIndexA("  "), 0);
}

TEST(Lookups, RecordsStoredWithBlanksAreNeverFound) {
    VKCStringDict dict;
    LoadKeys(dict, {" Start", "Start "});
    EXPECT_STREQ(dict.entries[0].eng, " Start");
    EXPECT_EQ(dict.FindStringA("Start"), nullptr);
    EXPECT_EQ(dict.FindStringA(" Start"), nullptr);
}

TEST(FindByKey, SearchesTheLittleEndianNumberOfTheFirstFourBytes) {
    VKCStringDict dict;
    // Ascending by number: "ab" is 0x6261 (its missing bytes count as 0),
    // "aaaa" is 0x61616161, "baaa" 0x61616162, "abbb" 0x62626261.
    LoadKeys(dict, {"ab", "aaaa", "baaa!", "abbb"});
    EXPECT_EQ(dict.FindByKey(0x6261u), &dict.entries[0]);
    EXPECT_EQ(dict.FindByKey(0x61616161u), &dict.entries[1]);
    EXPECT_EQ(dict.FindByKey(0x61616162u), &dict.entries[2]);
    EXPECT_EQ(dict.FindByKey(0x62626261u), &dict.entries[3]);
    EXPECT_EQ(dict.FindByKey(0x61u), nullptr);
    EXPECT_EQ(dict.FindByKey(0xFFFFFFFFu), nullptr);
}

}  // namespace
