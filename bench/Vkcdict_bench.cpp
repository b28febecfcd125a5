// Speed of vkcdict's commands against what they are measured by: check, sort,
// merge and qa against loading the same dictionary (they may take at most
// three times as long), extract and stats against a vkcsubst run on the same
// script (at most twice). Each command runs in-process through its own
// command line; what it prints goes to /dev/null while it is timed.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "dict/VKCStringDict.h"
#include "tool/RewriteScript.h"
#include "vkcdict/Commands.h"

namespace {

// Files made once for all cases: a sorted dictionary of kRecords records with
// GBK translations, and a script whose texts are four in five of them.
constexpr size_t kRecords = 200000;
constexpr size_t kScriptLines = 200000;

std::string Key(size_t i) {
    static const char* const kWords[] = {"the", "ship", "keeper", "storm", "light", "door"};
    char key[96];
    std::snprintf(key, sizeof(key), "%s %s %s line %07zu", kWords[i % 6], kWords[(i / 6) % 6],
                  kWords[(i / 36) % 6], i);
    return key;
}

struct Inputs {
    std::string dict = "/tmp/vkc-bench-vkcdict-dict.txt";
    std::string script = "/tmp/vkc-bench-vkcdict-script.txt";
    std::string out = "/tmp/vkc-bench-vkcdict-out.txt";
    std::string glossary = "/tmp/vkc-bench-vkcdict-glossary.txt";

    Inputs() {
        std::vector<std::string> keys;
        for (size_t i = 0; i < kRecords; ++i) keys.push_back(Key(i));
        std::sort(keys.begin(), keys.end());
        std::string text = "header\r\n";
        for (const std::string& key : keys) {
            text += "\r\nmirok_res_No.0\r\nmirok_res_ENG_Start\r\n" + key +
                    "\r\nmirok_res_ENG_End\r\nmirok_res_CHI_Start\r\n"
                    "\xB5\xDA\xD2\xBB\xD5\xC2\xB5\xDA\xD2\xBB\xD5\xC2\r\nmirok_res_CHI_End\r\n"
                    "mirok_res_Remark00_Start\r\n\r\nmirok_res_Remark00_End\r\n";
        }
        Write(dict, text);
        std::mt19937_64 random(5);
        std::string lines;
        for (size_t i = 0; i < kScriptLines; ++i) {
            const size_t k = random() % (kRecords + kRecords / 4);
            lines += "    narrator \"" + Key(k) + "\" and [" + Key(k + 1) + " ] then more\n";
        }
        Write(script, lines);
        // 5,000 terms whose first words are the keys' own, so that every
        // word of every key is looked up and compared, and none completes.
        static const char* const kWords[] = {"the", "ship", "keeper", "storm", "light", "door"};
        std::string terms = "glossary\r\n";
        for (size_t i = 0; i < 5000; ++i) {
            char term[32];
            std::snprintf(term, sizeof(term), "%s zq%04zu", kWords[i % 6], i);
            terms += std::string("\r\nmirok_res_No.0\r\nmirok_res_ENG_Start\r\n") + term +
                     "\r\nmirok_res_ENG_End\r\nmirok_res_CHI_Start\r\n\xB5\xDA\r\n"
                     "mirok_res_CHI_End\r\nmirok_res_Remark00_Start\r\n\r\n"
                     "mirok_res_Remark00_End\r\n";
        }
        Write(glossary, terms);
    }
    ~Inputs() {
        std::remove(dict.c_str());
        std::remove(script.c_str());
        std::remove(out.c_str());
        std::remove(glossary.c_str());
    }
    static void Write(const std::string& path, const std::string& bytes) {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) return;
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
};

const Inputs& Files() {
    static const Inputs inputs;
    return inputs;
}

// Runs `vkcdict ARGS...` in-process with stdout and stderr going nowhere.
int RunCommand(std::vector<std::string> args) {
    std::vector<char*> argv = {const_cast<char*>("vkcdict")};
    for (std::string& arg : args) argv.push_back(arg.data());
    std::fflush(nullptr);
    const int saved[2] = {dup(1), dup(2)};
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    const int status = vkcdict::RunCommandLine(static_cast<int>(argv.size()), argv.data());
    std::fflush(nullptr);
    dup2(saved[0], 1);
    dup2(saved[1], 2);
    close(saved[0]);
    close(saved[1]);
    close(null);
    return status;
}

void Command(benchmark::State& state, std::vector<std::string> args) {
    Files();
    for (auto _ : state) {
        if (RunCommand(args) > 1) state.SkipWithError("the command failed");
    }
}

void LoadDictionary(benchmark::State& state) {
    const Inputs& files = Files();
    for (auto _ : state) {
        VKCStringDict dict;
        benchmark::DoNotOptimize(dict.LoadFromTXTFileA(files.dict.c_str()));
    }
}
BENCHMARK(LoadDictionary)->Unit(benchmark::kMillisecond);

void CheckDictionary(benchmark::State& state) {
    Command(state, {"check", Files().dict});
}
BENCHMARK(CheckDictionary)->Unit(benchmark::kMillisecond);

void SortDictionary(benchmark::State& state) {
    Command(state, {"sort", Files().dict, "-o", Files().out});
}
BENCHMARK(SortDictionary)->Unit(benchmark::kMillisecond);

void MergeDictionaries(benchmark::State& state) {
    Command(state, {"merge", Files().dict, "-o", Files().out});
}
BENCHMARK(MergeDictionaries)->Unit(benchmark::kMillisecond);

// Every check but reused, with the 5,000-term glossary. The numbers check
// finds every record here (the keys end in a number the translations lack),
// so the findings' writing is part of the time.
void QaDictionary(benchmark::State& state) {
    Command(state, {"qa", Files().dict, "--skip", "reused", "--glossary", Files().glossary});
}
BENCHMARK(QaDictionary)->Unit(benchmark::kMillisecond);

// The same without the numbers check: the pass without findings to write.
void QaDictionaryQuiet(benchmark::State& state) {
    Command(state,
            {"qa", Files().dict, "--skip", "reused,numbers", "--glossary", Files().glossary});
}
BENCHMARK(QaDictionaryQuiet)->Unit(benchmark::kMillisecond);

// A vkcsubst run: the dictionary loaded once, the script rewritten.
void VkcsubstRun(benchmark::State& state) {
    const Inputs& files = Files();
    for (auto _ : state) {
        g_dictionary.LoadFromTXTFileA(files.dict.c_str());
        benchmark::DoNotOptimize(RewriteScriptFile(files.out.c_str(), files.script.c_str()));
    }
}
BENCHMARK(VkcsubstRun)->Unit(benchmark::kMillisecond);

void ExtractTexts(benchmark::State& state) {
    Command(state, {"extract", Files().script, "--dict", Files().dict, "-o", Files().out});
}
BENCHMARK(ExtractTexts)->Unit(benchmark::kMillisecond);

void CountTexts(benchmark::State& state) {
    Command(state, {"stats", Files().dict, Files().script});
}
BENCHMARK(CountTexts)->Unit(benchmark::kMillisecond);

}  // namespace
