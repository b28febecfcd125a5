// Every command that writes refuses an output that names one of its inputs
// and, when the target cannot be written, fails with status 2, leaving the
// target as it was and no temporary file behind. Usage errors are status 2
// too; --help and --version succeed.
#include <filesystem>

#include "VkcdictFixture.h"

namespace vkcdicttest {
namespace {

size_t FilesIn(const std::string& folder) {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        n += entry.is_regular_file() ? 1 : 0;
    }
    return n;
}

TEST_F(Vkcdict, AFailedWriteLeavesTheTargetAsItWas) {
    Write("d.txt", Dict({{"a", "1", ""}}));
    Write("s.txt", "[a]");
    ASSERT_EQ(Run({"compile", "d.txt", "-o", "d.bin"}).status, 0);
    ASSERT_TRUE(testutil::MakeDir(dir.File("target")));
    Write("target/keep.txt", "kept");
    const std::vector<std::vector<std::string>> writers = {
        {"extract", "s.txt", "-o"}, {"merge", "d.txt", "-o"},     {"sort", "d.txt", "-o"},
        {"compile", "d.txt", "-o"}, {"decompile", "d.bin", "-o"}, {"subst", "d.txt", "s.txt", "-o"},
    };
    for (std::vector<std::string> args : writers) {
        const size_t before = FilesIn(dir.path());
        // A folder where the file should go, and a folder that does not exist.
        for (const char* target : {"target", "missing/out.txt"}) {
            args.push_back(target);
            const Result r = Run(args);
            EXPECT_EQ(r.status, 2) << args[0] << " " << target;
            EXPECT_NE(r.err.find(std::string(target) + ": error: cannot write"), std::string::npos)
                << r.err;
            args.pop_back();
        }
        EXPECT_EQ(Read("target/keep.txt"), "kept");
        EXPECT_EQ(FilesIn(dir.path()), before) << args[0];
        // Its own input as output.
        args.push_back(args[1]);
        const std::string input = Read(args[1]);
        EXPECT_EQ(Run(args).status, 2) << args[0];
        EXPECT_EQ(Read(args[1]), input);
    }
}

// --help and --version succeed; a usage error is status 2.
TEST_F(Vkcdict, UsageErrorsAreStatusTwo) {
    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("vkcdict ", 0), 0u) << version.out;
    for (const char* command : {"check", "extract", "merge", "sort", "stats", "subst", "compile",
                                "decompile", "lookup", "match"}) {
        const Result help = Run({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
        EXPECT_EQ(Run({command}).status, 2) << command;
    }
    EXPECT_EQ(Run({}).status, 2);
    EXPECT_EQ(Run({"no-such-command"}).status, 2);
}

}  // namespace
}  // namespace vkcdicttest
