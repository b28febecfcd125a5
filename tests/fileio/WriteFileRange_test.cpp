// The file range writer on real files, through the platform's entry points.
// Its calls to replaced entry points are tested in FaultInjection_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"
#include "fileio/FileRange.h"

namespace {

using testutil::Exists;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

TEST(WriteFileRange, DispositionsOnExistingAndMissingFiles) {
    // Three bytes at offset 0, over a 10-byte file or where no file is.
    const struct {
        DWORD disposition;
        bool exists;
        int32_t result;
        const char* after;  // null: no file afterwards
    } cases[] = {
        {CREATE_NEW, true, -1, "0123456789"},   {CREATE_NEW, false, 3, "abc"},
        {CREATE_ALWAYS, true, 3, "abc"},        {CREATE_ALWAYS, false, 3, "abc"},
        {OPEN_EXISTING, true, 3, "abc3456789"}, {OPEN_EXISTING, false, -1, nullptr},
        {OPEN_ALWAYS, true, 3, "abc3456789"},   {OPEN_ALWAYS, false, 3, "abc"},
        {TRUNCATE_EXISTING, true, 3, "abc"},    {TRUNCATE_EXISTING, false, -1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.disposition) + (c.exists ? " existing" : " missing"));
        TempDir dir;
        const std::string path = dir.File("f");
        if (c.exists) WriteBytes(path, "0123456789");
        EXPECT_EQ(WriteFileRangeA(path.c_str(), "abcdef", 0, 3, c.disposition), c.result);
        EXPECT_EQ(Exists(path), c.after != nullptr);
        if (c.after != nullptr) {
            EXPECT_EQ(ReadBytes(path), c.after);
        }
    }
}

TEST(WriteFileRange, PositionAndLength) {
    TempDir dir;
    const std::string path = dir.File("f");
    // Appends create the file and leave the pieces in order; count 0 stops at the NUL.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "head,\0x", -1, 0, OPEN_ALWAYS), 5);
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "tail", -1, 4, OPEN_ALWAYS), 4);
    // Inside the file: overwritten in place, never shortened.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "HE", 0, 2, OPEN_ALWAYS), 2);
    EXPECT_EQ(ReadBytes(path), "HEad,tail");
    // Beyond the end: the gap reads as zero bytes.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "!", 11, 1, OPEN_EXISTING), 1);
    EXPECT_EQ(ReadBytes(path), std::string("HEad,tail\0\0!", 12));
    // Only the low 32 bits of a count: 2^32 writes nothing, 2^32 + 1 one byte.
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "?", -1, 1ULL << 32, OPEN_ALWAYS), 0);
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "?", -1, (1ULL << 32) + 1, OPEN_ALWAYS), 1);
    EXPECT_EQ(ReadBytes(path).size(), 13u);
    // A read-only file is made writable first.
    ASSERT_TRUE(testutil::MakeReadOnly(path));
    EXPECT_EQ(WriteFileRangeA(path.c_str(), "+", -1, 0, OPEN_ALWAYS), 1);
    EXPECT_EQ(ReadBytes(path).back(), '+');
    // An empty text still creates the file.
    EXPECT_EQ(WriteFileRangeA(dir.File("empty").c_str(), "", -1, 0, OPEN_ALWAYS), 0);
    EXPECT_TRUE(Exists(dir.File("empty")));
}

}  // namespace
