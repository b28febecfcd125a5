// Every command that writes refuses an output that names one of its inputs
// and, when the target cannot be written, fails with status 2, leaving the
// target as it was and no temporary file behind. Usage errors are status 2
// too; --help and --version succeed.
#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "vkcdict/VkcdictFixture.h"

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

// A target whose folder takes no temporary file because the temporary
// file's name would pass the system's limit on paths (both the name beside
// the target and the short one in its folder) is refused whole, never
// written in place.
TEST_F(Vkcdict, ATargetWithNoRoomForATemporaryNameIsLeftAlone) {
#ifdef _WIN32
    constexpr size_t kPathMax = 260;  // with the NUL
    const char separator = '\\';
#else
    constexpr size_t kPathMax = 4096;
    const char separator = '/';
#endif
    Write("d.txt", Dict({{"a", kOne, ""}}));
    // A folder 13 bytes short of the limit: "a.txt" fits in it, "vkcdict-XXXXXX" does not.
    std::string folder = dir.path();
    while (folder.size() < kPathMax - 13) {
        const size_t room = kPathMax - 13 - folder.size() - 1;
        folder += separator + std::string(room < 200 ? room : 200, 'f');
        ASSERT_TRUE(testutil::MakeDir(folder)) << folder.size();
    }
    const std::string target = folder + separator + "a.txt";
    testutil::WriteBytes(target, "old");
    const Result r = Run({"sort", "d.txt", "-o", target});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("no temporary file can be made beside it"), std::string::npos) << r.err;
    EXPECT_EQ(testutil::ReadBytes(target), "old");
}

#ifndef _WIN32
// The hazards of writing where nothing may be lost, each a shell command run
// in the test's folder (as another user where it needs a folder that takes no
// new file: root may add files anywhere), then what must hold:
//   - no room for a temporary file never truncates the target (vkcsubst too);
//   - a write past the file size limit fails with a message, no leftover;
//   - /dev/stdout and /proc/self/fd/1 go through the descriptor: appended
//     where the shell appends, into a pipe, never over the script;
//   - an existing backup is kept, and a link at a backup's name is never
//     written through; a link loop or a link planted by another user in a
//     shared folder is refused.
TEST_F(Vkcdict, PosixOnly_HazardousOutputsLoseNothing) {
    namespace fs = std::filesystem;
    const bool root = geteuid() == 0;
    std::vector<samples::Record> records;
    for (int i = 0; i < 200; ++i) records.push_back({"text " + std::to_string(1000 - i), kOne, ""});
    Write("d.txt", Dict(records));
    std::string script;
    for (int i = 0; i < 200; ++i) script += "[text " + std::to_string(900 + i) + "]\n";
    Write("s.txt", script);
    ASSERT_EQ(Run({"sort", "d.txt", "-o", "sorted.txt"}).status, 0);
    const std::string sorted = Body("sorted.txt");
    ASSERT_EQ(Run({"subst", "d.txt", "s.txt", "-o", "t.txt"}).status, 0);
    const std::string translated = Read("t.txt");
    ASSERT_NE(translated, script);
    // A folder that takes no new file from the user who runs the command,
    // holding a file that user may write.
    ASSERT_TRUE(testutil::MakeDir(dir.File("full")));
    Write("full/out.txt", "old");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(dir.File("s.txt").c_str(), 0666), 0);  // vkcsubst opens it for update
    if (root) {
        ASSERT_EQ(chown(dir.File("full/out.txt").c_str(), 65534, 65534), 0);
    } else {
        ASSERT_EQ(chmod(dir.File("full").c_str(), 0555), 0);
    }
    // A shared folder (as /tmp) with another user's link to a victim file.
    Write("victim.txt", "victim");
    ASSERT_TRUE(testutil::MakeDir(dir.File("shared")));
    ASSERT_EQ(chmod(dir.File("shared").c_str(), 01777), 0);
    fs::create_symlink(dir.File("victim.txt"), dir.File("shared/planted.txt"));
    if (root) {
        ASSERT_EQ(lchown(dir.File("shared/planted.txt").c_str(), 65534, 65534), 0);
    }
    fs::create_symlink("loop.txt", dir.File("loop.txt"));
    fs::create_symlink("victim.txt", dir.File("s2.txt.bak"));
    Write("s2.txt", script);
    Write("s3.txt", script);
    Write("s4.txt", script);
    Write("big.txt", "old");
    // The other user runs copies kept here: the build tree may lie in a
    // folder only its owner may enter (a home folder, a mktemp -d folder).
    std::string dict_path = VKCDICT_PATH;
    std::string subst_path = VKCSUBST_PATH;
    if (root) {
        ASSERT_TRUE(testutil::MakeDir(dir.File("bin")));
        dict_path = dir.File("bin/vkcdict");
        subst_path = dir.File("bin/vkcsubst");
        fs::copy_file(VKCDICT_PATH, dict_path);
        fs::copy_file(VKCSUBST_PATH, subst_path);
        ASSERT_EQ(chmod(dict_path.c_str(), 0755), 0);
        ASSERT_EQ(chmod(subst_path.c_str(), 0755), 0);
    }
    const std::string dict = "'" + dict_path + "' ";
    const std::string subst = "'" + subst_path + "' 2 ";
    const std::string other = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const auto body = [](const std::string& bytes) {
        const size_t at = bytes.find("\r\n\r\n\r\n");
        return at == std::string::npos ? bytes : bytes.substr(at);
    };
    struct Row {
        const char* what;
        std::string command;
        std::function<void(int status, const std::string& err)> check;
    };
    const Row rows[] = {
        {"vkcsubst, no room for a temporary file",
         other + "sh -c \"ulimit -f 1; exec " + subst + "s.txt d.txt full/out.txt\"",
         [&](int status, const std::string&) {
             EXPECT_EQ(status, 0);
             EXPECT_EQ(Read("full/out.txt"), "old");
         }},
        {"sort, no room for a temporary file",
         other + "sh -c \"ulimit -f 1; exec " + dict + "sort d.txt -o full/out.txt\"",
         [&](int status, const std::string& err) {
             EXPECT_EQ(status, 2);
             EXPECT_NE(err.find("no temporary file can be made beside it"), std::string::npos);
             EXPECT_EQ(Read("full/out.txt"), "old");
         }},
        {"sort, over the file size limit", "ulimit -f 4; " + dict + "sort d.txt -o big.txt",
         [&](int status, const std::string& err) {
             EXPECT_EQ(status, 2);
             EXPECT_NE(err.find("File too large"), std::string::npos);
             EXPECT_EQ(Read("big.txt"), "old");
         }},
        {"sort to /dev/stdout, appended",
         "echo log > log.txt && " + dict + "sort d.txt -o /dev/stdout >> log.txt",
         [&](int status, const std::string&) {
             EXPECT_EQ(status, 0);
             EXPECT_EQ(Read("log.txt").substr(0, 4), "log\n");
             EXPECT_EQ(body(Read("log.txt")), sorted);
         }},
        {"sort to /proc/self/fd/1, a pipe",
         dict + "sort d.txt -o /proc/self/fd/1 | cat > piped.txt",
         [&](int, const std::string& err) {
             EXPECT_EQ(err.find("error"), std::string::npos) << err;
             EXPECT_EQ(body(Read("piped.txt")), sorted);
         }},
        {"vkcsubst to /dev/stdout, appended",
         "echo log > log2.txt && " + subst + "s.txt d.txt /dev/stdout >> log2.txt",
         [&](int, const std::string&) { EXPECT_EQ(Read("log2.txt"), "log\n" + translated); }},
        {"vkcsubst to /dev/stdout, a pipe", subst + "s.txt d.txt /dev/stdout | cat > piped2.txt",
         [&](int, const std::string&) { EXPECT_EQ(Read("piped2.txt"), translated); }},
        {"vkcsubst to /dev/stdout appending to the script",
         subst + "s4.txt d.txt /dev/stdout >> s4.txt",
         [&](int, const std::string&) { EXPECT_EQ(Read("s4.txt"), script); }},
        {"a second --in-place run keeps the backup",
         dict + "subst d.txt s3.txt --in-place --backup .bak && " + dict +
             "subst d.txt s3.txt --in-place --backup .bak",
         [&](int status, const std::string& err) {
             EXPECT_EQ(status, 0);
             EXPECT_NE(err.find("the existing backup is kept"), std::string::npos);
             EXPECT_EQ(Read("s3.txt.bak"), script);
             EXPECT_EQ(Read("s3.txt"), translated);
         }},
        {"a link at the backup's name", dict + "subst d.txt s2.txt --in-place --backup .bak",
         [&](int status, const std::string&) {
             EXPECT_EQ(status, 2);
             EXPECT_EQ(Read("victim.txt"), "victim");
             EXPECT_EQ(Read("s2.txt"), script);
         }},
        {"a link loop", dict + "sort d.txt -o loop.txt",
         [&](int status, const std::string&) {
             EXPECT_EQ(status, 2);
             EXPECT_TRUE(fs::is_symlink(dir.File("loop.txt")));
         }},
        {"another user's link in a shared folder", dict + "sort d.txt -o shared/planted.txt",
         [&](int status, const std::string&) {
             EXPECT_EQ(status, root ? 2 : 0);
             EXPECT_EQ(Read("victim.txt") == "victim", root);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testutil::ScopedCwd cwd(dir.path());
        const int status = testutil::RunProgram("/bin/sh", {"-c", row.command}, "", "", "err.txt");
        row.check(status, Read("err.txt"));
        for (const char* folder : {".", "full", "shared"}) {
            for (const auto& entry : fs::directory_iterator(dir.File(folder))) {
                EXPECT_EQ(entry.path().filename().string().find("vkcdict-"), std::string::npos)
                    << entry.path();
            }
        }
    }
    chmod(dir.File("full").c_str(), 0755);
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
