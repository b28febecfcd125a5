#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "dict/GbkChar.h"
#include "dict/VKCStringDict.h"

namespace {

using testutil::TextRecord;

// Three two-byte GBK characters and one more, used as C1 to C4.
const std::string C1 = "\xB0\xA1";
const std::string C2 = "\xB0\xA2";
const std::string C3 = "\xC4\xE3";
const std::string C4 = "\xBA\xC3";

constexpr char kUntouched = '\x55';

struct Answer {
    int32_t result;
    std::string out;  // up to the NUL; all kUntouched bytes when out was not written
};

class MatchTest : public ::testing::Test {
protected:
    void Load(const std::vector<TextRecord>& records) {
        ASSERT_EQ(dict_.LoadFromTXTStringA(testutil::DictionaryText(records).c_str()),
                  records.size());
    }

    // One call with an out buffer of exactly `capacity` bytes, so that a write
    // past its end is caught under the address sanitizer.
    Answer Match(const char* text, uint32_t capacity = 100) {
        std::vector<char> out(capacity, kUntouched);
        int32_t result = dict_.MatchNextA(text, out.data(), capacity);
        auto end = std::find(out.begin(), out.end(), '\0');
        if (result != 0) {
            EXPECT_NE(end, out.end()) << "out is not NUL-terminated";
        }
        return Answer{result, std::string(out.begin(), end)};
    }

    bool Idle() const { return dict_.matchKey[0] == '\0'; }

    VKCStringDict dict_;
};

// Records whose CHI text is never used in a test.
TextRecord Eng(const std::string& eng) {
    return TextRecord{eng, "x", ""};
}

TEST_F(MatchTest, WorkedExampleHandsOutWholeCharacters) {
    Load({{"Hello world", C1 + C2 + C3 + C4, ""}, Eng("Zebra")});
    std::string pool(dict_.pool, dict_.dataSize + 4);

    Answer first = Match("Hello");
    EXPECT_EQ(first.result, 1);
    EXPECT_EQ(first.out, C1 + C2 + C3);  // C3 goes out whole although the limit falls inside it
    EXPECT_EQ(dict_.matchKey, dict_.entries[0].eng + 6);
    EXPECT_EQ(dict_.matchValue, dict_.entries[0].chi + 6);

    Answer last = Match("world");
    EXPECT_EQ(last.result, 2);
    EXPECT_EQ(last.out, C4);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(std::string(dict_.pool, dict_.dataSize + 4), pool) << "a record's text was written";
}

TEST_F(MatchTest, PieceNeedsItsLengthPlusOne) {
    Load({{"Hello world", C1 + C2 + C3 + C4, ""}});
    Answer tooSmall = Match("Hello", 6);
    EXPECT_EQ(tooSmall.result, 0);
    EXPECT_EQ(tooSmall.out, std::string(6, kUntouched));
    EXPECT_TRUE(Idle());

    EXPECT_EQ(Match("Hello", 7).result, 1);
    Answer lastTooSmall = Match("world", 2);
    EXPECT_EQ(lastTooSmall.result, 0);
    EXPECT_EQ(lastTooSmall.out, std::string(2, kUntouched));
    EXPECT_TRUE(Idle()) << "a rest that does not fit abandons the match";
    EXPECT_EQ(Match("world").result, 0) << "world alone begins no ENG text";

    EXPECT_EQ(Match("Hello").result, 1);
    EXPECT_EQ(Match("world", 3).out, C4);
}

TEST_F(MatchTest, PieceThatDoesNotContinueEndsTheMatch) {
    Load({{"Hello world", C1 + C2 + C3 + C4, ""}});
    ASSERT_EQ(Match("Hello").result, 1);
    EXPECT_EQ(Match("there").result, 0);
    EXPECT_TRUE(Idle());

    // A non-continuing piece is not tried as a first piece in the same call,
    // only in the next one.
    ASSERT_EQ(Match("Hello").result, 1);
    EXPECT_EQ(Match("Hello").result, 0);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Match("Hello").result, 1);
}

TEST_F(MatchTest, LongFirstPieceAndEmptyRest) {
    Load({{"Hello world", C1 + C2 + C3 + C4, ""}});
    Answer first = Match("Hello wor");
    EXPECT_EQ(first.result, 1);
    EXPECT_EQ(first.out, C1 + C2 + C3 + C4);
    Answer last = Match("ld");
    EXPECT_EQ(last.result, 2);
    EXPECT_EQ(last.out, "");
}

TEST_F(MatchTest, ExactHitBeginsNoMatch) {
    Load({Eng("Hello"), {"Hello world", C1, ""}});
    Answer hit = Match("  Hello ");
    EXPECT_EQ(hit.result, 0);
    EXPECT_EQ(hit.out, std::string(100, kUntouched));
    EXPECT_TRUE(Idle());
}

TEST_F(MatchTest, MixedSingleAndDoubleByteCharacters) {
    Load({{"Hello world", "de" + C1 + "f" + C2 + C3, ""}});
    EXPECT_EQ(Match("Hello").out, "de" + C1 + "f");
    Answer last = Match("world");
    EXPECT_EQ(last.result, 2);
    EXPECT_EQ(last.out, C2 + C3);
}

TEST_F(MatchTest, LeadByteBeforeTheEndIsOneCharacter) {
    // The CHI text ends in a lone lead byte, and holds a lead byte followed by
    // a byte that is no trail byte: both are characters of one byte.
    Load({{"abc d", C1 + "\x81", ""}, {"b cd e", "\x81\x7F" + C1, ""}});
    EXPECT_EQ(Match("abc").out, C1 + "\x81");
    EXPECT_EQ(Match("d").result, 2);

    EXPECT_EQ(Match("b").out, "\x81");
    EXPECT_EQ(Match("cd").out, "\x7F" + C1);
}

TEST_F(MatchTest, FirstPieceFollowedOnlyByBlanksLeavesMatcherIdle) {
    // The key is the whole ENG text but for its trailing blanks: no exact hit,
    // a first piece, and the match is already over.
    Load({{"Hello  ", "ab" + C1, ""}});
    Answer first = Match("Hello");
    EXPECT_EQ(first.result, 1);
    EXPECT_EQ(first.out, "ab" + C1);
    EXPECT_TRUE(Idle());
}

TEST_F(MatchTest, BlanksAroundAndBetweenPiecesAreSkipped) {
    Load({{"Hello   world  ", "abcdefghijkl", ""}});
    EXPECT_EQ(Match("   Hello ").out, "abcde");
    EXPECT_EQ(dict_.matchKey, dict_.entries[0].eng + 8) << "the cursor never stands on a blank";
    Answer last = Match(" world     ");
    EXPECT_EQ(last.result, 2);
    EXPECT_EQ(last.out, "fghijkl");

    // A tab is no blank.
    EXPECT_EQ(Match("Hello\t").result, 0);
    ASSERT_EQ(Match("Hello").result, 1);
    EXPECT_EQ(Match("\tworld").result, 0);
}

TEST_F(MatchTest, EmptyAndBlankPieces) {
    Load({{"  Alpha beta", "abcdefgh", ""}, Eng("Zulu")});
    // Idle: every ENG text begins with the empty key, so the match begins on
    // record 0 with an empty piece, past the record's leading blanks.
    Answer start = Match("   ");
    EXPECT_EQ(start.result, 1);
    EXPECT_EQ(start.out, "");
    EXPECT_EQ(dict_.matchKey, dict_.entries[0].eng + 2);

    // Matching: an empty piece that changes nothing.
    EXPECT_EQ(Match("Alpha").out, "abcde");
    const char* key = dict_.matchKey;
    const char* value = dict_.matchValue;
    Answer empty = Match("");
    EXPECT_EQ(empty.result, 1);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(dict_.matchKey, key);
    EXPECT_EQ(dict_.matchValue, value);
    EXPECT_EQ(Match("beta").out, "fgh");

    // A record 0 whose ENG text is empty is an exact hit for the empty key.
    Load({{"", "x", ""}, Eng("Alpha")});
    EXPECT_EQ(Match("").result, 0);
}

TEST_F(MatchTest, ChiTextShorterThanEngText) {
    Load({{"one two three", "ab", ""}});
    EXPECT_EQ(Match("one").out, "ab");
    Answer middle = Match("two");
    EXPECT_EQ(middle.result, 1);
    EXPECT_EQ(middle.out, "");
    Answer last = Match("three");
    EXPECT_EQ(last.result, 2);
    EXPECT_EQ(last.out, "");
}

TEST_F(MatchTest, MatchBeginsOnFirstRecordWithThePrefix) {
    Load({{"Open the box", "box", ""}, {"Open the door", "door", ""}});
    EXPECT_EQ(Match("Open").result, 1);
    EXPECT_EQ(Match("the door").result, 0);
}

TEST_F(MatchTest, NothingBeginsWithTheKey) {
    Load({Eng("Apple"), Eng("Cherry")});
    EXPECT_EQ(Match("Banana").result, 0);
    EXPECT_EQ(Match("Dates").result, 0);  // past the last record
    EXPECT_EQ(Match("Applesauce").result, 0);
    EXPECT_TRUE(Idle());
}

TEST_F(MatchTest, RejectedCallsLeaveTheMatchAsItWas) {
    Load({{"Hello world", C1 + C2 + C3 + C4, ""}});
    ASSERT_EQ(Match("Hello").result, 1);
    const char* key = dict_.matchKey;
    const char* value = dict_.matchValue;
    char out[4] = {kUntouched, kUntouched, kUntouched, kUntouched};

    EXPECT_EQ(dict_.MatchNextA(nullptr, out, sizeof(out)), 0);
    EXPECT_EQ(dict_.MatchNextA("world", nullptr, 100), 0);
    EXPECT_EQ(dict_.MatchNextA("world", out, 0), 0);
    EXPECT_EQ(std::string(out, sizeof(out)), std::string(4, kUntouched));
    EXPECT_EQ(dict_.matchKey, key);
    EXPECT_EQ(dict_.matchValue, value);

    EXPECT_EQ(Match("world").out, C4);
}

TEST_F(MatchTest, EmptyDictionary) {
    EXPECT_EQ(Match("Hello").result, 0);
    EXPECT_EQ(Match("").result, 0);
    EXPECT_TRUE(Idle());
}

TEST_F(MatchTest, LoadEndsAMatchInProgress) {
    Load({{"Hello world", C1 + C2, ""}});
    ASSERT_EQ(Match("Hello").result, 1);
    Load({Eng("world peace")});
    EXPECT_TRUE(Idle());
    // Looked up as a first piece in the new dictionary, not read through the
    // released pool.
    EXPECT_EQ(Match("world").result, 1);
}

TEST_F(MatchTest, RecordWithoutChiTextMatchesAsEmpty) {
    Load({{"Hello world", C1, ""}});
    dict_.entries[0].chi = nullptr;
    Answer first = Match("Hello");
    EXPECT_EQ(first.result, 1);
    EXPECT_EQ(first.out, "");
    Answer last = Match("world");
    EXPECT_EQ(last.result, 2);
    EXPECT_EQ(last.out, "");
}

// The character rule, stated independently: the lead bytes are all bytes but
// 0x00 to 0x80 and 0xFF; the trail bytes all but 0x00 to 0x3F, 0x7F and 0xFF.
TEST(GbkCharTest, AllBytePairs) {
    auto isLead = [](int b) { return !(b <= 0x80 || b == 0xFF); };
    auto isTrail = [](int b) { return !(b <= 0x3F || b == 0x7F || b == 0xFF); };
    int mismatches = 0;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const char text[3] = {static_cast<char>(first), static_cast<char>(second), '\0'};
            uint32_t expected = first == 0 ? 0 : (isLead(first) && isTrail(second) ? 2 : 1);
            uint32_t actual = gbk::CharLength(text);
            if (actual != expected && ++mismatches <= 10) {
                ADD_FAILURE() << std::hex << "bytes " << first << " " << second << ": " << actual
                              << ", expected " << expected;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// ---- Property: any cutting of a record's ENG text hands out the record's CHI
// text whole, in pieces cut between characters.

// Character boundaries of a CHI text, counted from its start, by the rule
// stated as in AllBytePairs.
std::set<size_t> Boundaries(const std::string& chi) {
    std::set<size_t> boundaries{0};
    size_t i = 0;
    while (i < chi.size()) {
        unsigned char lead = static_cast<unsigned char>(chi[i]);
        unsigned char trail = i + 1 < chi.size() ? static_cast<unsigned char>(chi[i + 1]) : 0;
        bool pair = lead >= 0x81 && lead <= 0xFE &&
                    ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFE));
        i += pair ? 2 : 1;
        boundaries.insert(i);
    }
    return boundaries;
}

class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    // Words of a few lower-case letters, one to three blanks between them,
    // sometimes blanks at the end; never a blank in front.
    std::string Eng() {
        std::string text;
        int words = Uniform(1, 4);
        for (int w = 0; w < words; ++w) {
            if (w > 0) text.append(Uniform(1, 3), ' ');
            int letters = Uniform(1, 6);
            for (int i = 0; i < letters; ++i) text += static_cast<char>('a' + Uniform(0, 3));
        }
        if (Uniform(0, 4) == 0) text.append(Uniform(1, 2), ' ');
        return text;
    }

    // ASCII letters, GBK pairs, and single high bytes that may or may not
    // pair with what follows; never NUL, CR or LF.
    std::string Chi() {
        std::string text;
        int items = Uniform(0, 12);
        for (int i = 0; i < items; ++i) {
            switch (Uniform(0, 3)) {
                case 0:
                    text += static_cast<char>(Uniform('A', 'z'));
                    break;
                case 1:
                case 2:
                    text += static_cast<char>(Uniform(0x81, 0xFE));
                    text += static_cast<char>(Uniform(0, 1) ? Uniform(0x40, 0x7E)
                                                            : Uniform(0x80, 0xFE));
                    break;
                default:
                    text += static_cast<char>(Uniform(0x80, 0xFF));
                    break;
            }
        }
        return text;
    }

private:
    std::mt19937 rng_;
};

std::string Trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(' ') + 1 - begin);
}

TEST(MatchPropertyTest, CuttingsHandOutTheWholeChiText) {
    int cuttingsChecked = 0;
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Generator gen(seed);
        std::set<std::string> engs;
        int size = gen.Uniform(1, 30);
        while (static_cast<int>(engs.size()) < size) engs.insert(gen.Eng());
        std::vector<TextRecord> records;
        for (const std::string& eng : engs) records.push_back({eng, gen.Chi(), ""});
        VKCStringDict dict;
        ASSERT_EQ(dict.LoadFromTXTStringA(testutil::DictionaryText(records).c_str()),
                  records.size());

        for (int attempt = 0; attempt < 20; ++attempt) {
            size_t index = gen.Uniform(0, size - 1);
            const std::string& eng = records[index].eng;
            const std::string& chi = records[index].chi;
            // Cut anywhere before the last non-blank byte, so that the last
            // piece holds it and no piece before brings the text to its end.
            size_t lastLetter = eng.find_last_not_of(' ');
            if (lastLetter == 0) continue;
            std::vector<size_t> cuts;
            int extra = gen.Uniform(0, 4);
            for (int i = 0; i <= extra; ++i) cuts.push_back(gen.Uniform(1, lastLetter));
            std::sort(cuts.begin(), cuts.end());
            cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
            cuts.push_back(eng.size());

            // The record must be the first in order that begins with the first
            // piece, and the first piece no record's exact ENG text.
            std::string key = Trimmed(eng.substr(0, cuts[0]));
            bool usable = true;
            for (size_t r = 0; r < records.size() && usable; ++r) {
                if (records[r].eng == key) usable = false;
                if (r < index && records[r].eng.compare(0, key.size(), key) == 0) usable = false;
            }
            if (!usable) continue;

            ++cuttingsChecked;
            std::set<size_t> boundaries = Boundaries(chi);
            std::vector<char> out(chi.size() + 1);
            std::string handedOut;
            size_t from = 0;
            for (size_t p = 0; p < cuts.size(); ++p) {
                std::string piece = eng.substr(from, cuts[p] - from);
                from = cuts[p];
                std::fill(out.begin(), out.end(), kUntouched);
                int32_t result =
                    dict.MatchNextA(piece.c_str(), out.data(), static_cast<uint32_t>(out.size()));
                ASSERT_EQ(result, p + 1 == cuts.size() ? 2 : 1)
                    << "piece " << p << " \"" << piece << "\" of \"" << eng << "\"";
                handedOut += out.data();
                EXPECT_EQ(boundaries.count(handedOut.size()), 1u)
                    << "piece " << p << " ends inside a character";
            }
            EXPECT_EQ(handedOut, chi) << "ENG \"" << eng << "\"";
            EXPECT_EQ(dict.matchKey[0], '\0');
        }
    }
    EXPECT_GT(cuttingsChecked, 1000);
}

}  // namespace
