// vkcdict extract SCRIPT... [--dict DICT] -o NEW
//
// Writes a dictionary of every distinct text of the scripts that has no
// translation yet in DICT (not found, or found with an empty CHI text):
// texts found and trimmed exactly as the substitution finds them, ENG the
// trimmed text, CHI empty, the remark "SCRIPT:LINE (N occurrences)" of the
// first occurrence; records sorted and numbered, ready to translate.
#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/DictFile.h"
#include "vkcdict/files/DictWriter.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/files/ScriptTexts.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

struct ExtractOptions {
    std::vector<std::string> scripts;
    std::string dict;
    std::string output;
    bool partial = false;
};

struct Occurrences {
    // Where the first one is: the script, by its index among the scripts, and
    // the line.
    size_t script = 0;
    uint64_t line = 0;
    uint64_t count = 0;
};

// Reports the texts of one script that cannot become records, and counts
// the others into `found`.
bool ExtractFrom(const std::string& path, size_t index, VKCStringDict* dict, Diagnostics& d,
                 std::unordered_map<std::string, Occurrences>* found, uint64_t* occurrences) {
    WorkingOn working(path);
    InputPieces script;
    std::string error;
    if (!script.Open(path, &error)) {
        d.Error(path, 0, ReadFailure(error));
        return false;
    }
    const bool terminal = StderrIsTerminal();
    ScriptStream walk(dict, &script);
    ScriptText t;
    std::string key;  // reused, so that a text seen before allocates nothing
    while (walk.Next(&t)) {
        if (!t.lookedUp) {
            d.Warning(
                path, walk.LineOf(t.text.opening),
                Tr("text of {1} bytes: texts of {2} bytes or more are never looked up",
                   {std::to_string(t.text.length), std::to_string(scriptscan::kLookupLimit)}));
            continue;
        }
        if (t.translated() || t.key.empty()) continue;
        if (!t.extractable()) {
            d.Warning(path, walk.LineOf(t.text.opening),
                      Tr("{1} holds a marker of the dictionary file, which cannot store it",
                         {Quote(t.key.data(), t.key.size(), terminal)}));
            continue;
        }
        ++*occurrences;
        key.assign(t.key);
        auto seen = found->find(key);
        if (seen == found->end()) {
            seen = found->emplace(key, Occurrences{index, walk.LineOf(t.text.opening), 0}).first;
        }
        ++seen->second.count;
    }
    if (!script.error().empty()) {
        d.Error(path, 0, ReadFailure(script.error()));
        return false;
    }
    if (const unsigned char* opening = walk.Unclosed()) {
        d.Warning(path, walk.LineOf(opening),
                  Tr("'{1}' is never closed: the rest of the script holds no text",
                     {std::string(1, static_cast<char>(*opening))}));
    }
    return true;
}

int RunExtract(const ExtractOptions& options) {
    Diagnostics d;
    std::vector<std::string> inputs = options.scripts;
    if (!options.dict.empty()) inputs.push_back(options.dict);
    if (!OutputIsNoInput(options.output, inputs, d)) return kFailed;

    DictFile dict;
    if (!options.dict.empty() &&
        !OpenDictionary(options.dict, PolicyFor(options.partial), d, &dict))
        return kFailed;
    VKCStringDict* lookups = options.dict.empty() ? nullptr : dict.dict.get();

    std::unordered_map<std::string, Occurrences> found;
    uint64_t occurrences = 0;
    for (size_t i = 0; i < options.scripts.size(); ++i) {
        if (!ExtractFrom(options.scripts[i], i, lookups, d, &found, &occurrences)) return kFailed;
    }

    std::vector<const std::pair<const std::string, Occurrences>*> sorted;
    sorted.reserve(found.size());
    for (const auto& entry : found) sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });

    std::string remark;
    const auto record = [&](size_t i) {
        const Occurrences& o = sorted[i]->second;
        // Data of the file, not a message: English whatever the language.
        remark = options.scripts[o.script] + ":" + std::to_string(o.line) + " (" +
                 std::to_string(o.count) + (o.count == 1 ? " occurrence)" : " occurrences)");
        return RecordText{sorted[i]->first, std::string_view(), remark};
    };
    if (!WriteDictionary(options.output, "", sorted.size(), record, d)) return kFailed;
    d.Summary(
        Tr("vkcdict extract: {1} to translate ({2}) written to {3}",
           {CountOf(sorted.size(), "text"), CountOf(occurrences, "occurrence"), options.output}));
    return kDone;
}

}  // namespace

void AddExtractCommand(Command& command) {
    auto options = std::make_shared<ExtractOptions>();
    command.Purpose("Write a dictionary of the scripts' texts that have no translation yet");
    command.Arguments("SCRIPT", &options->scripts, "game scripts").Required();
    command.Option("--dict", &options->dict, "dictionary whose translations are kept out")
        .TypeName("DICT");
    command.Option("-o,--output", &options->output, "new dictionary file")
        .TypeName("FILE")
        .Required();
    AddPartialFlag(command, &options->partial);
    AddForceFlag(command);
    command.Action([options] { return RunExtract(*options); });
}

}  // namespace vkcdict
