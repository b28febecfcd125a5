// The built vkcdict run end to end in a temporary folder: files written
// there, the program run with them as its working directory, its exit status,
// stdout and stderr kept.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"

namespace vkcdicttest {

// A dictionary text file of `records` in the given order.
inline std::string Dict(const std::vector<samples::Record>& records) {
    return samples::DictionaryText(records);
}

// GBK texts for translations.
const std::string kStart = "\xBF\xAA\xCA\xBC";  // "start"
const std::string kOne = "\xD2\xBB";            // "one"

class Vkcdict : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out;
        std::string err;
    };

    // Runs vkcdict with `args` in the folder, `input` as its stdin; a run
    // longer than `timeLimit` seconds (0: no limit) is killed.
    Result Run(const std::vector<std::string>& args, const std::string& input = "",
               int timeLimit = 0) {
        testutil::ScopedCwd cwd(dir.path());
        testutil::WriteBytes(dir.File("stdin.txt"), input);
        Result r;
        r.status = testutil::RunProgram(VKCDICT_PATH, args, "stdin.txt", "stdout.txt", "stderr.txt",
                                        timeLimit);
        r.out = testutil::ReadBytes(dir.File("stdout.txt"));
        r.err = testutil::ReadBytes(dir.File("stderr.txt"));
        return r;
    }
    void Write(const std::string& name, const std::string& bytes) {
        testutil::WriteBytes(dir.File(name), bytes);
    }
    std::string Read(const std::string& name) { return testutil::ReadBytes(dir.File(name)); }
    // The bytes of a written dictionary after its header line (which holds
    // the time of writing).
    std::string Body(const std::string& name) {
        const std::string bytes = Read(name);
        const size_t records = bytes.find("\r\n\r\n\r\n");
        return records == std::string::npos ? bytes : bytes.substr(records);
    }

    testutil::TempDir dir;
};

// The lines of `text` without the last one (a command's summary).
inline std::string WithoutSummary(const std::string& text) {
    const size_t last = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
    return last == std::string::npos ? "" : text.substr(0, last + 1);
}

}  // namespace vkcdicttest
