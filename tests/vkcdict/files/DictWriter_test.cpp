// The dictionary writer against the library's own writer: the same bytes,
// the size known exactly before anything is written, and a file the loader
// would refuse for its size refused with nothing written.
#include "vkcdict/files/DictWriter.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/VKCStringDict.h"

namespace {

using samples::Record;

std::string ReadAll(FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(DictWriter, WritesTheLibraryWritersBytesAndRefusesAFileOverTheLimit) {
    std::vector<Record> many;
    for (int i = 0; i < 1000; ++i) {
        many.push_back(
            {"k" + std::to_string(i), std::string(i % 37, '\xB0'), std::string(i % 5, 'r')});
    }
    const std::vector<std::vector<Record>> sets = {
        {},
        {{"", "", ""}},
        {{"a", "\xBF\xAA\xCA\xBC", "r"}, {" b ", "2\r\n3", "line\r\nbreak"}},
        many,
    };
    const testutil::TempDir dir;
    const std::string out = dir.File("out.txt");
    for (size_t set = 0; set < sets.size(); ++set) {
        const std::vector<Record>& records = sets[set];
        // The library's writer, on the records in this order.
        VKCStringDict library;
        for (const Record& r : records) {
            const uint32_t at = library.InsertBlankEntry(library.count) - 1;
            library.SetENGTextA(at, r.eng.c_str());
            library.SetCHITextA(at, r.chi.c_str());
            library.SetRemarkTextA(at, r.remark.c_str());
        }
        const std::string reference = dir.File("reference" + std::to_string(set) + ".txt");
        ASSERT_GT(library.SaveToTXTFileA(reference.c_str()), 0);
        const std::string expected = testutil::ReadBytes(reference);
        const std::string header = vkcdict::WrittenHeader(expected);
        ASSERT_FALSE(header.empty());

        // Texts handed out from one reused buffer, as a writer may be given them.
        std::string remark;
        const vkcdict::RecordSource source = [&](size_t i) {
            remark = records[i].remark;
            return vkcdict::RecordText{records[i].eng, records[i].chi, remark};
        };
        EXPECT_EQ(vkcdict::DictionaryBytes(header.size(), records.size(), source), expected.size())
            << set;

        const struct {
            uint64_t limit;
            bool written;
        } limits[] = {
            {expected.size(), true},
            {expected.size() - 1, false},
        };
        for (const auto& l : limits) {
            testutil::WriteBytes(out, "kept");
            FILE* sink = std::tmpfile();
            ASSERT_NE(sink, nullptr);
            vkcdict::Diagnostics d(false, sink);
            EXPECT_EQ(vkcdict::WriteDictionary(out, header, records.size(), source, d, l.limit),
                      l.written)
                << set << " " << l.limit;
            const std::string said = ReadAll(sink);
            std::fclose(sink);
            if (l.written) {
                EXPECT_EQ(testutil::ReadBytes(out), expected) << set;
                EXPECT_EQ(said, "") << set;
            } else {
                EXPECT_EQ(testutil::ReadBytes(out), "kept") << set;
                EXPECT_EQ(said, out + ": error: the dictionary would take " +
                                    std::to_string(expected.size()) +
                                    " bytes: the loader refuses files over " +
                                    std::to_string(l.limit) + " bytes; nothing written\n")
                    << set;
            }
        }
    }
}

}  // namespace
