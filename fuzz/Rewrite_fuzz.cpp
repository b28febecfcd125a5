// Fuzz target: the script rewriter of the substitution tool.
//
// The input is a dictionary text file and a script, split at the first
// kSeparator (no separator: no dictionary, the whole input is the script).
// The tool's run is repeated: the global dictionary, emptied, is loaded from
// the dictionary file, and RewriteScriptFile rewrites the script file. The
// output must be exactly what a byte-by-byte reading of the rule gives,
// written here without the rewriter's bulk copies and searches.
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "tool/RewriteScript.h"

namespace {

const std::string kSeparator("@@script@@");
// A text this long or longer is copied unchanged, without a lookup.
constexpr size_t kLongestText = 2047;

// The record the rewriter must find for a text between delimiters: the
// lookup sees the text up to its first NUL, trimmed. In a dictionary in
// ascending order a linear scan says which record that is; in any other
// order the binary search decides, and only its own answer will do.
const StringEntry* RecordFor(const std::string& text, bool ascending) {
    const std::string key = text.substr(0, text.find('\0'));
    if (!ascending) return g_dictionary.FindStringA(key.c_str());
    const std::string trimmed = fuzz::Trim(key);
    for (uint32_t i = 0; i < g_dictionary.count; ++i) {
        if (fuzz::TextAt(g_dictionary.entries[i].eng) == trimmed) return &g_dictionary.entries[i];
    }
    return nullptr;
}

// The rule, one byte at a time: every byte is copied; after an opening '['
// or '"' the text up to the next closing byte is replaced by its record's
// CHI text (when the record exists and that text is not empty) and the
// closing byte follows; with no closing byte the rest is copied as it is.
std::string Rewrite(const std::string& script) {
    const bool ascending = fuzz::StrictlyAscending(g_dictionary);
    std::string out;
    for (size_t i = 0; i < script.size(); ++i) {
        const char byte = script[i];
        out += byte;
        if (byte != '[' && byte != '"') continue;
        const char closing = byte == '[' ? ']' : '"';
        size_t end = i + 1;
        while (end < script.size() && script[end] != closing) ++end;
        const std::string text = script.substr(i + 1, end - (i + 1));
        if (end == script.size()) {
            out += text;
            break;
        }
        const StringEntry* record =
            text.size() <= kLongestText ? RecordFor(text, ascending) : nullptr;
        if (record != nullptr && record->chiLen != 0) {
            out.append(record->chi, record->chiLen);
        } else {
            out += text;
        }
        out += closing;
        i = end;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find(kSeparator);
    const std::string dictionary = split == std::string::npos ? "" : input.substr(0, split);
    const std::string script =
        split == std::string::npos ? input : input.substr(split + kSeparator.size());

    const std::string dictionaryFile = fuzz::ScratchFile("dict.txt");
    const std::string scriptFile = fuzz::ScratchFile("script.txt");
    const std::string outputFile = fuzz::ScratchFile("script.out.txt");
    fuzz::WriteFileBytes(dictionaryFile, dictionary);
    fuzz::WriteFileBytes(scriptFile, script);

    // A fresh global dictionary for every run, as in a new process.
    g_dictionary.~VKCStringDict();
    new (&g_dictionary) VKCStringDict();
    g_dictionary.LoadFromTXTFileA(dictionaryFile.c_str());
    fuzz::CheckLayout(g_dictionary);

    FUZZ_CHECK(RewriteScriptFile(outputFile.c_str(), scriptFile.c_str()) == 1);
    FUZZ_CHECK(fuzz::ReadFileBytes(outputFile) == Rewrite(script));
    FUZZ_CHECK(fuzz::ReadFileBytes(scriptFile) == script);  // opened for update, never changed

    fuzz::RemoveFile(dictionaryFile);
    fuzz::RemoveFile(scriptFile);
    fuzz::RemoveFile(outputFile);
    return 0;
}
