// What the C interface adds to the class's costs: one lookup through
// vkc_dict_find next to FindStringA on the same keys, and vkc_rewrite of a
// script in memory next to the class's rewrite core writing to nowhere.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capi/vkcstringdict.h"
#include "dict/ScriptRewrite.h"
#include "dict/VKCStringDict.h"

namespace {

std::string Key(size_t i) {
    char key[48];
    std::snprintf(key, sizeof(key), "Capi line %08zu", i);
    return key;
}

std::string Dictionary(size_t records) {
    std::string text = "header\r\n";
    for (size_t i = 0; i < records; ++i) {
        text +=
            "\r\nmirok_res_No.0\r\nmirok_res_ENG_Start\r\n" + Key(i) +
            "\r\nmirok_res_ENG_End\r\nmirok_res_CHI_Start\r\n\xB5\xDA\xD2\xBB\xD5\xC2"
            "\r\nmirok_res_CHI_End\r\nmirok_res_Remark00_Start\r\n\r\nmirok_res_Remark00_End\r\n";
    }
    return text;
}

// Keys in a scattered order, hits and misses alike.
std::vector<std::string> Keys(size_t records) {
    std::vector<std::string> keys;
    for (size_t i = 0; i < 4096; ++i) {
        keys.push_back(Key((i * 7919) % records) + (i % 2 == 0 ? "" : " and more"));
    }
    return keys;
}

void ClassFind(benchmark::State& state) {
    const size_t records = static_cast<size_t>(state.range(0));
    VKCStringDict dict;
    dict.LoadFromTXTStringA(Dictionary(records).c_str());
    const std::vector<std::string> keys = Keys(records);
    dict.FindStringA(keys[0].c_str());
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(dict.FindStringA(keys[i++ % 4096].c_str()));
}
BENCHMARK(ClassFind)->Arg(1000)->Arg(100000);

void CapiFind(benchmark::State& state) {
    const size_t records = static_cast<size_t>(state.range(0));
    vkc_dict* d = vkc_dict_new();
    vkc_dict_load_string(d, Dictionary(records).c_str(), nullptr);
    const std::vector<std::string> keys = Keys(records);
    vkc_record record;
    vkc_dict_find(d, keys[0].c_str(), &record, nullptr);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vkc_dict_find(d, keys[i++ % 4096].c_str(), &record, nullptr));
    }
    vkc_dict_free(d);
}
BENCHMARK(CapiFind)->Arg(1000)->Arg(100000);

std::string Script(size_t lines) {
    std::string script;
    for (size_t i = 0; i < lines; ++i) {
        script +=
            "    narrator \"" + Key(i) + "\" with [no translation here] and more plain text\n";
    }
    return script;
}

// The class's core into an output that keeps nothing: the rewrite's own cost.
class Discard : public scriptrewrite::Output {
public:
    Discard() {
        at_ = buffer_;
        end_ = buffer_ + sizeof(buffer_);
    }

private:
    void Overflow(const void*, size_t) override { at_ = buffer_; }
    unsigned char buffer_[1 << 17];
};

void CoreRewrite(benchmark::State& state) {
    const size_t lines = static_cast<size_t>(state.range(0));
    VKCStringDict dict;
    dict.LoadFromTXTStringA(Dictionary(lines).c_str());
    const std::string script = Script(lines);
    for (auto _ : state) {
        Discard out;
        unsigned char open = 0;
        scriptrewrite::RewritePiece(dict, reinterpret_cast<const unsigned char*>(script.data()),
                                    script.size(), true, &open, out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script.size()));
}
BENCHMARK(CoreRewrite)->Arg(100000);

void CapiRewrite(benchmark::State& state) {
    const size_t lines = static_cast<size_t>(state.range(0));
    vkc_dict* d = vkc_dict_new();
    vkc_dict_load_string(d, Dictionary(lines).c_str(), nullptr);
    const std::string script = Script(lines);
    for (auto _ : state) {
        char* out = nullptr;
        size_t length = 0;
        vkc_rewrite(d, script.data(), script.size(), &out, &length);
        vkc_buffer_free(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * script.size()));
    vkc_dict_free(d);
}
BENCHMARK(CapiRewrite)->Arg(100000);

}  // namespace
