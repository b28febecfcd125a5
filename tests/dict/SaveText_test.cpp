// Writing the dictionary text file: the header's clock, the exact bytes
// written, refusals, sizing, and the round trip through the loader.
#include <gtest/gtest.h>

#include <cctype>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/SaveHeader.h"
#include "dict/VKCStringDict.h"

namespace {

using samples::DictionaryText;
using testutil::ReadBytes;
using testutil::TempDir;

const std::string kGbk = "\xBF\xAA\xCA\xBC\xD3\xCE\xCF\xB7";  // 8 bytes of GBK
const std::string kTerminator = "\r\n\r\n\r\nmirok_res_All_End\r\n";

std::string Header(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    const SYSTEMTIME utc = {year, month, 0, day, hour, minute, second, 999};
    char buffer[saveheader::kBufferSize];
    return std::string(buffer, saveheader::ComposeHeader(utc, buffer));
}

// A record as written, spelled out independently of the writer.
std::string Record(const char* number, const std::string& eng, const std::string& chi,
                   const std::string& remark) {
    return std::string("\r\nmirok_res_No.") + number + "\r\nmirok_res_ENG_Start\r\n" + eng +
           "\r\nmirok_res_ENG_End\r\nmirok_res_CHI_Start\r\n" + chi +
           "\r\nmirok_res_CHI_End\r\nmirok_res_Remark00_Start\r\n" + remark +
           "\r\nmirok_res_Remark00_End\r\n";
}

void ExpectRecords(const VKCStringDict& dict, const std::vector<samples::Record>& records) {
    ASSERT_EQ(dict.count, records.size());
    for (uint32_t i = 0; i < dict.count; ++i) {
        const StringEntry& e = dict.entries[i];
        EXPECT_EQ(std::string(e.eng, e.engLen), records[i].eng) << "record " << i;
        EXPECT_EQ(std::string(e.chi, e.chiLen), records[i].chi) << "record " << i;
        EXPECT_EQ(std::string(e.remark, e.remarkLen), records[i].remark) << "record " << i;
    }
}

TEST(SaveHeader, EightHoursOnCarryIntoDayMonthAndYear) {
    const std::string label = "Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 ";
    EXPECT_EQ(Header(2026, 12, 8, 12, 9, 46), label + "2026-12-08 20:09:46\r\n\r\n\r\n");
    EXPECT_EQ(Header(2026, 12, 8, 12, 9, 46).size(), 75u);
    EXPECT_EQ(Header(2026, 4, 30, 16, 0, 0), label + "2026-05-01 00:00:00\r\n\r\n\r\n");
    EXPECT_EQ(Header(2026, 12, 31, 17, 30, 0), label + "2027-01-01 01:30:00\r\n\r\n\r\n");
    EXPECT_EQ(Header(2027, 2, 28, 16, 0, 0), label + "2027-03-01 00:00:00\r\n\r\n\r\n");
    EXPECT_EQ(Header(2028, 2, 28, 16, 0, 0), label + "2028-02-29 00:00:00\r\n\r\n\r\n");
    EXPECT_EQ(Header(2100, 2, 28, 16, 0, 0), label + "2100-03-01 00:00:00\r\n\r\n\r\n");
    EXPECT_EQ(Header(2000, 2, 28, 16, 0, 0), label + "2000-02-29 00:00:00\r\n\r\n\r\n");
}

class SaveText : public ::testing::Test {
protected:
    void Load(const std::vector<samples::Record>& records) {
        ASSERT_EQ(dict.LoadFromTXTStringA(DictionaryText(records).c_str()), records.size());
    }
    int32_t Save(const char* name) { return dict.SaveToTXTFileA(dir.File(name).c_str()); }
    // The file's bytes after its 75-byte header, which must have the header's shape.
    std::string Saved(const char* name) {
        const std::string bytes = ReadBytes(dir.File(name));
        std::string shape = bytes.substr(0, 75);
        for (char& c : shape) c = std::isdigit(static_cast<unsigned char>(c)) ? '9' : c;
        EXPECT_EQ(
            shape,
            "Veskaloran VKCStringDict::SaveToTXTFileA Ver.9.99 9999-99-99 99:99:99\r\n\r\n\r\n");
        return bytes.substr(shape.size());
    }

    VKCStringDict dict;
    TempDir dir;
};

TEST_F(SaveText, WritesHeaderRecordsAndTerminator) {
    Load({{"Start Game", kGbk, ""}});
    EXPECT_EQ(Save("d.txt"), 279);
    EXPECT_EQ(Saved("d.txt"), Record("00000000", "Start Game", kGbk, "") + kTerminator);

    // Numbers are positions, not what the loaded file said.
    const std::string text = Record("7", "a", "", "") + Record("7", "b", "", "") +
                             Record("3", "c", "", "") + Record("x", "d", "", "") +
                             Record("", "e", "", "");
    ASSERT_EQ(dict.LoadFromTXTStringA(text.c_str()), 5u);
    Save("numbers.txt");
    EXPECT_NE(Saved("numbers.txt").find(Record("00000004", "e", "", "")), std::string::npos);

    // No records: header and terminator only.
    VKCStringDict empty;
    EXPECT_EQ(empty.SaveToTXTFileA(dir.File("empty.txt").c_str()), 100);
    EXPECT_EQ(Saved("empty.txt"), kTerminator);
}

TEST_F(SaveText, TextsAreWrittenByTheirStoredLengths) {
    Load({{"Hello", "World", "note"}, {"", "", ""}, {"x", "y", "z\r\nz"}});
    // A null text contributes nothing, whatever its length; a shorter length cuts the text.
    dict.entries[0].engLen = 2;
    dict.entries[0].chi = nullptr;
    dict.entries[0].chiLen = 5;
    dict.entries[2].eng = nullptr;
    dict.entries[2].chiLen = 0;
    EXPECT_EQ(Save("d.txt"), 75 + 161 * 3 + 2 + 4 + 4 + 25);
    EXPECT_EQ(Saved("d.txt"), Record("00000000", "He", "", "note") +
                                  Record("00000001", "", "", "") +
                                  Record("00000002", "", "", "z\r\nz") + kTerminator);
}

TEST_F(SaveText, AppendsToAnExistingFileEvenReadOnly) {
    Load({{"a", "b", "c"}});
    testutil::WriteBytes(dir.File("d.txt"), "kept");
    ASSERT_TRUE(testutil::MakeReadOnly(dir.File("d.txt")));
    EXPECT_EQ(Save("d.txt"), 264);
    EXPECT_EQ(Save("d.txt"), 264);
    EXPECT_EQ(ReadBytes(dir.File("d.txt")).substr(0, 4), "kept");
    VKCStringDict back;
    ASSERT_EQ(back.LoadFromTXTFileA(dir.File("d.txt").c_str()), 2u);
    ExpectRecords(back, {{"a", "b", "c"}, {"a", "b", "c"}});

    EXPECT_EQ(dict.SaveToTXTFileA(nullptr), 0);
    EXPECT_EQ(Save("no/such/d.txt"), -3);  // every piece fails
}

TEST_F(SaveText, SizesTheBlockFromTheRecordsNotFromDataSize) {
    // A remark longer than the headroom that a size taken from dataSize (0,
    // or 0xFFFFFFFF wrapping in 32 bits) would leave for three records.
    const std::vector<samples::Record> records = {
        {"Apple", kGbk, "r1"}, {"Start", kGbk, ""}, {"Zebra", "z", std::string(8000, 'r')}};
    Load(records);
    Save("before.txt");
    ASSERT_EQ(dict.LoadFromTXTStringA(""), 0u);
    ASSERT_EQ(dict.dataSize, 0u);
    Save("zero.txt");
    ASSERT_EQ(dict.LoadFromTXTFileA(dir.File("missing").c_str()), 0u);
    ASSERT_EQ(dict.dataSize, 0xFFFFFFFFu);
    Save("ones.txt");
    EXPECT_EQ(Saved("zero.txt"), Saved("before.txt"));
    EXPECT_EQ(Saved("ones.txt"), Saved("before.txt"));

    // Lengths whose sum wraps in 32 bits, too large to report: an allocation
    // failure before anything is read or written.
    dict.entries[1].engLen = 0xFFFFFFFFu;
    dict.entries[1].chiLen = 0xFFFFFFF0u;
    EXPECT_THROW(Save("huge.txt"), std::bad_alloc);
    EXPECT_FALSE(testutil::Exists(dir.File("huge.txt")));
}

// Bytes without NUL and without any marker (each holds "mirok"): ASCII, lone
// CR and LF included, GBK pairs and CR LF.
std::string RandomText(std::mt19937& random) {
    std::string text;
    for (int i = std::uniform_int_distribution<int>(0, 12)(random); i > 0; --i) {
        const int kind = std::uniform_int_distribution<int>(0, 3)(random);
        if (kind == 0) text += "\r\n";
        if (kind == 1)
            text += static_cast<char>(std::uniform_int_distribution<>(0x81, 0xFE)(random));
        if (kind == 1)
            text += static_cast<char>(std::uniform_int_distribution<>(0x40, 0xFE)(random));
        if (kind >= 2) text += static_cast<char>(std::uniform_int_distribution<>(1, 0x7F)(random));
    }
    return text.find("mirok") == std::string::npos ? text : std::string();
}

TEST_F(SaveText, RoundTripKeepsRecordsOrderTextsAndLengths) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 150 && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<samples::Record> records(std::uniform_int_distribution<size_t>(1, 25)(random));
        for (samples::Record& r : records)
            r = {RandomText(random), RandomText(random), RandomText(random)};
        VKCStringDict first;
        ASSERT_EQ(first.LoadFromTXTStringA(DictionaryText(records).c_str()), records.size());
        const std::string name = dir.File("round" + std::to_string(round));
        const int32_t written = first.SaveToTXTFileA(name.c_str());
        EXPECT_EQ(static_cast<size_t>(written), ReadBytes(name).size());
        VKCStringDict second;
        ASSERT_EQ(second.LoadFromTXTFileA(name.c_str()), records.size());
        ExpectRecords(second, records);
    }
}

}  // namespace
