// vkcdict's list options take exactly the value written with them: the
// words after it are the command's own arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vkcdict/VkcdictFixture.h"

namespace {

using namespace vkcdicttest;

class CommandLine : public Vkcdict {};

TEST_F(CommandLine, AListOptionTakesOnlyItsOwnValue) {
    Write("d.txt", Dict({{"Hello @NAME@ %s", kStart, ""}}));
    Write("g.txt", Dict({{"Hello", kStart, ""}}));
    Write("s.txt", "say \"Hello @NAME@ %s\"\n");
    const std::string oneFile = "vkcdict qa: 1 file, 1 translated record checked, ";
    // Each list option of every command, written both ways, before the
    // dictionary; the finding shows which checks ran.
    const struct {
        std::vector<std::string> args;
        std::string findings;
    } cases[] = {
        {{"qa", "--check=codes", "d.txt"}, "1 finding: codes 1\n"},
        {{"qa", "--check", "codes", "d.txt"}, "1 finding: codes 1\n"},
        {{"qa", "--check", "codes,length", "d.txt"}, "1 finding: codes 1\n"},
        {{"qa", "--check=length", "--check=codes", "d.txt"}, "1 finding: codes 1\n"},
        {{"qa", "--skip=codes", "d.txt"}, "0 findings\n"},
        {{"qa", "--skip", "codes,numbers", "d.txt"}, "0 findings\n"},
        {{"qa", "--glossary=g.txt", "d.txt"}, "1 finding: codes 1\n"},
        {{"qa", "--script", "s.txt", "d.txt"}, "1 finding: codes 1\n"},
        // A pattern keeps its commas.
        {{"qa", "--code=@[A-Z]{1,8}@", "--check=codes", "d.txt"}, "1 finding: codes 1\n"},
    };
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.err, oneFile + c.findings) << c.args[1];
        EXPECT_EQ(r.status, c.findings == "0 findings\n" ? 0 : 1) << c.args[1];
    }
    // The comma-free pattern with {1,8} is found as a code: with it, the
    // translation lacks two codes, not one.
    Result r = Run({"qa", "--code=@[A-Z]{1,8}@", "--check=codes", "d.txt"});
    EXPECT_NE(r.out.find("\"@NAME@\""), std::string::npos) << r.out;
}

}  // namespace
