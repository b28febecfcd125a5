// The GBK codec: every code of the character set both ways, and texts made of
// known pieces (characters, undefined sequences, broken UTF-8) compared with
// what the pieces say the conversion must give.
#include "dict/GbkCodec.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using gbk::ConversionError;

// Every double-byte code and 0x80: the defined ones convert to one character
// outside the private use area, no two to the same, and back to their bytes;
// the others fail as one two-byte sequence.
TEST(GbkCodec, EveryCodeOfTheCharacterSetRoundTrips) {
    std::vector<std::string> codes = {"\x80"};
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F) codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
        }
    }
    std::set<std::string> seen;
    for (const std::string& code : codes) {
        std::string utf8, back;
        ConversionError error{9, 9, 9};
        if (!gbk::ToUtf8(code.data(), code.size(), &utf8, &error)) {
            EXPECT_TRUE(utf8.empty());
            EXPECT_EQ(error.offset, 0u);
            EXPECT_EQ(error.length, code.size());
            continue;
        }
        ASSERT_TRUE(utf8.size() == 2 || utf8.size() == 3) << testing::PrintToString(code);
        EXPECT_FALSE(utf8.compare("\xEE\x80\x80") >= 0 && utf8.compare("\xEF\xA3\xBF") <= 0)
            << "private use: " << testing::PrintToString(code);
        EXPECT_TRUE(seen.insert(utf8).second) << testing::PrintToString(code);
        ASSERT_TRUE(gbk::FromUtf8(utf8.data(), utf8.size(), &back));
        EXPECT_EQ(back, code);
    }
    EXPECT_EQ(seen.size(), gbk::kDoubleByteCharacters + 1);

    // Landmarks where code page 936 differs from GB2312 tables or other GBKs.
    const std::vector<std::pair<std::string, std::string>> landmarks = {
        {"\x80", "\u20AC"},     {"\xA1\xA4", "\u00B7"}, {"\xA1\xAA", "\u2014"},
        {"\xA8\x44", "\u2015"}, {"\xA9\x5C", "\u2010"}, {"\xBF\xAA\xCA\xBC", "\u5F00\u59CB"}};
    for (const auto& [bytes, text] : landmarks) {
        std::string utf8;
        EXPECT_TRUE(gbk::ToUtf8(bytes.data(), bytes.size(), &utf8));
        EXPECT_EQ(utf8, text);
    }
    for (const std::string undefined : {"\xAA\xA1", "\xFE\xFE", "\xA2\xAB", "\xFF"}) {
        std::string utf8;
        EXPECT_FALSE(gbk::ToUtf8(undefined.data(), undefined.size(), &utf8));
    }
}

// A text put together from pieces, each knowing its GBK bytes, what lossy
// conversion and display make of them, and its undefined sequence.
struct Piece {
    std::string gbk;
    std::string lossy;
    std::string display;
    size_t badLength;  // of its one undefined sequence, at its start; 0 when none
};

const std::vector<Piece> kGbkPieces = {
    {"Start ", "Start ", "Start ", 0},
    {"\r\n", "\r\n", "\r\n", 0},
    {"\xBF\xAA", "\u5F00", "\u5F00", 0},
    {"\x80", "\u20AC", "\u20AC", 0},
    {"\xA1\xA1", "\u3000", "\u3000", 0},
    {"\xAA\xA1", "\uFFFD", "\\xAA\\xA1", 2},  // user-defined area
    {"\xFF", "\uFFFD", "\\xFF", 1},
    {"\x81\"", "\uFFFD\"", "\\x81\"", 1},  // a lead byte before a byte that cannot trail
};

TEST(GbkCodec, GbkTextsOfKnownPieces) {
    std::mt19937 random(936);
    for (int round = 0; round < 2000; ++round) {
        std::string text, strict, lossy, display;
        size_t firstBad = std::string::npos, firstLength = 0, bad = 0;
        const int n = static_cast<int>(random() % 12);
        for (int k = 0; k < n; ++k) {
            const Piece& p = kGbkPieces[random() % kGbkPieces.size()];
            if (p.badLength > 0 && firstBad == std::string::npos) {
                firstBad = text.size();
                firstLength = p.badLength;
                strict = lossy;
            }
            bad += p.badLength > 0 ? 1 : 0;
            text += p.gbk;
            lossy += p.lossy;
            display += p.display;
        }
        if (bad == 0) strict = lossy;
        std::string out;
        ConversionError error{};
        size_t replaced = 99;
        EXPECT_EQ(gbk::ToUtf8(text.data(), text.size(), &out, &error), bad == 0);
        EXPECT_EQ(out, strict);
        if (bad > 0) {
            EXPECT_EQ(error.offset, firstBad);
            EXPECT_EQ(error.length, firstLength);
        }
        EXPECT_TRUE(gbk::ToUtf8(text.data(), text.size(), &out, nullptr, true, &replaced));
        EXPECT_EQ(out, lossy);
        EXPECT_EQ(replaced, bad);
        ConversionError first{};
        EXPECT_EQ(gbk::CountUndefined(text.data(), text.size(), &first), bad);
        if (bad > 0) {
            EXPECT_EQ(first.offset, firstBad);
            EXPECT_EQ(first.length, firstLength);
        }
        EXPECT_EQ(gbk::ToDisplay(text.data(), text.size()), display);
    }
    std::string out;  // a lead byte at the very end
    EXPECT_FALSE(gbk::ToUtf8("a\xBF", 2, &out));
    EXPECT_EQ(gbk::ToDisplay("a\xBF", 2), "a\\xBF");
}

// UTF-8 pieces: characters GBK holds, characters it lacks, broken UTF-8.
struct Utf8Piece {
    std::string utf8;
    std::string gbk;  // empty when not convertible
    uint32_t codePoint;
};

const std::vector<Utf8Piece> kUtf8Pieces = {
    {"Hello\n", "Hello\n", 0},
    {"\u6E38\u620F", "\xD3\xCE\xCF\xB7", 0},
    {"\u20AC", "\x80", 0},
    {"\U0001F600", "", 0x1F600},       // beyond the BMP
    {"\u00C0", "", 0xC0},              // a Latin letter GBK lacks
    {"\uE000", "", 0xE000},            // private use: refused, not a user-defined code
    {"\xC0\xAF", "", 0xFFFFFFFF},      // overlong: two sequences of one byte
    {"\xED\xA0\x80", "", 0xFFFFFFFF},  // a surrogate
    {"\xF4\x90\x80\x80", "", 0xFFFFFFFF},
    {"\xBF", "", 0xFFFFFFFF},
};

// The invalid sequences a piece of broken UTF-8 splits into, as lengths.
std::vector<size_t> InvalidLengths(const std::string& utf8) {
    if (utf8 == "\xC0\xAF") return {1, 1};
    if (utf8 == "\xED\xA0\x80") return {1, 1, 1};
    if (utf8 == "\xF4\x90\x80\x80") return {1, 1, 1, 1};
    return {utf8.size()};
}

TEST(GbkCodec, Utf8TextsOfKnownPieces) {
    std::mt19937 random(65001);
    for (int round = 0; round < 2000; ++round) {
        std::string text, strict, lossy;
        size_t firstBad = std::string::npos, firstLength = 0, bad = 0;
        uint32_t firstCodePoint = 0;
        const int n = static_cast<int>(random() % 10);
        for (int k = 0; k < n; ++k) {
            const Utf8Piece& p = kUtf8Pieces[random() % kUtf8Pieces.size()];
            if (p.gbk.empty()) {
                const std::vector<size_t> parts = p.codePoint == 0xFFFFFFFF
                                                      ? InvalidLengths(p.utf8)
                                                      : std::vector<size_t>{p.utf8.size()};
                if (firstBad == std::string::npos) {
                    firstBad = text.size();
                    firstLength = parts[0];
                    firstCodePoint = p.codePoint;
                    strict = lossy;
                }
                bad += parts.size();
                lossy += std::string(parts.size(), '?');
            } else {
                lossy += p.gbk;
            }
            text += p.utf8;
        }
        if (firstBad == std::string::npos) strict = lossy;
        std::string out;
        ConversionError error{};
        size_t replaced = 99;
        EXPECT_EQ(gbk::FromUtf8(text.data(), text.size(), &out, &error), bad == 0);
        EXPECT_EQ(out, strict);
        if (bad > 0) {
            EXPECT_EQ(error.offset, firstBad);
            EXPECT_EQ(error.length, firstLength);
            EXPECT_EQ(error.codePoint, firstCodePoint);
        }
        EXPECT_TRUE(gbk::FromUtf8(text.data(), text.size(), &out, nullptr, true, &replaced));
        EXPECT_EQ(out, lossy);
        EXPECT_EQ(replaced, bad);
    }
    // A sequence cut by the end of the text is one invalid sequence.
    std::string out;
    ConversionError error{};
    EXPECT_FALSE(gbk::FromUtf8("ab\xE6\xB8", 4, &out, &error));
    EXPECT_EQ(out, "ab");
    EXPECT_EQ(error.offset, 2u);
    EXPECT_EQ(error.length, 2u);
}

}  // namespace
