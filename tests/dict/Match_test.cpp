#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/GbkChar.h"
#include "dict/VKCStringDict.h"

namespace {

using samples::Record;

// Two-byte GBK characters.
const std::string C1 = "\xB0\xA1", C2 = "\xB0\xA2", C3 = "\xC4\xE3", C4 = "\xBA\xC3";
constexpr char kUntouched = '\x55';

// The character rule, stated apart from the matcher's: lead bytes are all but
// 0x00 to 0x80 and 0xFF; trail bytes all but 0x00 to 0x3F, 0x7F and 0xFF.
bool IsLead(unsigned char b) {
    return !(b <= 0x80 || b == 0xFF);
}
bool IsTrail(unsigned char b) {
    return !(b <= 0x3F || b == 0x7F || b == 0xFF);
}

struct Answer {
    int32_t result;
    std::string out;  // up to its NUL; `capacity` kUntouched bytes when not written
};

// One call with an out buffer of exactly `capacity` bytes, so that a write
// past its end is caught under the address sanitizer.
Answer Match(VKCStringDict& dict, const char* text, uint32_t capacity = 100) {
    std::vector<char> out(capacity, kUntouched);
    int32_t result = dict.MatchNextA(text, out.data(), capacity);
    auto end = std::find(out.begin(), out.end(), '\0');
    if (result != 0) {
        EXPECT_NE(end, out.end()) << "out is not NUL-terminated";
    }
    return Answer{result, std::string(out.begin(), end)};
}

void Load(VKCStringDict& dict, const std::vector<Record>& records) {
    ASSERT_EQ(dict.LoadFromTXTStringA(samples::DictionaryText(records).c_str()), records.size());
}

struct Call {
    const char* piece;
    uint32_t capacity;
    int32_t result;
    std::string out;  // for result 0: nothing, out must be untouched
    bool idleAfter;
};

struct Scenario {
    const char* name;
    std::vector<Record> records;  // none: a newly constructed dictionary
    std::vector<Call> calls;
};

const std::string kHello = C1 + C2 + C3 + C4;  // CHI text of "Hello world"

const Scenario kScenarios[] = {
    {"worked example: a character straddling the limit goes out whole",
     {{"Hello world", kHello, ""}, {"Zebra", "x", ""}},
     {{"Hello", 100, 1, C1 + C2 + C3, false}, {"world", 100, 2, C4, true}}},
    {"a piece of n bytes needs capacity n + 1; a piece that does not fit ends the match",
     {{"Hello world", kHello, ""}},
     {{"Hello", 6, 0, "", true},
      {"Hello", 7, 1, C1 + C2 + C3, false},
      {"world", 2, 0, "", true},
      {"world", 100, 0, "", true},
      {"Hello", 100, 1, C1 + C2 + C3, false},
      {"world", 3, 2, C4, true}}},
    {"a piece that does not continue ends the match and starts none",
     {{"Hello world", kHello, ""}},
     {{"Hello", 100, 1, C1 + C2 + C3, false},
      {"there", 100, 0, "", true},
      {"Hello", 100, 1, C1 + C2 + C3, false},
      {"Hello", 100, 0, "", true},
      {"Hello", 100, 1, C1 + C2 + C3, false}}},
    {"a long first piece takes all; the last piece gets the empty rest",
     {{"Hello world", kHello, ""}},
     {{"Hello wor", 100, 1, kHello, false}, {"ld", 100, 2, "", true}}},
    {"an exact hit begins no match",
     {{"Hello", "x", ""}, {"Hello world", kHello, ""}},
     {{"  Hello ", 100, 0, "", true}}},
    {"single-byte and double-byte characters mixed",
     {{"Hello world", "de" + C1 + "f" + C2 + C3, ""}},
     {{"Hello", 100, 1, "de" + C1 + "f", false}, {"world", 100, 2, C2 + C3, true}}},
    {"a lead byte before the NUL or before a non-trail byte is one character",
     {{"abc d", C1 + "\x81", ""}, {"b cd e", "\x81\x7F" + C1, ""}},
     {{"abc", 100, 1, C1 + "\x81", false},
      {"d", 100, 2, "", true},
      {"b", 100, 1, "\x81", false},
      {"cd", 100, 1, "\x7F" + C1, false}}},
    {"a first piece followed only by blanks in its ENG text leaves the matcher idle",
     {{"Hello  ", "ab" + C1, ""}},
     {{"Hello", 100, 1, "ab" + C1, true}, {"Hello", 100, 1, "ab" + C1, true}}},
    {"blanks around and between pieces are skipped; a tab is no blank",
     {{"Hello   world  ", "abcdefghijkl", ""}},
     {{"   Hello ", 100, 1, "abcde", false},
      {" world     ", 100, 2, "fghijkl", true},
      {"Hello\t", 100, 0, "", true},
      {"Hello", 100, 1, "abcde", false},
      {"\tworld", 100, 0, "", true}}},
    {"an empty key begins on record 0, past its leading blanks; while matching it is empty",
     {{"  Alpha beta", "abcdefgh", ""}, {"Zulu", "x", ""}},
     {{"   ", 100, 1, "", false},
      {"Alpha", 100, 1, "abcde", false},
      {"", 100, 1, "", false},
      {"beta", 100, 2, "fgh", true}}},
    {"an empty key is an exact hit on an empty ENG text",
     {{"", "x", ""}, {"Alpha", "y", ""}},
     {{"", 100, 0, "", true}}},
    {"a CHI text shorter than the ENG text gives empty pieces",
     {{"one two three", "ab", ""}},
     {{"one", 100, 1, "ab", false}, {"two", 100, 1, "", false}, {"three", 100, 2, "", true}}},
    {"the match stays on the first record that begins with the first piece",
     {{"Open the box", "box", ""}, {"Open the door", "door", ""}},
     {{"Open", 100, 1, "box", false}, {"the door", 100, 0, "", true}}},
    {"no ENG text begins with the key",
     {{"Apple", "x", ""}, {"Cherry", "y", ""}},
     {{"Banana", 100, 0, "", true}, {"Dates", 100, 0, "", true}, {"Applesauce", 100, 0, "", true}}},
    {"an empty dictionary", {}, {{"Hello", 100, 0, "", true}, {"", 100, 0, "", true}}},
};

TEST(MatchTest, Scenarios) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        VKCStringDict dict;
        if (!scenario.records.empty()) Load(dict, scenario.records);
        std::string pool(dict.pool, dict.dataSize + 4);
        for (const Call& call : scenario.calls) {
            SCOPED_TRACE(std::string("piece \"") + call.piece + "\"");
            Answer answer = Match(dict, call.piece, call.capacity);
            EXPECT_EQ(answer.result, call.result);
            EXPECT_EQ(answer.out,
                      call.result == 0 ? std::string(call.capacity, kUntouched) : call.out);
            EXPECT_EQ(dict.matchKey[0] == '\0', call.idleAfter);
        }
        EXPECT_EQ(std::string(dict.pool, dict.dataSize + 4), pool) << "a record's text was written";
    }
}

TEST(MatchTest, RejectedCallsLeaveTheMatchAsItWas) {
    VKCStringDict dict;
    Load(dict, {{"Hello world", kHello, ""}});
    ASSERT_EQ(Match(dict, "Hello").result, 1);
    EXPECT_EQ(dict.matchKey, dict.entries[0].eng + 6);
    EXPECT_EQ(dict.matchValue, dict.entries[0].chi + 6);
    char out[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
    EXPECT_EQ(dict.MatchNextA(nullptr, out, sizeof(out)), 0);
    EXPECT_EQ(dict.MatchNextA("world", nullptr, 100), 0);
    EXPECT_EQ(dict.MatchNextA("world", out, 0), 0);
    EXPECT_EQ(std::string(out, sizeof(out)), std::string(4, kUntouched));
    EXPECT_EQ(Match(dict, "world").out, C4);
}

TEST(MatchTest, LoadsAndEditsEndAMatchInProgress) {
    VKCStringDict dict;
    Load(dict, {{"Hello world", kHello, ""}});
    ASSERT_EQ(Match(dict, "Hello").result, 1);
    Load(dict, {{"world peace", "wp", ""}});
    // A first piece in the new dictionary, not read through the released pool.
    EXPECT_EQ(Match(dict, "world").out, "wp");

    ASSERT_NE(dict.AddStringA("Hello world", kHello.c_str(), ""), nullptr);
    ASSERT_EQ(Match(dict, "Hello").result, 1);
    ASSERT_NE(dict.AddStringA("another text", "x", ""), nullptr);
    EXPECT_EQ(dict.matchKey[0], '\0');
}

TEST(MatchTest, RecordWithoutChiTextMatchesAsEmpty) {
    VKCStringDict dict;
    Load(dict, {{"Hello world", C1, ""}});
    dict.entries[0].chi = nullptr;
    EXPECT_EQ(Match(dict, "Hello").out, "");
    Answer last = Match(dict, "world");
    EXPECT_EQ(last.result, 2);
    EXPECT_EQ(last.out, "");
}

TEST(GbkCharTest, AllBytePairs) {
    int mismatches = 0;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const char text[3] = {static_cast<char>(first), static_cast<char>(second), '\0'};
            uint32_t expected = first == 0 ? 0 : (IsLead(first) && IsTrail(second) ? 2 : 1);
            uint32_t actual = gbk::CharLength(text);
            if (actual != expected && ++mismatches <= 10) {
                ADD_FAILURE() << std::hex << "bytes " << first << " " << second << ": " << actual;
            }
            // A view counts a NUL as a character and never reads past its end.
            const size_t inView = IsLead(first) && IsTrail(second) ? 2 : 1;
            if ((gbk::CharLength(text, 2) != inView || gbk::CharLength(text, 1) != 1) &&
                ++mismatches <= 10) {
                ADD_FAILURE() << std::hex << "view of bytes " << first << " " << second;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// ---- Any cutting of a record's ENG text hands out the record's CHI text
// whole, in pieces cut between its characters.

std::set<size_t> CharacterBoundaries(const std::string& chi) {
    std::set<size_t> boundaries{0};
    for (size_t i = 0; i < chi.size(); boundaries.insert(i)) {
        bool pair = i + 1 < chi.size() && IsLead(chi[i]) && IsTrail(chi[i + 1]);
        i += pair ? 2 : 1;
    }
    return boundaries;
}

TEST(MatchPropertyTest, CuttingsHandOutTheWholeChiText) {
    std::mt19937 rng(20240601);
    auto uniform = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    // Words of the letters a to d, one to three blanks between them, now and
    // then blanks at the end, never in front.
    auto makeEng = [&] {
        std::string text;
        for (int w = uniform(1, 4); w > 0; --w) {
            for (int i = uniform(1, 6); i > 0; --i) text += static_cast<char>('a' + uniform(0, 3));
            if (w > 1 || uniform(0, 4) == 0) text.append(uniform(1, 3), ' ');
        }
        return text;
    };
    // ASCII letters, GBK pairs, and lone high bytes that may pair with what
    // follows; never NUL, CR or LF.
    auto makeChi = [&] {
        std::string text;
        for (int i = uniform(0, 12); i > 0; --i) {
            int kind = uniform(0, 3);
            if (kind == 0) text += static_cast<char>(uniform('A', 'z'));
            if (kind == 3) text += static_cast<char>(uniform(0x80, 0xFF));
            if (kind == 1 || kind == 2) {
                text += static_cast<char>(uniform(0x81, 0xFE));
                text +=
                    static_cast<char>(uniform(0, 1) ? uniform(0x40, 0x7E) : uniform(0x80, 0xFE));
            }
        }
        return text;
    };

    int checked = 0;
    for (int round = 0; round < 150; ++round) {
        std::set<std::string> engs;  // ascending, as the dictionary must be
        for (int size = uniform(1, 30); static_cast<int>(engs.size()) < size;) {
            engs.insert(makeEng());
        }
        std::vector<Record> records;
        for (const std::string& eng : engs) records.push_back({eng, makeChi(), ""});
        VKCStringDict dict;
        Load(dict, records);

        for (int attempt = 0; attempt < 20; ++attempt) {
            size_t index = uniform(0, static_cast<int>(records.size()) - 1);
            const std::string& eng = records[index].eng;
            const std::string& chi = records[index].chi;
            // Cut before the last letter, so that only the last piece reaches
            // the end of the ENG text.
            size_t lastLetter = eng.find_last_not_of(' ');
            if (lastLetter == 0) continue;
            std::vector<size_t> cuts;
            for (int i = uniform(1, 5); i > 0; --i) cuts.push_back(uniform(1, lastLetter));
            std::sort(cuts.begin(), cuts.end());
            cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
            cuts.push_back(eng.size());

            // The record must be the first that begins with the first piece,
            // and the first piece must be no record's whole ENG text.
            std::string first = eng.substr(0, cuts[0]);
            first.erase(first.find_last_not_of(' ') + 1);
            bool usable = true;
            for (size_t r = 0; r < records.size(); ++r) {
                if (records[r].eng == first) usable = false;
                if (r < index && records[r].eng.compare(0, first.size(), first) == 0) {
                    usable = false;
                }
            }
            if (!usable) continue;

            ++checked;
            SCOPED_TRACE("ENG \"" + eng + "\", record " + std::to_string(index));
            std::set<size_t> boundaries = CharacterBoundaries(chi);
            std::vector<char> out(chi.size() + 1);
            std::string handedOut;
            for (size_t p = 0, from = 0; p < cuts.size(); from = cuts[p++]) {
                std::string piece = eng.substr(from, cuts[p] - from);
                int32_t result =
                    dict.MatchNextA(piece.c_str(), out.data(), static_cast<uint32_t>(out.size()));
                ASSERT_EQ(result, p + 1 == cuts.size() ? 2 : 1) << "piece \"" << piece << "\"";
                handedOut += out.data();
                EXPECT_EQ(boundaries.count(handedOut.size()), 1u) << "cut inside a character";
            }
            EXPECT_EQ(handedOut, chi);
        }
    }
    EXPECT_GT(checked, 1000);
}

}  // namespace
