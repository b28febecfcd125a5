// Writing the dictionary text file: the header's clock, the exact bytes of
// records and files, refusals, and the round trip through the loader.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "dict/SaveHeader.h"
#include "dict/VKCStringDict.h"

namespace {

using testutil::DictionaryText;
using testutil::Exists;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::TextRecord;

const std::string kGbk = "\xBF\xAA\xCA\xBC\xD3\xCE\xCF\xB7";  // 8 bytes of GBK
const std::string kTerminator = "\r\n\r\n\r\nmirok_res_All_End\r\n";

SYSTEMTIME Time(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME t = {};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    t.wMilliseconds = 999;
    return t;
}

std::string Header(const SYSTEMTIME& utc) {
    char buffer[saveheader::kBufferSize];
    size_t length = saveheader::ComposeHeader(utc, buffer);
    EXPECT_EQ(length, std::strlen(buffer));
    return std::string(buffer, length);
}

// The bytes a record is written as, spelled out independently of the writer.
std::string Record(const char* number, const std::string& eng, const std::string& chi,
                   const std::string& remark) {
    return std::string("\r\nmirok_res_No.") + number + "\r\nmirok_res_ENG_Start\r\n" + eng +
           "\r\nmirok_res_ENG_End\r\nmirok_res_CHI_Start\r\n" + chi +
           "\r\nmirok_res_CHI_End\r\nmirok_res_Remark00_Start\r\n" + remark +
           "\r\nmirok_res_Remark00_End\r\n";
}

std::string Text(const char* text, uint32_t length) {
    return text == nullptr ? std::string("<null>") : std::string(text, length);
}

void ExpectRecords(const VKCStringDict& dict, const std::vector<TextRecord>& records) {
    ASSERT_EQ(dict.count, records.size());
    for (uint32_t i = 0; i < dict.count; ++i) {
        const StringEntry& e = dict.entries[i];
        EXPECT_EQ(Text(e.eng, e.engLen), records[i].eng) << "record " << i;
        EXPECT_EQ(Text(e.chi, e.chiLen), records[i].chi) << "record " << i;
        EXPECT_EQ(Text(e.remark, e.remarkLen), records[i].remark) << "record " << i;
    }
}

// ---- The header and its clock

TEST(SaveHeader, EightHoursOnCarryIntoDayMonthAndYear) {
    const struct {
        SYSTEMTIME utc;
        const char* local;
    } cases[] = {
        {Time(2026, 12, 8, 12, 9, 46), "2026-12-08 20:09:46"},
        {Time(2026, 6, 15, 15, 59, 59), "2026-06-15 23:59:59"},
        {Time(2026, 6, 15, 16, 0, 0), "2026-06-16 00:00:00"},
        {Time(2026, 4, 30, 23, 59, 59), "2026-05-01 07:59:59"},
        {Time(2026, 12, 31, 17, 30, 0), "2027-01-01 01:30:00"},
        {Time(2027, 2, 28, 16, 0, 0), "2027-03-01 00:00:00"},
        {Time(2028, 2, 28, 16, 0, 0), "2028-02-29 00:00:00"},
        {Time(2028, 2, 29, 16, 0, 0), "2028-03-01 00:00:00"},
        {Time(2100, 2, 28, 16, 0, 0), "2100-03-01 00:00:00"},
        {Time(2000, 2, 28, 16, 0, 0), "2000-02-29 00:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.local);
        EXPECT_EQ(Header(c.utc), std::string("Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 ") +
                                     c.local + "\r\n\r\n\r\n");
    }
    EXPECT_EQ(Header(Time(2026, 12, 8, 12, 9, 46)).size(), 75u);
    SYSTEMTIME saturdayNight = Time(2026, 12, 12, 20, 0, 0);
    saturdayNight.wDayOfWeek = 6;
    EXPECT_EQ(saveheader::AddEightHours(saturdayNight).wDayOfWeek, 0);
}

// ---- Saving

class SaveText : public ::testing::Test {
protected:
    void Load(const std::vector<TextRecord>& records) {
        ASSERT_EQ(dict.LoadFromTXTStringA(DictionaryText(records).c_str()), records.size());
    }
    // Saves to `name` in the folder; the header written must be that of a
    // moment during the save.
    int32_t Save(const std::string& name) {
        SYSTEMTIME before, after;
        GetSystemTime(&before);
        int32_t result = dict.SaveToTXTFileA(dir.File(name).c_str());
        GetSystemTime(&after);
        headers = {Header(before), Header(after)};
        return result;
    }
    // The file's bytes with its one header replaced by "<header>".
    std::string Saved(const std::string& name) {
        std::string bytes = ReadBytes(dir.File(name));
        for (const std::string& header : headers) {
            if (bytes.compare(0, header.size(), header) == 0) {
                return "<header>" + bytes.substr(header.size());
            }
        }
        return bytes;
    }

    VKCStringDict dict;
    TempDir dir;
    std::vector<std::string> headers;
};

TEST_F(SaveText, WritesHeaderRecordsAndTerminator) {
    Load({{"Start Game", kGbk, ""}});
    EXPECT_EQ(Save("d.txt"), 279);
    const std::string record =
        "\r\nmirok_res_No.00000000\r\n"
        "mirok_res_ENG_Start\r\nStart Game\r\nmirok_res_ENG_End\r\n"
        "mirok_res_CHI_Start\r\n" +
        kGbk +
        "\r\nmirok_res_CHI_End\r\n"
        "mirok_res_Remark00_Start\r\n\r\nmirok_res_Remark00_End\r\n";
    EXPECT_EQ(record.size(), 179u);
    EXPECT_EQ(Saved("d.txt"), "<header>" + record + kTerminator);

    Load({{"a", "b", "c"}, {"Start Game", kGbk, "multi\r\nline remark"}});
    EXPECT_EQ(Save("two.txt"), 75 + 161 * 2 + 3 + (10 + 8 + 18) + 25);
    EXPECT_EQ(Saved("two.txt"), "<header>" + Record("00000000", "a", "b", "c") +
                                    Record("00000001", "Start Game", kGbk, "multi\r\nline remark") +
                                    kTerminator);
}

TEST_F(SaveText, NumbersRecordsByTheirPosition) {
    const std::string text = Record("7", "a", "", "") + Record("7", "b", "", "") +
                             Record("3", "c", "", "") + Record("x", "d", "", "") +
                             Record("", "e", "", "");
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 5u);
    Save("d.txt");
    EXPECT_EQ(Saved("d.txt"),
              "<header>" + Record("00000000", "a", "", "") + Record("00000001", "b", "", "") +
                  Record("00000002", "c", "", "") + Record("00000003", "d", "", "") +
                  Record("00000004", "e", "", "") + kTerminator);
}

TEST_F(SaveText, TextsAreWrittenByTheirStoredLengths) {
    Load({{"Hello", "World", "note"}, {"", "", ""}, {"x", "y", "z"}});
    // Null texts and shortened lengths: a null text contributes nothing,
    // whatever its length says; a length shorter than the text cuts it.
    dict.entries[0].engLen = 2;
    dict.entries[0].chi = nullptr;
    dict.entries[0].chiLen = 5;
    dict.entries[2].eng = nullptr;
    dict.entries[2].chiLen = 0;
    dict.entries[2].remark = nullptr;
    EXPECT_EQ(Save("d.txt"), 75 + 161 * 3 + 2 + 4 + 25);
    EXPECT_EQ(Saved("d.txt"), "<header>" + Record("00000000", "He", "", "note") +
                                  Record("00000001", "", "", "") + Record("00000002", "", "", "") +
                                  kTerminator);

    // Blank and null texts load back as empty texts.
    VKCStringDict back;
    ASSERT_EQ(back.LoadFromTXTFileA(dir.File("d.txt").c_str()), 3u);
    ExpectRecords(back, {{"He", "", "note"}, {"", "", ""}, {"", "", ""}});
}

TEST_F(SaveText, WithoutRecordsWritesHeaderAndTerminator) {
    EXPECT_EQ(Save("fresh.txt"), 100);
    EXPECT_EQ(Saved("fresh.txt"), "<header>" + kTerminator);

    // A refused reload leaves no record array at all.
    Load({{"a", "b", "c"}});
    dict.path[0] = '\0';
    ASSERT_EQ(dict.ReloadTXTFileA(), 0u);
    ASSERT_EQ(dict.entries, nullptr);
    EXPECT_EQ(Save("reloaded.txt"), 100);
    EXPECT_EQ(Saved("reloaded.txt"), "<header>" + kTerminator);
}

TEST_F(SaveText, AppendsToAnExistingFile) {
    Load({{"a", "b", "c"}});
    testutil::WriteBytes(dir.File("d.txt"), "kept");
    ASSERT_EQ(chmod(dir.File("d.txt").c_str(), 0444), 0);
    const int32_t once = 75 + 161 + 3 + 25;
    EXPECT_EQ(dict.SaveToTXTFileA(dir.File("d.txt").c_str()), once);
    EXPECT_EQ(dict.SaveToTXTFileA(dir.File("d.txt").c_str()), once);
    const std::string bytes = ReadBytes(dir.File("d.txt"));
    ASSERT_EQ(bytes.size(), 4u + 2 * once);
    EXPECT_EQ(bytes.substr(0, 4), "kept");
    EXPECT_EQ(bytes.substr(4 + 75, once - 75), bytes.substr(4 + once + 75, once - 75));

    // Both runs load, in file order.
    VKCStringDict back;
    ASSERT_EQ(back.LoadFromTXTFileA(dir.File("d.txt").c_str()), 2u);
    ExpectRecords(back, {{"a", "b", "c"}, {"a", "b", "c"}});
}

TEST_F(SaveText, RefusedTargets) {
    Load({{"a", "b", "c"}});
    {
        testutil::ScopedCwd cwd(dir.path());
        EXPECT_EQ(dict.SaveToTXTFileA(nullptr), 0);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    // Every piece fails: -1 each.
    EXPECT_EQ(dict.SaveToTXTFileA(dir.File("no/such/d.txt").c_str()), -3);
    EXPECT_EQ(dict.SaveToTXTFileA(dir.path().c_str()), -3);
}

TEST_F(SaveText, SizesTheBlockFromTheRecordsNotFromDataSize) {
    const std::vector<TextRecord> records = {
        {"Apple", kGbk, "r1"}, {"Start Game", kGbk + kGbk, ""}, {"Zebra", "z", "long remark"}};
    Load(records);
    Save("before.txt");
    const std::string expected = Saved("before.txt");

    // Refused loads leave 0 or 0xFFFFFFFF in dataSize and the records in place.
    ASSERT_EQ(dict.LoadFromTXTStringA(""), 0u);
    ASSERT_EQ(dict.dataSize, 0u);
    Save("zero.txt");
    EXPECT_EQ(Saved("zero.txt"), expected);

    ASSERT_EQ(dict.LoadFromTXTFileA(dir.File("missing").c_str()), 0u);
    ASSERT_EQ(dict.dataSize, 0xFFFFFFFFu);
    Save("all-ones.txt");
    EXPECT_EQ(Saved("all-ones.txt"), expected);
    ExpectRecords(dict, records);
}

TEST_F(SaveText, ARecordTextTooLargeToReportIsAnAllocationFailure) {
    Load({{"a", "b", "c"}, {"d", "e", "f"}});
    // Lengths whose sum wraps in 32 bits; nothing behind them is ever read.
    dict.entries[1].engLen = 0xFFFFFFFFu;
    dict.entries[1].chiLen = 0xFFFFFFF0u;
    EXPECT_THROW(dict.SaveToTXTFileA(dir.File("d.txt").c_str()), std::bad_alloc);
    EXPECT_FALSE(Exists(dir.File("d.txt")));
    dict.entries[1].chiLen = 1;
    dict.entries[1].engLen = 0x80000000u;
    EXPECT_THROW(dict.SaveToTXTFileA(dir.File("d.txt").c_str()), std::bad_alloc);
    EXPECT_FALSE(Exists(dir.File("d.txt")));
}

// ---- Round trip: load, save, load again

// Text bytes without NUL and without any marker (each holds "mirok"): ASCII,
// GBK pairs and CR LF.
std::string RandomText(std::mt19937& random) {
    std::string text;
    const int pieces = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < pieces; ++i) {
        switch (std::uniform_int_distribution<int>(0, 3)(random)) {
            case 0:
                text += "\r\n";
                break;
            case 1:  // a GBK character: lead 0x81-0xFE, trail 0x40-0xFE
                text += static_cast<char>(std::uniform_int_distribution<int>(0x81, 0xFE)(random));
                text += static_cast<char>(std::uniform_int_distribution<int>(0x40, 0xFE)(random));
                break;
            default:  // an ASCII byte other than NUL, lone CR and LF included
                text += static_cast<char>(std::uniform_int_distribution<int>(1, 0x7F)(random));
                break;
        }
    }
    return text.find("mirok") == std::string::npos ? text : std::string();
}

TEST_F(SaveText, RoundTripKeepsRecordsOrderTextsAndLengths) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<TextRecord> records(std::uniform_int_distribution<size_t>(1, 25)(random));
        for (TextRecord& r : records) {
            r = {RandomText(random), RandomText(random), RandomText(random)};
        }
        VKCStringDict first;
        ASSERT_EQ(first.LoadFromTXTStringA(DictionaryText(records).c_str()), records.size());
        const std::string name = dir.File("round" + std::to_string(round) + ".txt");
        const int32_t written = first.SaveToTXTFileA(name.c_str());
        ASSERT_EQ(static_cast<size_t>(written), ReadBytes(name).size());
        VKCStringDict second;
        ASSERT_EQ(second.LoadFromTXTFileA(name.c_str()), records.size());
        ExpectRecords(second, records);
        if (HasFailure()) return;
    }
}

}  // namespace
