// vkcdict lookup DICT TEXT... [--image]
//
// Prints the translation of each TEXT, one line each, as the substitution
// would find it. A text not found, or found with an empty translation, gives
// an empty line, a diagnostic, and exit status 1.
#include <memory>
#include <string>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/LoadedDict.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

struct LookupOptions {
    std::string dict;
    std::vector<std::string> texts;
    bool image = false;
    bool partial = false;
};

int RunLookup(const LookupOptions& options) {
    Diagnostics d;
    LoadedDict dict;
    if (!dict.Open(options.dict, options.image, PolicyFor(options.partial), d)) return kFailed;
    const bool terminal = IsTerminal(stdout);
    bool missing = false;
    for (const std::string& text : options.texts) {
        const StringEntry* entry = dict.dict()->FindStringA(text.c_str());
        std::string line;
        if (entry == nullptr) {
            d.Error(options.dict, 0, Tr("{1} not found", {Quote(text, StderrIsTerminal())}));
            missing = true;
        } else {
            if (entry->chiLen == 0) {
                d.Error(dict.path(), dict.LineOf(entry),
                        Tr("{1} has an empty translation", {Quote(text, StderrIsTerminal())}));
                missing = true;
            }
            line = ForStream(std::string(entry->chi, entry->chiLen), terminal);
        }
        line += "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    if (std::fflush(stdout) != 0) return kFailed;
    return missing ? kFound : kDone;
}

}  // namespace

void AddLookupCommand(Command& command) {
    auto options = std::make_shared<LookupOptions>();
    command.Purpose("Print the translation of texts");
    command.Argument("DICT", &options->dict, "dictionary text file (or image)").Required();
    command.Arguments("TEXT", &options->texts, "texts to look up").Required();
    command.Flag("--image", &options->image,
                 "DICT is a binary image (never detected by its content)");
    AddPartialFlag(command, &options->partial);
    command.Action([options] { return RunLookup(*options); });
}

}  // namespace vkcdict
