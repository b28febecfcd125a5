// Safe output over every kind of target: what is kept of the replaced file
// (its mode, a symbolic link, the other names of a hard link), what is
// refused (a folder, a read-only file without force) and what is written
// directly (a device). Each row writes "new" over a target holding "old".
#include "fileio/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestUtil.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// Files in `folder` other than those the test made.
size_t Leftovers(const std::string& folder) {
    size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        n += entry.path().filename().string().find("vkcdict-") != std::string::npos;
    }
    return n;
}

bool WriteNew(const std::string& target, bool force, fileio::AtomicFile* file) {
    fileio::AtomicFileOptions options;
    options.force = force;
    if (!file->Open(target, options)) return false;
    std::fputs("new", file->stream());
    return file->Commit();
}

#ifndef _WIN32
mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(AtomicFile, PosixOnly_ReplacingKeepsModesLinksAndDevices) {
    struct Row {
        const char* name;
        mode_t mode;  // of the existing target, 0: none
        bool force;
        bool written;  // "new" reaches the file
        bool warns;
    };
    const mode_t mask = umask(0);
    umask(mask);
    const Row rows[] = {
        {"missing", 0, false, true, false},    {"private", 0600, false, true, false},
        {"script", 0755, false, true, false},  {"readonly", 0444, false, false, false},
        {"readonly", 0444, true, true, false}, {"symlink", 0640, false, true, false},
        {"hardlink", 0644, false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + (row.force ? " forced" : ""));
        testutil::TempDir dir;
        const std::string real = dir.File("real.txt");
        std::string target = real;
        if (row.mode != 0) {
            testutil::WriteBytes(real, "old");
            ASSERT_EQ(chmod(real.c_str(), row.mode), 0);
        }
        if (std::string(row.name) == "symlink") {
            target = dir.File("link.txt");
            fs::create_symlink("real.txt", target);
        }
        if (std::string(row.name) == "hardlink") fs::create_hard_link(real, dir.File("other.txt"));
        fileio::AtomicFile file;
        EXPECT_EQ(WriteNew(target, row.force, &file), row.written) << file.error();
        EXPECT_EQ(testutil::ReadBytes(real), row.written ? "new" : "old");
        EXPECT_EQ(ModeOf(real), row.mode != 0 ? row.mode : 0666 & ~mask);
        EXPECT_EQ(!file.warning().empty(), row.warns) << file.warning();
        if (std::string(row.name) == "symlink") {
            EXPECT_TRUE(fs::is_symlink(target));
        }
        if (std::string(row.name) == "hardlink") {
            EXPECT_EQ(testutil::ReadBytes(dir.File("other.txt")), "old");
        }
        EXPECT_EQ(Leftovers(dir.path()), 0u);
    }
}

TEST(AtomicFile, PosixOnly_DevicesAreWrittenDirectlyAndFoldersRefused) {
    fileio::AtomicFile file;
    EXPECT_TRUE(WriteNew("/dev/null", false, &file)) << file.error();
    EXPECT_TRUE(file.direct());
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    testutil::TempDir dir;
    EXPECT_FALSE(WriteNew(dir.path(), false, &file));
    EXPECT_EQ(file.error(), "it is a folder");
    // A name whose temporary name would pass the system's limit on names.
    const std::string longName = dir.File(std::string(250, 'n'));
    EXPECT_TRUE(WriteNew(longName, false, &file)) << file.error();
    EXPECT_EQ(testutil::ReadBytes(longName), "new");
    EXPECT_EQ(Leftovers(dir.path()), 0u);
}
#endif

// A name is the same file as itself, as its links and under another
// spelling; a file not yet there is compared by name.
TEST(AtomicFile, SameFileSeesThroughNamesAndLinks) {
    testutil::TempDir dir;
    testutil::WriteBytes(dir.File("a.txt"), "a");
    testutil::WriteBytes(dir.File("b.txt"), "b");
    testutil::MakeDir(dir.File("sub"));
    EXPECT_TRUE(fileio::SameFile(dir.File("a.txt"), dir.File("sub/../a.txt")));
    EXPECT_FALSE(fileio::SameFile(dir.File("a.txt"), dir.File("b.txt")));
    EXPECT_TRUE(fileio::SameFile(dir.File("new.txt"), dir.File("sub/../new.txt")));
    EXPECT_FALSE(fileio::SameFile(dir.File("new.txt"), dir.File("a.txt")));
#ifndef _WIN32
    fs::create_hard_link(dir.File("a.txt"), dir.File("hard.txt"));
    fs::create_symlink("a.txt", dir.File("soft.txt"));
    EXPECT_TRUE(fileio::SameFile(dir.File("hard.txt"), dir.File("soft.txt")));
#endif
}

// A failed write or an abandoned output leaves the target and no temporary
// file; a complete one replaces it; an output committed twice does not write
// twice.
TEST(AtomicFile, AnAbandonedOutputLeavesTheTargetAlone) {
    testutil::TempDir dir;
    const std::string target = dir.File("out.txt");
    testutil::WriteBytes(target, "old");
    {
        fileio::AtomicFile file;
        ASSERT_TRUE(file.Open(target));
        std::fputs("partial", file.stream());
    }
    EXPECT_EQ(testutil::ReadBytes(target), "old");
    EXPECT_EQ(Leftovers(dir.path()), 0u);
    // A complete output replaces the existing target.
    fileio::AtomicFile complete;
    EXPECT_TRUE(WriteNew(target, false, &complete)) << complete.error();
    EXPECT_EQ(testutil::ReadBytes(target), "new");
    EXPECT_EQ(Leftovers(dir.path()), 0u);
    fileio::AtomicFile file;
    EXPECT_FALSE(file.Commit());
    EXPECT_FALSE(file.Open(dir.File("missing/out.txt")));
    EXPECT_FALSE(file.error().empty());
}

}  // namespace
