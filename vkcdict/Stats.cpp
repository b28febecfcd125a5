// vkcdict stats DICT SCRIPT... [--csv]
//
// Prints, per script and in total, what a substitution with DICT would do:
// texts found, translated, left as they are, and distinct untranslated texts
// (those extract would write), with percentages, or as CSV.
#include <memory>
#include <string>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/Tally.h"
#include "vkcdict/files/DictFile.h"
#include "vkcdict/files/Input.h"

namespace vkcdict {

namespace {

struct StatsOptions {
    std::string dict;
    std::vector<std::string> scripts;
    bool csv = false;
    bool partial = false;
};

int RunStats(const StatsOptions& options) {
    Diagnostics d;
    DictFile dict;
    if (!OpenDictionary(options.dict, PolicyFor(options.partial), d, &dict)) return kFailed;
    std::vector<Tally> tallies;
    for (const std::string& path : options.scripts) {
        WorkingOn working(path);
        InputPieces script;
        std::string error;
        if (!script.Open(path, &error)) {
            d.Error(path, 0, ReadFailure(error));
            return kFailed;
        }
        tallies.emplace_back();
        tallies.back().name = path;
        ScriptStream walk(dict.dict.get(), &script);
        ScriptText t;
        while (walk.Next(&t)) tallies.back().Count(t);
        if (!script.error().empty()) {
            d.Error(path, 0, ReadFailure(script.error()));
            return kFailed;
        }
    }
    PrintTallies(tallies, options.csv, stdout);
    return std::fflush(stdout) == 0 ? kDone : kFailed;
}

}  // namespace

void AddStatsCommand(Command& command) {
    auto options = std::make_shared<StatsOptions>();
    command.Purpose("Count what a substitution would translate in scripts");
    command.Argument("DICT", &options->dict, "dictionary text file").Required();
    command.Arguments("SCRIPT", &options->scripts, "game scripts").Required();
    command.Flag("--csv", &options->csv, "comma-separated values with a header line");
    AddPartialFlag(command, &options->partial);
    command.Action([options] { return RunStats(*options); });
}

}  // namespace vkcdict
