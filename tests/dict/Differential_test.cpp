// Lookups against a plain reference: the binary search written out as the
// dictionary's contract states it, run over the records as they stand. Random
// dictionaries, sorted or not, with duplicate, blank and untrimmed keys, large
// enough for the lookup index, are loaded, edited and reloaded; after every
// step each lookup, insertion position and first match piece must be the
// reference's, and so must every lookup of the prepared-key path the script
// rewriter takes (dict/LookAhead.h), hints included.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/LookAhead.h"
#include "dict/VKCStringDict.h"

namespace {

using samples::Record;

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The binary search over records 0 to count-1: found, and the record or the
// insertion position. Texts compare as unsigned bytes up to their NUL.
std::pair<bool, uint32_t> Reference(const VKCStringDict& d, const std::string& key) {
    int64_t lo = 0, hi = static_cast<int64_t>(d.count) - 1;
    while (lo <= hi) {
        const int64_t mid = (lo + hi) / 2;
        const char* text = d.entries[mid].eng != nullptr ? d.entries[mid].eng : "";
        const int order = key.compare(text);  // char_traits<char>: unsigned order
        if (order == 0) return {true, static_cast<uint32_t>(mid)};
        if (order < 0) hi = mid - 1;
        if (order > 0) lo = mid + 1;
    }
    return {false, static_cast<uint32_t>(lo)};
}

class Differential : public testing::Test {
protected:
    std::mt19937 random_{20261209};
    uint64_t preparedAnswers_ = 0;  // lookups the index answered on the prepared path

    uint32_t Below(uint32_t n) {
        return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_);
    }
    // Short texts over few letters: many duplicates, prefixes and near misses.
    std::string Key() {
        static const char kLetters[] = "abZ \xB0~";
        std::string key;
        for (uint32_t n = Below(7); n > 0; --n) key += kLetters[Below(sizeof kLetters - 1)];
        return key;
    }
    std::vector<Record> Records(uint32_t n, bool sorted, bool unique) {
        std::vector<std::string> keys;
        while (keys.size() < n) keys.push_back(Trimmed(Key()));
        if (sorted) std::sort(keys.begin(), keys.end());
        if (unique) keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        std::vector<Record> records;
        for (const std::string& k : keys) records.push_back({k, "c" + k, ""});
        return records;
    }

    // Every record's key, padded with blanks, and as many random texts.
    void ExpectReferenceAnswers(VKCStringDict& d, const char* step) {
        SCOPED_TRACE(step);
        std::vector<std::string> queries;
        for (uint32_t i = 0; i < d.count; ++i)
            queries.push_back(std::string(" ") + d.entries[i].eng);
        for (uint32_t i = 0; i < d.count + 50; ++i) queries.push_back(Key());
        // A NUL ends the text FindStringA sees; the rewriter hands over all bytes.
        for (uint32_t i = 0; i < 20; ++i) queries.push_back(Key() + std::string(1, '\0') + Key());
        for (const std::string& query : queries) {
            const auto [found, position] = Reference(d, Trimmed(query.c_str()));
            StringEntry* const expected = found ? &d.entries[position] : nullptr;
            const lookahead::Key prepared = lookahead::Prepare(query.data(), query.size());
            lookahead::FetchSlot(d, prepared);
            lookahead::FetchText(d, prepared);
            StringEntry* entry = nullptr;
            if (lookahead::Find(d, prepared, &entry)) {
                ++preparedAnswers_;
                ASSERT_EQ(entry, expected) << "prepared '" << query << "'";
            }
            ASSERT_EQ(d.FindStringA(query.c_str()), expected) << "'" << query << "'";
            ASSERT_EQ(d.FindStringIndexA(query.c_str()), static_cast<int32_t>(position));
            // A first piece starts a match only on a record that begins with it.
            const std::string key = Trimmed(query.c_str());
            const bool starts = !found && position < d.count &&
                                std::string(d.entries[position].eng).rfind(key, 0) == 0;
            char out[64];
            ASSERT_EQ(d.MatchNextA(query.c_str(), out, sizeof out), starts ? 1 : 0) << query;
            d.MatchNextA("\x01", out, sizeof out);  // continues nothing: idle again
        }
    }
};

TEST_F(Differential, LoadedEditedAndReloadedDictionariesAnswerAsTheReferenceSearch) {
    testutil::TempDir dir;
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool sorted = round % 3 != 2, unique = round % 3 == 0;
        const std::vector<Record> records = Records(40 + Below(300), sorted, unique);
        VKCStringDict d;
        if (round % 4 == 3) {
            const std::string image = dir.File("d.bin");
            testutil::WriteBytes(image, samples::Image(records));
            ASSERT_EQ(d.LoadFromBINFileA(image.c_str()), records.size());
        } else {
            ASSERT_EQ(d.LoadFromTXTStringA(samples::DictionaryText(records).c_str()),
                      records.size());
        }
        ExpectReferenceAnswers(d, "loaded");

        for (int edit = 0; edit < 6; ++edit) {
            const std::string key = Key();
            const auto [found, position] = Reference(d, Trimmed(key));
            const uint32_t index = Below(d.count);
            switch (Below(5)) {
                case 0:  // the reference's position, or the record already there
                    ASSERT_EQ(d.AddStringA(key.c_str(), "x", "") - d.entries, position);
                    static_cast<void>(found);
                    break;
                case 1: {  // a random key, or its own less its last byte (in place)
                    std::string text = d.entries[index].eng;
                    text = Below(2) != 0 || text.empty() ? Trimmed(key)
                                                         : Trimmed(text.substr(0, text.size() - 1));
                    d.SetENGTextA(index, text.c_str());
                    break;
                }
                case 2:
                    d.InsertBlankEntry(index);
                    break;
                case 3:  // shorter: written in place
                    d.SetCHITextA(index, "");
                    break;
                default:  // refused: the records stay
                    ASSERT_EQ(d.LoadFromTXTStringA(""), 0u);
                    break;
            }
            ExpectReferenceAnswers(d, "edited");
        }

        // A load that breaks off at record k keeps records 0 to k-1: the
        // file ends inside record k, or record k lost an end marker line and
        // its text runs into record k+1's head.
        const std::vector<Record> whole = Records(60, sorted, unique);
        std::string text = samples::DictionaryText(whole);
        text.erase(text.rfind("mirok_res_CHI_End"));
        ASSERT_EQ(d.LoadFromTXTStringA(text.c_str()), 0u);
        ExpectReferenceAnswers(d, "broken load");

        static const char* const kEnds[3] = {"mirok_res_ENG_End\r\n", "mirok_res_CHI_End\r\n",
                                             "mirok_res_Remark00_End\r\n"};
        ASSERT_GE(whole.size(), 2u);
        const uint32_t k = Below(static_cast<uint32_t>(whole.size()) - 1);
        const std::string end = kEnds[Below(3)];
        text = samples::DictionaryText(whole);
        size_t at = 0;
        for (uint32_t i = 0; i <= k; ++i) at = text.find(end, at + 1);
        text.erase(at, end.size());
        ASSERT_EQ(d.LoadFromTXTStringA(text.c_str()), 0u) << k << end;
        ASSERT_EQ(d.count, k) << end;
        for (uint32_t i = 0; i < k; ++i) {
            ASSERT_EQ(std::string(d.entries[i].eng), whole[i].eng);
            ASSERT_EQ(std::string(d.entries[i].chi), whole[i].chi);
        }
        ExpectReferenceAnswers(d, "broken record");
    }
    EXPECT_GT(preparedAnswers_, 1000u);
}

}  // namespace
