// Every command that writes refuses an output that names one of its inputs
// and, when the target cannot be written, fails with status 2, leaving the
// target as it was and no temporary file behind. Usage errors are status 2
// too; --help and --version succeed.
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

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

#ifndef _WIN32
// An output over an existing file keeps its mode, its symbolic link and (as a
// warning says) the old content under its other hard links; a read-only
// output needs --force. A FIFO is written into, not replaced.
TEST_F(Vkcdict, PosixOnly_OutputsKeepModesLinksAndSpecialFiles) {
    namespace fs = std::filesystem;
    Write("d.txt", Dict({{"b", "2", ""}, {"a", "1", ""}}));
    ASSERT_EQ(Run({"sort", "d.txt", "-o", "sorted.txt"}).status, 0);
    const std::string sorted = Body("sorted.txt");
    struct Row {
        const char* name;
        fs::perms mode;
        bool force;
        int status;
        const char* message;
    };
    const Row rows[] = {
        {"private.txt", fs::perms(0600), false, 0, ""},
        {"run.sh", fs::perms(0750), false, 0, ""},
        {"readonly.txt", fs::perms(0444), false, 2, "read-only (--force replaces it)"},
        {"readonly.txt", fs::perms(0444), true, 0, ""},
        {"linked.txt", fs::perms(0644), false, 0, "hard links"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + (row.force ? " --force" : ""));
        fs::remove(dir.File(row.name));
        fs::remove(dir.File("link"));
        fs::remove(dir.File("other"));
        Write(row.name, "old");
        fs::permissions(dir.File(row.name), row.mode);
        fs::create_symlink(row.name, dir.File("link"));
        if (std::string(row.name) == "linked.txt") {
            fs::create_hard_link(dir.File(row.name), dir.File("other"));
        }
        std::vector<std::string> args = {"sort", "d.txt", "-o", "link"};
        if (row.force) args.push_back("--force");
        const Result r = Run(args);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        EXPECT_EQ(row.status == 0 ? Body(row.name) : Read(row.name),
                  row.status == 0 ? sorted : "old");
        EXPECT_EQ(fs::status(dir.File(row.name)).permissions(), row.mode);
        EXPECT_TRUE(fs::is_symlink(dir.File("link")));
        if (std::string(row.name) == "linked.txt") {
            EXPECT_EQ(Read("other"), "old");
        }
    }
    // A private script and its backup stay private.
    Write("s.txt", "[a]");
    fs::permissions(dir.File("s.txt"), fs::perms(0600));
    EXPECT_EQ(Run({"subst", "sorted.txt", "s.txt", "--in-place", "--backup", ".bak"}).status, 0);
    EXPECT_EQ(Read("s.txt"), "[1]");
    EXPECT_EQ(fs::status(dir.File("s.txt")).permissions(), fs::perms(0600));
    EXPECT_EQ(fs::status(dir.File("s.txt.bak")).permissions(), fs::perms(0600));
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0644), 0);
    testutil::ScopedCwd cwd(dir.path());
    const std::string command = std::string("cat fifo > got & '") + VKCDICT_PATH +
                                "' sort d.txt -o fifo; status=$?; wait; exit $status";
    EXPECT_EQ(testutil::RunProgram("/bin/sh", {"-c", command}), 0);
    EXPECT_TRUE(fs::is_fifo(dir.File("fifo")));
    EXPECT_EQ(Body("got"), sorted);
    // A failed write on standard output is a failure with a message.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"sort", "d.txt", "-o", "-"},
          std::vector<std::string>{"lookup", "d.txt", "a"}}) {
        const int status = testutil::RunProgram(VKCDICT_PATH, args, "", "/dev/full", "err.txt");
        EXPECT_EQ(status, 2) << args[0];
        EXPECT_NE(Read("err.txt").find("No space left on device"), std::string::npos) << args[0];
    }
}
#endif

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
