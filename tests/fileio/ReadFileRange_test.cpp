// The file range reader on real files, through the platform's entry points.
// Its calls to replaced entry points are tested in FaultInjection_test.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "TestUtil.h"
#include "fileio/FileRange.h"

namespace {

using testutil::TempDir;
using testutil::WriteBytes;

TEST(ReadFileRange, SizeQueries) {
    TempDir dir;
    WriteBytes(dir.File("empty"), "");
    WriteBytes(dir.File("six"), "abcdef");
    EXPECT_EQ(ReadFileRangeA(dir.File("empty").c_str(), nullptr, 0, 0), 0);
    EXPECT_EQ(ReadFileRangeA(dir.File("six").c_str(), nullptr, 3, 100), 6);
    EXPECT_EQ(ReadFileRangeA(dir.File("missing").c_str(), nullptr, 0, 0), -1);
    EXPECT_EQ(ReadFileRangeA(dir.path().c_str(), nullptr, 0, 0), -1);
}

TEST(ReadFileRange, ReadsUpToTheEndOfTheFile) {
    TempDir dir;
    const std::string path = dir.File("six");
    WriteBytes(path, "abcdef");
    char buffer[8] = "-------";
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 4, 4), 2);
    EXPECT_STREQ(buffer, "ef-----");
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 6, 4), 0);
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 1000, 4), 0);
    // Only the low 32 bits of the count reach the read.
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, 1, (1ULL << 32) + 3), 3);
    EXPECT_STREQ(buffer, "bcd----");
    // A negative offset cannot be set, so the read starts at the beginning.
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, -2, 3), 3);
    EXPECT_STREQ(buffer, "abc----");
}

TEST(ReadFileRange, SizesOf2GiBAndMoreReportTheirLow32BitsAsASignedResult) {
    TempDir dir;
    testutil::MakeSparseFile(dir.File("2g"), 1LL << 31);
    EXPECT_EQ(ReadFileRangeA(dir.File("2g").c_str(), nullptr, 0, 0), INT32_MIN);
    const std::string path = dir.File("sparse");
    testutil::MakeSparseFile(path, (1LL << 32) + 10);
    EXPECT_EQ(ReadFileRangeA(path.c_str(), nullptr, 0, 0), 10);
    // The whole 64-bit offset reaches the seek.
    char buffer[4] = {1, 1, 1, 1};
    EXPECT_EQ(ReadFileRangeA(path.c_str(), buffer, (1LL << 32) + 8, 4), 2);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[2], 1);
}

}  // namespace
