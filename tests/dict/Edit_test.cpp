// Editing in memory: sorted insertion, blank records, text replacement, the
// growth of both blocks, and long random runs of edits checked after each step.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/VKCStringDict.h"

namespace {

using Texts = std::array<std::string, 3>;  // eng, chi, remark

uint32_t Off(const VKCStringDict& d, const char* text) {
    return uint32_t(text - d.pool);
}

std::string Join(std::initializer_list<uint64_t> values) {
    std::string text;
    for (uint64_t v : values) text += (text.empty() ? "" : " ") + std::to_string(v);
    return text;
}

// "count poolUsed dataSize poolCapacity entryCapacity"
std::string State(const VKCStringDict& d) {
    return Join({d.count, d.poolUsed, d.dataSize, d.poolCapacity, d.entryCapacity});
}

// Record i's text offsets in the pool, then its lengths.
std::string Layout(const VKCStringDict& d, uint32_t i) {
    const StringEntry& e = d.entries[i];
    return Join({Off(d, e.eng), Off(d, e.chi), Off(d, e.remark), e.engLen, e.chiLen, e.remarkLen});
}

// Record i as "eng|chi|remark", by the lengths; read to its NUL, each must agree.
std::string Rec(const VKCStringDict& d, uint32_t i) {
    const StringEntry& e = d.entries[i];
    EXPECT_EQ(std::strlen(e.eng), e.engLen);
    EXPECT_EQ(std::strlen(e.chi), e.chiLen);
    EXPECT_EQ(std::strlen(e.remark), e.remarkLen);
    return std::string(e.eng, e.engLen) + "|" + std::string(e.chi, e.chiLen) + "|" +
           std::string(e.remark, e.remarkLen);
}

std::string Loaded(int n) {
    std::vector<samples::Record> records;
    for (int i = 0; i < n; ++i) records.push_back({"key" + std::to_string(1000 + i), "c", "r"});
    return samples::DictionaryText(records);
}

TEST(EditAdd, NewDictionaryGrowsBothBlocksAndKeepsKeysSortedAndUnique) {
    VKCStringDict d;
    ASSERT_EQ(d.AddStringA("Start", "Go", nullptr), d.entries);
    EXPECT_EQ(State(d), "1 24 24 1048600 10000");
    EXPECT_EQ(Layout(d, 0), "0 9 15 5 2 5");
    EXPECT_EQ(Rec(d, 0), "Start|Go|Start");
    EXPECT_EQ(d.AddStringA("  Start ", "Begin", "x"), d.entries);  // found: unchanged
    EXPECT_EQ(Rec(d, 0), "Start|Go|Start");
    EXPECT_EQ(State(d), "1 24 24 1048600 10000");

    ASSERT_EQ(d.AddStringA("Apple", nullptr, nullptr), d.entries);
    EXPECT_EQ(State(d), "2 51 51 1048600 10000");
    EXPECT_EQ(Layout(d, 0), "24 33 42 5 5 5");
    EXPECT_EQ(Rec(d, 0) + Rec(d, 1), "Apple|Apple|AppleStart|Go|Start");
    EXPECT_EQ(d.AddStringA(nullptr, "x", "y"), nullptr);
}

TEST(EditAdd, BlanksAroundTheKeyAreTrimmedAndNeverLeftInTheAppendRegion) {
    VKCStringDict d;
    d.AddStringA("     Ab", "X", "");
    EXPECT_EQ(State(d), "1 20 20 1048596 10000");
    EXPECT_EQ(Layout(d, 0), "5 11 16 2 1 0");
    d.AddStringA("        Cd", "Y", "remark");  // would reach past a count of trimmed lengths
    d.AddStringA("Go      ", "C", "r");         // CHI written over the blanks' NULs
    d.AddStringA("   ", nullptr, "");           // the empty key: first, CHI as passed
    EXPECT_EQ(Rec(d, 0), "|   |");
    EXPECT_EQ(Rec(d, 2), "Cd|Y|remark");
    EXPECT_EQ(Rec(d, 3), "Go|C|r");
    EXPECT_EQ(d.FindStringA(" Go"), &d.entries[3]);
}

TEST(EditAdd, TheArrayGrowsAtCount9998AndTheFirstAddAfterALoadFollowsTheLoadedBytes) {
    VKCStringDict d;
    for (int i = 0; i < 9998; ++i) d.AddStringA(std::to_string(10000 + i).c_str(), "", "");
    EXPECT_EQ(State(d), "9998 169966 169966 1048593 10000");  // no growth at count 9,997
    ASSERT_EQ(d.AddStringA("0", "c", "r"), d.entries);
    EXPECT_EQ(d.entryCapacity, 20000u);
    EXPECT_EQ(Rec(d, 9998), "19997||");

    const std::string text = Loaded(120);
    ASSERT_EQ(d.LoadFromTXTStringA(text.c_str()), 120u);
    StringEntry* added = d.AddStringA("key1050a", "c", nullptr);
    ASSERT_EQ(added, &d.entries[51]);
    EXPECT_EQ(d.entryCapacity, 10120u);
    EXPECT_EQ(d.poolCapacity, text.size() + (8 + 1 + 8 + 12) + 1048576);
    EXPECT_EQ(Off(d, added->eng), text.size());
    EXPECT_EQ(Rec(d, 120), "key1119|c|r");  // moved with the pool
}

TEST(EditSet, ShorterTextsGoInPlaceOthersAreAppendedGrowingAtTheOldCapacity) {
    VKCStringDict d;
    EXPECT_EQ(d.SetCHITextA(0, "x"), 0);  // no records: nothing changes
    EXPECT_EQ(State(d), "0 0 0 0 0");
    d.AddStringA("Start", "Go", nullptr);
    EXPECT_EQ(d.SetCHITextA(0, "G") + d.SetRemarkTextA(0, nullptr), 2);  // in place
    EXPECT_EQ(Layout(d, 0), "0 9 15 5 1 0");
    EXPECT_EQ(State(d), "1 24 24 1048600 10000");
    EXPECT_EQ(d.SetCHITextA(7, "H"), 1);       // same length, last record: appended
    EXPECT_EQ(d.SetENGTextA(0, " Zulu "), 1);  // stored untrimmed
    EXPECT_EQ(Layout(d, 0), "29 24 15 6 1 0");
    EXPECT_EQ(Rec(d, 0), " Zulu |H|");
    EXPECT_EQ(State(d), "1 39 39 1048600 10000");

    d.SetRemarkTextA(0, std::string(1048590 - d.poolUsed - 4, 'f').c_str());
    ASSERT_EQ(State(d), "1 1048590 1048590 1048600 10000");
    EXPECT_EQ(d.SetCHITextA(0, "abcdefghijklmnopqrst"), 1);
    EXPECT_EQ(State(d), "1 1048624 1048624 2097200 10000");
    EXPECT_EQ(Off(d, d.entries[0].chi), 1048600u);
    EXPECT_EQ(std::string(d.entries[0].eng), " Zulu ");
    // A need that reaches the capacity exactly grows the pool too.
    d.SetRemarkTextA(0, std::string(d.poolCapacity - d.poolUsed - 4, 'g').c_str());
    EXPECT_EQ(State(d), "1 3145776 3145776 4194352 10000");
}

TEST(EditBlank, BlankRecordsStandWhereTheCallerPutsThemAndPointAtThePoolStart) {
    VKCStringDict d;
    ASSERT_EQ(d.LoadFromTXTStringA(Loaded(3).c_str()), 3u);
    EXPECT_EQ(d.InsertBlankEntry(0), 4u);
    EXPECT_EQ(d.InsertBlankEntry(9), 5u);
    EXPECT_EQ(Rec(d, 1) + Rec(d, 3), "key1000|c|rkey1002|c|r");
    EXPECT_EQ(Layout(d, 0) + " " + Layout(d, 4), "0 0 0 0 0 0 0 0 0 0 0 0");
    const uint32_t used = d.poolUsed;
    EXPECT_EQ(d.SetRemarkTextA(4, ""), 1);  // even an empty text is appended
    EXPECT_EQ(Off(d, d.entries[4].remark), used);
    EXPECT_EQ(d.poolUsed, used + 4);

    // A failed reload leaves no pool: a blank gets a zero-filled one, an add
    // grows from an empty block.
    ASSERT_EQ(d.ReloadTXTFileA(), 0u);
    EXPECT_EQ(d.InsertBlankEntry(0), 1u);
    ASSERT_NE(d.pool, nullptr);
    EXPECT_EQ(d.FindStringA(""), d.entries);
    VKCStringDict other;
    other.ReloadTXTFileA();
    ASSERT_EQ(other.AddStringA("a", "b", "c"), other.entries);
    EXPECT_EQ(State(other), "1 15 15 1048591 10000");
}

// Reached by setting the counters by hand; each call must fail before it
// reads a block, so the small real blocks are never overrun.
TEST(EditFailures, SizesBeyond32BitsAreAllocationFailuresThatChangeNothing) {
    VKCStringDict d;
    d.AddStringA("Start", "Go", nullptr);
    d.poolUsed = (d.poolCapacity = 0xFFF00000u) - 10;
    EXPECT_EQ(d.AddStringA("Apple", "a", "b"), nullptr);
    EXPECT_THROW(d.SetCHITextA(0, "longer text"), std::bad_alloc);
    EXPECT_EQ(d.poolUsed, 0xFFF00000u - 10);
    d.poolUsed = 24;
    d.poolCapacity = 1048600;
    d.count = d.entryCapacity = 178956000;  // 24 x (capacity + 10,000) needs 33 bits
    EXPECT_THROW(d.InsertBlankEntry(0), std::bad_alloc);
    EXPECT_EQ(d.AddStringA("Apple", "a", "b"), nullptr);
    d.count = 1;
    d.entryCapacity = 10000;
    EXPECT_EQ(State(d) + " " + Rec(d, 0), "1 24 24 1048600 10000 Start|Go|Start");
}

TEST(EditSave, ADictionaryBuiltByAddingSavesAndLoadsBackTheSameRecords) {
    VKCStringDict built, loaded;
    built.AddStringA("Start Game", "\xBF\xAA\xCA\xBC", nullptr);
    built.AddStringA("  Quit", "", " r ");
    built.AddStringA("Apple", "a b  ", "");
    testutil::TempDir dir;
    const std::string file = dir.File("built.txt");
    ASSERT_GT(built.SaveToTXTFileA(file.c_str()), 0);
    ASSERT_EQ(loaded.LoadFromTXTFileA(file.c_str()), 3u);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Rec(loaded, i), Rec(built, i));
}

// Every record's texts equal the model's and, unless they are a blank
// record's, lie in the pool below the append position, end at their lengths
// and overlap no other text; `sorted`: keys strictly ascending.
void Check(const VKCStringDict& d, const std::vector<Texts>& model, bool sorted) {
    ASSERT_EQ(d.count, model.size());
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    for (uint32_t i = 0; i < d.count; ++i) {
        const StringEntry& e = d.entries[i];
        const char* text[3] = {e.eng, e.chi, e.remark};
        const uint32_t length[3] = {e.engLen, e.chiLen, e.remarkLen};
        for (int f = 0; f < 3; ++f) {
            ASSERT_EQ(std::string_view(text[f], length[f]), model[i][f]) << i;
            if (text[f] == d.pool && length[f] == 0) continue;
            ASSERT_TRUE(text[f] >= d.pool && text[f] + length[f] < d.pool + d.poolUsed) << i;
            ASSERT_EQ(std::strlen(text[f]), length[f]) << i;
            spans.emplace_back(Off(d, text[f]), Off(d, text[f]) + length[f]);
        }
        if (sorted && i > 0) {
            ASSERT_EQ(d.CompareKey(d.entries[i - 1].eng, e.eng), 2) << i;
        }
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i) ASSERT_GT(spans[i].first, spans[i - 1].second);
}

// Random edits whose texts are often the dictionary's own (whole or a suffix),
// now and then with the pool filled to a few bytes below its capacity so that
// the next edit grows it; `sorted`: adds and CHI/remark changes only.
void RunEdits(VKCStringDict& d, std::vector<Texts> model, bool sorted, unsigned seed) {
    std::mt19937 rng(seed);
    auto below = [&rng](uint32_t n) {
        return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng);
    };
    std::string fresh[3];
    auto pick = [&](int k) -> const char* {
        const uint32_t roll = below(100);
        if (k > 0 && roll < 8) return nullptr;
        if (roll < 48 && d.count > 0) {
            const StringEntry& e = d.entries[below(d.count)];
            const uint32_t f = below(3), n = f == 0 ? e.engLen : f == 1 ? e.chiLen : e.remarkLen;
            const char* text = f == 0 ? e.eng : f == 1 ? e.chi : e.remark;
            if (text != d.pool || n != 0) return text + below(n + 1);  // not a blank's
        }
        fresh[k].assign(below(9), ' ');
        for (uint32_t i = below(14); i > 0; --i) fresh[k] += "abcxyzAZ09 \x81\xC4\xFE"[below(14)];
        return fresh[k].append(below(6), ' ').c_str();
    };
    for (int step = 0; step < 1500 && !::testing::Test::HasFatalFailure(); ++step) {
        SCOPED_TRACE(step);
        d.matchKey = d.matchValue = d.pool;  // a match under way
        const uint32_t op = below(200), index = below(d.count + 3);
        const bool fill = op == 199 && d.count > 0 && d.poolCapacity - d.poolUsed > 60;
        if (op < (sorted ? 120u : 60u)) {
            const char *eng = pick(0), *chi = pick(1), *remark = pick(2);
            std::string key = eng;
            const Texts record{TrimSpacesA(key.data(), 0), chi ? chi : eng, remark ? remark : eng};
            const uint32_t before = d.count;
            StringEntry* e = d.AddStringA(eng, chi, remark);
            ASSERT_NE(e, nullptr);
            if (d.count == before) {
                ASSERT_EQ(model[e - d.entries][0], record[0]);  // found: untouched
            } else {
                model.insert(model.begin() + (e - d.entries), record);
            }
        } else if (!sorted && op < 80) {
            ASSERT_EQ(d.InsertBlankEntry(index), model.size() + 1);
            model.insert(model.begin() + std::min<size_t>(index, model.size()), Texts{});
        } else if (!fill) {
            const uint32_t f = sorted ? 1 + op % 2 : op % 3;
            const char* text = pick(1);
            const std::string value = text ? text : "";
            const int result = f == 0   ? d.SetENGTextA(index, text)
                               : f == 1 ? d.SetCHITextA(index, text)
                                        : d.SetRemarkTextA(index, text);
            ASSERT_EQ(result, model.empty() ? 0 : 1);
            if (!model.empty()) model[std::min<size_t>(index, model.size() - 1)][f] = value;
        } else {
            d.SetRemarkTextA(index,
                             std::string(d.poolCapacity - d.poolUsed - 5 - below(50), 'f').c_str());
            d.SetRemarkTextA(index, "");
            model[std::min<size_t>(index, model.size() - 1)][2] = "";
        }
        EXPECT_TRUE(*d.matchKey == '\0' && *d.matchValue == '\0' && d.matchKey != d.pool);
        Check(d, model, sorted);
    }
    for (uint32_t i = 0; sorted && i < d.count; ++i)
        EXPECT_EQ(d.FindStringA(model[i][0].c_str()), &d.entries[i]);
}

TEST(EditRandom, EditsKeepTheRecordsAndThePoolSound) {
    VKCStringDict fresh;
    RunEdits(fresh, {}, true, 20260508u);

    VKCStringDict loaded;
    ASSERT_EQ(loaded.LoadFromTXTStringA(Loaded(60).c_str()), 60u);
    std::vector<Texts> model;
    for (int i = 0; i < 60; ++i) model.push_back({"key" + std::to_string(1000 + i), "c", "r"});
    RunEdits(loaded, model, false, 7u);
}

}  // namespace
