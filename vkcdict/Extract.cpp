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
#include "vkcdict/DictFile.h"
#include "vkcdict/DictWriter.h"
#include "vkcdict/Display.h"
#include "vkcdict/Input.h"
#include "vkcdict/Output.h"
#include "vkcdict/ScriptTexts.h"

namespace vkcdict {

namespace {

struct ExtractOptions {
    std::vector<std::string> scripts;
    std::string dict;
    std::string output;
    bool partial = false;
};

struct Occurrences {
    std::string first;  // "SCRIPT:LINE"
    uint64_t count = 0;
};

// Reports the texts of one script that cannot become records, and counts
// the others into `found`.
bool ExtractFrom(const std::string& path, VKCStringDict* dict, Diagnostics& d,
                 std::unordered_map<std::string, Occurrences>* found, uint64_t* occurrences) {
    WorkingOn working(path);
    std::string script;
    std::string error;
    if (!ReadInput(path, &script, &error)) {
        d.Error(path, 0, ReadFailure(error));
        return false;
    }
    const bool terminal = StderrIsTerminal();
    ScriptWalk walk(dict, script);
    ScriptText t;
    while (walk.Next(&t)) {
        if (!t.lookedUp) {
            d.Warning(path, walk.LineOf(t.text.opening),
                      "text of " + std::to_string(t.text.length) + " bytes: texts of " +
                          std::to_string(scriptscan::kLookupLimit) +
                          " bytes or more are never looked up");
            continue;
        }
        if (t.translated() || t.key.empty()) continue;
        if (!t.extractable()) {
            d.Warning(path, walk.LineOf(t.text.opening),
                      Quote(t.key.data(), t.key.size(), terminal) +
                          " holds a marker of the dictionary file, which cannot store it");
            continue;
        }
        ++*occurrences;
        Occurrences& o = (*found)[std::string(t.key)];
        if (o.count++ == 0) o.first = path + ":" + std::to_string(walk.LineOf(t.text.opening));
    }
    if (const unsigned char* opening = walk.Unclosed()) {
        d.Warning(path, walk.LineOf(opening),
                  std::string("'") + static_cast<char>(*opening) +
                      "' is never closed: the rest of the script holds no text");
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
    for (const std::string& script : options.scripts) {
        if (!ExtractFrom(script, lookups, d, &found, &occurrences)) return kFailed;
    }

    std::vector<const std::pair<const std::string, Occurrences>*> sorted;
    sorted.reserve(found.size());
    for (const auto& entry : found) sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });
    std::vector<std::string> remarks;
    remarks.reserve(sorted.size());
    std::vector<RecordText> records;
    records.reserve(sorted.size());
    for (const auto* entry : sorted) {
        const uint64_t n = entry->second.count;
        remarks.push_back(entry->second.first + " (" + Count(n, "occurrence") + ")");
        records.push_back({entry->first, std::string_view(), remarks.back()});
    }

    SafeOutput out;
    if (!out.Open(options.output, d)) return kFailed;
    WriteDictionary(out, "", records);
    if (!out.Commit(d)) return kFailed;
    d.Summary("vkcdict extract: " + Count(records.size(), "text") + " to translate (" +
              Count(occurrences, "occurrence") + ") written to " + options.output);
    return kDone;
}

}  // namespace

}  // namespace vkcdict

void AddExtractCommand(CLI::App& app) {
    using namespace vkcdict;
    auto options = std::make_shared<ExtractOptions>();
    CLI::App* command = app.add_subcommand(
        "extract", "Write a dictionary of the scripts' texts that have no translation yet");
    command->add_option("SCRIPT", options->scripts, "game scripts")->required();
    command->add_option("--dict", options->dict, "dictionary whose translations are kept out")
        ->type_name("DICT");
    command->add_option("-o,--output", options->output, "new dictionary file")
        ->type_name("FILE")
        ->required();
    AddPartialFlag(command, &options->partial);
    AddForceFlag(command);
    SetAction(command, [options] { return RunExtract(*options); });
}
