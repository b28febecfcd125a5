// Every operation of the dictionary, and the rewriter, run with its k-th
// allocation failing, for k = 1, 2, ... until a run makes no k-th allocation.
// After each failure: the operation's failure result or its std::bad_alloc,
// the state it promises to leave, nothing leaked, and a dictionary that still
// takes an edit, a lookup and a save.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "FailingAllocator.h"
#include "Samples.h"
#include "TestUtil.h"
#include "dict/VKCStringDict.h"
#include "tool/LoadDictionary.h"
#include "tool/RewriteScript.h"

#ifndef _WIN32
#include "platform/DebugOutput.h"
#endif

namespace {

using samples::Record;

const std::string kHello = "\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7";  // four GBK characters
const std::vector<Record> kRecords = {
    {"Apple", "AP", ""}, {"Hello world", kHello, "greeting"}, {"Start", "ST", "r"}};
// Two records for the binary image: texts in this order, each with its NUL.
const std::vector<Record> kImageRecords = {{"abc", "xyz", ""}, {"b", "y", "note"}};

// A saved dictionary's size: a 75-byte header, 161 fixed bytes and the texts
// per record, the 25-byte terminator.
int64_t SavedSize(const std::vector<Record>& records) {
    int64_t size = 75 + 25;
    for (const Record& r : records) size += 161 + r.eng.size() + r.chi.size() + r.remark.size();
    return size;
}

// The files the operations read and write.
struct Files {
    testutil::TempDir dir;
    std::string text = dir.File("dict.txt");
    std::string image = dir.File("dict.bin");
    std::string output = dir.File("out.txt");  // only the save writes it
    std::string saved = dir.File("saved.txt");
    std::string script = dir.File("script.txt");
    std::string dictionaryText = samples::DictionaryText(kRecords);
};

// What a dictionary holds, free of addresses: texts as offsets into the pool.
struct State {
    std::string path;
    uint32_t dataSize, poolCapacity, poolUsed, entryCapacity, count;
    bool pool, entryBlock, entriesAreTheBlock;
    std::string matcher;
    std::vector<std::string> records;

    auto Tie() const {
        return std::tie(path, dataSize, poolCapacity, poolUsed, entryCapacity, count, pool,
                        entryBlock, entriesAreTheBlock, matcher, records);
    }
    bool operator==(const State& other) const { return Tie() == other.Tie(); }
};

void PrintTo(const State& s, std::ostream* os) {
    *os << "path '" << s.path << "' dataSize " << s.dataSize << " pool " << s.pool << " "
        << s.poolUsed << "/" << s.poolCapacity << " entries " << s.entryBlock
        << s.entriesAreTheBlock << " " << s.count << "/" << s.entryCapacity << " matcher "
        << s.matcher;
    for (const std::string& r : s.records) *os << "\n  " << r;
}

std::string Offset(const VKCStringDict& d, const char* text) {
    if (text == nullptr) return "null";
    return std::to_string(reinterpret_cast<intptr_t>(text) - reinterpret_cast<intptr_t>(d.pool));
}

std::string Text(const VKCStringDict& d, const char* text, uint32_t length) {
    return Offset(d, text) + ":" + (text != nullptr ? std::string(text, length) : "") + "|";
}

State Snapshot(const VKCStringDict& d) {
    State s{d.path,
            d.dataSize,
            d.poolCapacity,
            d.poolUsed,
            d.entryCapacity,
            d.count,
            d.pool != nullptr,
            d.entryBlock != nullptr,
            d.entries == d.entryBlock,
            d.matchKey[0] == '\0' ? "idle" : Offset(d, d.matchKey) + "," + Offset(d, d.matchValue),
            {}};
    for (uint32_t i = 0; d.entries != nullptr && i < d.count; ++i) {
        const StringEntry& e = d.entries[i];
        s.records.push_back(Text(d, e.eng, e.engLen) + Text(d, e.chi, e.chiLen) +
                            Text(d, e.remark, e.remarkLen));
    }
    return s;
}

// The blocks the dictionary owns: the only allocations an operation may leave.
int64_t Owned(const VKCStringDict& d) {
    return (d.pool != nullptr) + (d.entryBlock != nullptr);
}

int64_t Index(const VKCStringDict& d, const StringEntry* e) {
    return e != nullptr ? e - d.entries : -1;
}

std::string Texts(const StringEntry& e) {
    return std::string(e.eng, e.engLen) + "|" + std::string(e.chi, e.chiLen) + "|" +
           std::string(e.remark, e.remarkLen);
}

// The dictionary still takes an edit and a lookup, and saves into a file that
// loads back into the same records.
void ExpectUsable(VKCStringDict& d, const Files& f) {
    StringEntry* added = d.AddStringA("zz usable", "U", "u");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(d.FindStringA(" zz usable"), added);
    std::remove(f.saved.c_str());
    EXPECT_GT(d.SaveToTXTFileA(f.saved.c_str()), 0);
    VKCStringDict back;
    ASSERT_EQ(back.LoadFromTXTFileA(f.saved.c_str()), d.count);
    for (uint32_t i = 0; i < d.count; ++i) EXPECT_EQ(Texts(back.entries[i]), Texts(d.entries[i]));
}

enum class Start {
    kFresh,
    kLoaded,    // kRecords, from the text file
    kMatching,  // loaded, and "Hello" handed out
    kNoBlocks,  // a refused reload left neither pool nor record array
};

enum class OnFailure {
    kReturnsUnchanged,   // the failure result; nothing changed
    kReturnsEmptied,     // the failure result; no pool, no records
    kReturnsMaybeGrown,  // the failure result; unchanged, or only the pool grown
    kThrowsUnchanged,    // std::bad_alloc; nothing changed
};

struct Case {
    const char* name;
    Start start;
    int64_t (*run)(VKCStringDict&, const Files&);
    int64_t success;
    int64_t failure;
    OnFailure onFailure;
    uint64_t allocations;                // each one is made to fail once
    std::string Files::*path = nullptr;  // what `path` names after a failed load
    uint64_t need = 0;                   // AddStringA's pool reserve
};

char g_out[64];

// One operation of the table: `expression`, on the dictionary `d` and the files `f`.
#define OP(expression)                                \
    [](VKCStringDict& d, const Files& f) -> int64_t { \
        (void)f;                                      \
        return expression;                            \
    }

const std::vector<Case>& Cases() {
    using O = OnFailure;
    using S = Start;
    static const std::vector<Case> cases = {
        {"FindStringA", S::kLoaded, OP(Index(d, d.FindStringA(" Start "))), 2, -1,
         O::kReturnsUnchanged, 1},
        {"FindStringIndexA", S::kLoaded, OP(d.FindStringIndexA("Banana")), 1, -1,
         O::kReturnsUnchanged, 1},
        // Text loads: one pool and one record array.
        {"LoadFromTXTFileA", S::kLoaded, OP(d.LoadFromTXTFileA(f.text.c_str())), 3, 0,
         O::kReturnsEmptied, 2, &Files::text},
        {"LoadFromTXTStringA", S::kLoaded, OP(d.LoadFromTXTStringA(f.dictionaryText.c_str())), 3, 0,
         O::kReturnsEmptied, 2},
        {"ReloadTXTFileA", S::kLoaded, OP(d.ReloadTXTFileA()), 3, 0, O::kReturnsEmptied, 2,
         &Files::text},
        // The table as read, the record array, the pool.
        {"LoadFromBINFileA", S::kLoaded, OP(d.LoadFromBINFileA(f.image.c_str())), 2, 0,
         O::kReturnsEmptied, 3, &Files::image},
        {"SaveToTXTFileA", S::kLoaded, OP(d.SaveToTXTFileA(f.output.c_str())), SavedSize(kRecords),
         0, O::kThrowsUnchanged, 1},
        // A pool growth, then an array growth.
        {"AddStringA", S::kLoaded, OP(Index(d, d.AddStringA("Banana", "BA", ""))), 1, -1,
         O::kReturnsMaybeGrown, 2, nullptr, 6 + 2 + 0 + 12},
        {"AddStringA on a new dictionary", S::kFresh,
         OP(Index(d, d.AddStringA("Start", "Go", nullptr))), 0, -1, O::kReturnsMaybeGrown, 2,
         nullptr, 5 + 2 + 5 + 12},
        // ST, Apple and ST again, all three copied aside first.
        {"AddStringA of texts from the pool", S::kLoaded,
         OP(Index(d, d.AddStringA(d.entries[2].chi, d.entries[0].eng, nullptr))), 2, -1,
         O::kReturnsMaybeGrown, 5, nullptr, 2 + 5 + 2 + 12},
        {"InsertBlankEntry", S::kLoaded, OP(d.InsertBlankEntry(1)), 4, 0, O::kThrowsUnchanged, 1},
        // A placeholder pool for the blank record to point at, then the array.
        {"InsertBlankEntry without blocks", S::kNoBlocks, OP(d.InsertBlankEntry(5)), 1, 0,
         O::kThrowsUnchanged, 2},
        {"SetENGTextA", S::kLoaded, OP(d.SetENGTextA(0, "Apples")), 1, 0, O::kThrowsUnchanged, 1},
        // "greeting" is as long as the CHI text: appended, after being copied aside.
        {"SetCHITextA of a text from the pool", S::kLoaded,
         OP(d.SetCHITextA(1, d.entries[1].remark)), 1, 0, O::kThrowsUnchanged, 2},
        {"SetRemarkTextA beyond the last record", S::kLoaded, OP(d.SetRemarkTextA(7, "longer")), 1,
         0, O::kThrowsUnchanged, 1},
        {"MatchNextA, first piece", S::kLoaded, OP(d.MatchNextA("Hello", g_out, sizeof g_out)), 1,
         0, O::kReturnsUnchanged, 1},
        // The match in progress survives the failure (see the retry below).
        {"MatchNextA, last piece", S::kMatching, OP(d.MatchNextA(" world", g_out, sizeof g_out)), 2,
         0, O::kReturnsUnchanged, 1},
    };
    return cases;
}

class AllocationFailure : public testing::Test {
protected:
    static void SetUpTestSuite() {
        files_ = new Files;
        testutil::WriteBytes(files_->text, files_->dictionaryText);
        testutil::WriteBytes(files_->image, samples::Image(kImageRecords));
    }
    static void TearDownTestSuite() {
        delete files_;
        files_ = nullptr;
    }

    static void Prepare(VKCStringDict& d, Start start) {
        if (start == Start::kNoBlocks) {
            ASSERT_EQ(d.ReloadTXTFileA(), 0u);  // the working directory is no file
            ASSERT_EQ(d.pool, nullptr);
        } else if (start != Start::kFresh) {
            ASSERT_EQ(d.LoadFromTXTFileA(files_->text.c_str()), 3u);
        }
        if (start == Start::kMatching) {
            ASSERT_EQ(d.MatchNextA("Hello", g_out, sizeof g_out), 1);
        }
    }

    static void ExpectFailure(const Case& c, VKCStringDict& d, const State& before, int64_t result,
                              bool threw) {
        EXPECT_EQ(threw, c.onFailure == OnFailure::kThrowsUnchanged);
        if (!threw) {
            EXPECT_EQ(result, c.failure);
        }
        const State after = Snapshot(d);
        switch (c.onFailure) {
            case OnFailure::kReturnsUnchanged:
            case OnFailure::kThrowsUnchanged:
                EXPECT_EQ(after, before);
                break;
            case OnFailure::kReturnsEmptied: {
                State empty = after;
                empty.pool = empty.entryBlock = false;
                empty.entriesAreTheBlock = true;  // both null
                empty.poolCapacity = empty.poolUsed = empty.entryCapacity = empty.count = 0;
                empty.records.clear();
                empty.matcher = "idle";
                empty.path = c.path != nullptr ? files_->*c.path : "";
                if (c.path == &Files::image) empty.dataSize = 0;  // no size of a refused image
                EXPECT_EQ(after, empty);
                break;
            }
            case OnFailure::kReturnsMaybeGrown: {
                // The pool growth may have completed before the array growth
                // failed: then only the pool has changed.
                State grown = before;
                grown.poolCapacity = static_cast<uint32_t>(before.poolCapacity + c.need + 0x100000);
                grown.poolUsed = before.poolCapacity;
                EXPECT_TRUE(after == before || after == grown)
                    << testing::PrintToString(after)
                    << "\nbefore: " << testing::PrintToString(before);
                break;
            }
        }
        EXPECT_FALSE(testutil::Exists(files_->output));  // a failed save writes nothing
        if (c.start == Start::kMatching) {
            // The caller passes the same piece again and gets the rest.
            EXPECT_EQ(d.MatchNextA("world", g_out, sizeof g_out), 2);
            EXPECT_EQ(g_out, kHello.substr(6));
        }
    }

    static Files* files_;
};

Files* AllocationFailure::files_ = nullptr;

TEST_F(AllocationFailure, EachOperationFailsCleanlyAtEveryAllocation) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        uint64_t failures = 0;
        for (uint64_t k = 1; k <= 20; ++k) {
            SCOPED_TRACE("allocation " + std::to_string(k));
            VKCStringDict d;
            Prepare(d, c.start);
            std::remove(files_->output.c_str());
            const State before = Snapshot(d);
            const int64_t owned = Owned(d);
            const int64_t outstanding = failalloc::Outstanding();
            int64_t result = 0;
            bool threw = false;

            failalloc::Arm(k);
            try {
                result = c.run(d, *files_);
            } catch (const std::bad_alloc&) {
                threw = true;
            }
            const bool failed = failalloc::Disarm();

            // Nothing but the dictionary's own blocks outlives the call.
            EXPECT_EQ(failalloc::Outstanding() - outstanding, Owned(d) - owned);
            if (!failed) {
                EXPECT_FALSE(threw);
                EXPECT_EQ(result, c.success);
                break;
            }
            ++failures;
            ExpectFailure(c, d, before, result, threw);
            ExpectUsable(d, *files_);
        }
        EXPECT_EQ(failures, c.allocations);
    }
}

TEST_F(AllocationFailure, ConstructionReleasesWhatItHadAllocated) {
    uint64_t failures = 0;
    for (uint64_t k = 1; k <= 10; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k));
        std::optional<VKCStringDict> d;
        const int64_t outstanding = failalloc::Outstanding();
        bool threw = false;
        failalloc::Arm(k);
        try {
            d.emplace();
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        if (!failalloc::Disarm()) {
            ASSERT_TRUE(d.has_value());
            EXPECT_EQ(failalloc::Outstanding() - outstanding, 2);  // the two placeholders
            ExpectUsable(*d, *files_);
            break;
        }
        ++failures;
        EXPECT_TRUE(threw);
        EXPECT_FALSE(d.has_value());
        EXPECT_EQ(failalloc::Outstanding(), outstanding);
    }
    EXPECT_EQ(failures, 2u);
}

// An indexed lookup reads the caller's text where it lies and allocates
// nothing, so it finds its record even when allocation fails; in a dictionary
// out of order the lookup keeps its scratch copy, and its failure finds nothing.
TEST_F(AllocationFailure, IndexedLookupsNeedNoAllocation) {
    std::vector<Record> records;
    for (int i = 0; i < 100; ++i) records.push_back({"key " + std::to_string(1000 + i), "c", ""});
    for (const bool sorted : {true, false}) {
        SCOPED_TRACE(sorted ? "sorted" : "unsorted");
        if (!sorted) std::swap(records[10], records[20]);
        VKCStringDict d;
        ASSERT_EQ(d.LoadFromTXTStringA(samples::DictionaryText(records).c_str()), 100u);
        ASSERT_EQ(d.FindStringA("key 1050"), &d.entries[50]);  // builds the index if it may
        failalloc::Arm(1);
        const StringEntry* found = d.FindStringA(" key 1050 ");
        EXPECT_EQ(failalloc::Disarm(), !sorted);
        EXPECT_EQ(found, sorted ? &d.entries[50] : nullptr);
    }
}

#ifndef _WIN32
// What the debugger output is sent while a DebugCapture lives, kept without
// allocating: an allocation there would count among the ones made to fail.
char g_said[4096];
void Keep(const char* text) {
    std::strncat(g_said, text, sizeof(g_said) - std::strlen(g_said) - 2);
    std::strcat(g_said, "\n");
}
struct DebugCapture {
    DebugCapture() {
        testutil::SetEnv("VKC_DEBUG", "1");
        platform::SetDebugWriter(&Keep);
    }
    ~DebugCapture() {
        platform::SetDebugWriter(nullptr);
        testutil::SetEnv("VKC_DEBUG", nullptr);
    }
    void Clear() { g_said[0] = '\0'; }
    std::string Said() const { return g_said; }
};

// The tool's load tells why nothing loaded when memory ran out: not that the
// dictionary has no records.
TEST_F(AllocationFailure, PosixOnly_TheToolSaysMemoryRanOutWhileLoading) {
    DebugCapture debug;
    const std::string name = files_->text;
    uint64_t noted = 0;
    for (uint64_t k = 1; k <= 20; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k));
        debug.Clear();
        failalloc::Arm(k);
        LoadToolDictionary(name.c_str());
        const bool failed = failalloc::Disarm();
        const std::string said = debug.Said();
        if (!failed) {
            EXPECT_EQ(said, "vkcsubst: " + name + ": 3 records loaded\n");
            break;
        }
        // A failed load, or the message's own allocation.
        if (g_dictionary.count == 0) {
            EXPECT_EQ(said, "vkcsubst: " + name +
                                ": dictionary not loaded: out of memory while "
                                "loading it\n");
            ++noted;
        } else {
            EXPECT_EQ(said, "vkcsubst: out of memory\n");
        }
    }
    EXPECT_EQ(noted, 2u);  // the pool and the record array
}
#endif

// Allocation 1 is the script's block and the output's preparation follows;
// each text shorter than 2048 bytes then costs one lookup, and a lookup that
// cannot allocate finds nothing.
TEST_F(AllocationFailure, TheRewriterLeavesATextWhoseLookupFailsUnchanged) {
    struct Piece {
        std::string before, text, after, translation;
    };
    const std::vector<Piece> pieces = {{"say \"", "Start", "\"", "ST"},
                                       {" then [", " Apple ", "]", "AP"},
                                       {" \"", "Unknown", "\"", "Unknown"},
                                       {"\n[", "", "]", ""},
                                       {" \"", "Hello world", "\"!", kHello}};
    // The script, or its rewrite with every text but number `kept` translated.
    auto compose = [&](bool rewritten, size_t kept) {
        std::string out;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const Piece& p = pieces[i];
            out += p.before + (rewritten && i != kept ? p.translation : p.text) + p.after;
        }
        return out;
    };
    const std::string input = files_->script;
    const std::string output = files_->output;
    testutil::WriteBytes(input, compose(false, 0));
    ASSERT_EQ(g_dictionary.LoadFromTXTFileA(files_->text.c_str()), 3u);
    const State dictionary = Snapshot(g_dictionary);

    // Each allocation of the call fails in turn. A failing lookup leaves
    // just its text unchanged; any other failing allocation either fails the
    // call with nothing written (the script's block, the output's names,
    // putting the output in place) or is one the call can do without. Where
    // each falls differs between systems; what it may do does not.
    const std::string whole = compose(true, pieces.size());
#ifndef _WIN32
    DebugCapture debug;
#endif
    size_t nothingWritten = 0;
    std::vector<int> keptAlone(pieces.size(), 0);
    for (uint64_t k = 1; k <= 400; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k));
        std::remove(output.c_str());
#ifndef _WIN32
        debug.Clear();
#endif
        const int64_t outstanding = failalloc::Outstanding();
        failalloc::Arm(k);
        const int result = RewriteScriptFile(output.c_str(), input.c_str());
        const bool failed = failalloc::Disarm();
        EXPECT_EQ(failalloc::Outstanding(), outstanding);
        EXPECT_EQ(Snapshot(g_dictionary), dictionary);
        // No temporary file is left behind, whatever allocation failed.
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::path(output).parent_path())) {
            EXPECT_EQ(entry.path().filename().string().find("vkcdict-"), std::string::npos)
                << entry.path();
        }
        if (!failed) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(testutil::ReadBytes(output), whole);
            break;
        }
        if (result == 0) {
            EXPECT_FALSE(testutil::Exists(output));
#ifndef _WIN32
            // Told, as every output not written is.
            EXPECT_EQ(debug.Said().rfind("vkcsubst: " + output + ": not written: ", 0), 0u)
                << debug.Said();
#endif
            ++nothingWritten;
            continue;
        }
        const std::string written = testutil::ReadBytes(output);
        if (written == whole) continue;  // a miss's lookup, or an allocation done without
        size_t kept = 0;
        while (kept < pieces.size() && written != compose(true, kept)) ++kept;
        ASSERT_LT(kept, pieces.size()) << written;
        ++keptAlone[kept];
    }
    EXPECT_GE(nothingWritten, 1u);
    // Every text whose translation shows was left alone exactly once.
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (compose(true, i) != whole) {
            EXPECT_EQ(keptAlone[i], 1) << "text " << i;
        }
    }
}

}  // namespace
