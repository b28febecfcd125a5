// Speed of the paths a translator waits for: loading a large dictionary text,
// looking texts up, and rewriting a large script.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dict/VKCStringDict.h"
#include "tool/RewriteScript.h"

namespace {

std::string Key(size_t i) {
    char key[48];
    std::snprintf(key, sizeof(key), "Line number %08zu", i);
    return key;
}

// A dictionary text of `records` records in ascending key order, with GBK
// translations.
std::string DictionaryText(size_t records) {
    std::string text = "header\r\n";
    for (size_t i = 0; i < records; ++i) {
        text += "\r\nmirok_res_No.0\r\nmirok_res_ENG_Start\r\n" + Key(i) +
                "\r\nmirok_res_ENG_End\r\nmirok_res_CHI_Start\r\n"
                "\xB5\xDA\xD2\xBB\xD5\xC2\xB5\xDA\xD2\xBB\xD5\xC2\r\nmirok_res_CHI_End\r\n"
                "mirok_res_Remark00_Start\r\n\r\nmirok_res_Remark00_End\r\n";
    }
    return text;
}

void LoadText(benchmark::State& state) {
    std::string text = DictionaryText(static_cast<size_t>(state.range(0)));
    VKCStringDict dict;
    for (auto _ : state) benchmark::DoNotOptimize(dict.LoadFromTXTStringA(text.c_str()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(LoadText)->Arg(1000)->Arg(100000);

// Lookups in a dictionary of `records` records, hits and misses in equal
// shares and in random order, over more keys than the caches hold.
void Lookup(benchmark::State& state) {
    const size_t records = static_cast<size_t>(state.range(0));
    VKCStringDict dict;
    dict.LoadFromTXTStringA(DictionaryText(records).c_str());
    // The keys lie one after another, so that reading them costs the
    // benchmark no cache misses of its own.
    constexpr size_t kStride = 32;
    std::mt19937_64 random(7);
    const size_t count = std::max<size_t>(records, 1 << 16);
    std::vector<char> keys(count * kStride);
    for (size_t i = 0; i < count; ++i) {
        const std::string key = Key(random() % records) + (i % 2 == 0 ? "" : " and more");
        std::memcpy(&keys[i * kStride], key.c_str(), key.size() + 1);
    }
    // The first lookup after a load builds the index; that is the load's
    // cost, timed with the whole runs in bench/run.sh, not a lookup's.
    dict.FindStringA(&keys[0]);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dict.FindStringA(&keys[i * kStride]));
        if (++i == count) i = 0;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(Lookup)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000);

// A script of `lines` lines, each with one quoted text that the dictionary
// holds and one bracketed text that it does not.
void Rewrite(benchmark::State& state) {
    const size_t lines = static_cast<size_t>(state.range(0));
    g_dictionary.LoadFromTXTStringA(DictionaryText(lines).c_str());
    std::string script;
    for (size_t i = 0; i < lines; ++i) {
        script +=
            "    narrator \"" + Key(i) + "\" with [no translation here] and more plain text\n";
    }
    char input[] = "/tmp/vkc-bench-in-XXXXXX";
    int fd = mkstemp(input);
    if (fd < 0 || write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size())) {
        state.SkipWithError("cannot write the script");
        return;
    }
    close(fd);
    std::string output = std::string(input) + ".out";
    for (auto _ : state) benchmark::DoNotOptimize(RewriteScriptFile(output.c_str(), input));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script.size()));
    std::remove(input);
    std::remove(output.c_str());
}
BENCHMARK(Rewrite)->Arg(100000);

}  // namespace
