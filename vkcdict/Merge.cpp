// vkcdict merge DICT... -o OUT [--prefer=first|last]
//
// Writes the union of all records, in sorted order (vkcdict/RecordUnion.h
// says how records of the same key combine). Conflicts make the exit status
// 1; the output is written all the same.
#include <memory>
#include <string>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/RecordUnion.h"

namespace vkcdict {

namespace {

struct MergeOptions {
    std::vector<std::string> dicts;
    std::string output;
    std::string prefer = "first";
    bool partial = false;
    bool allowNonGbk = false;
};

}  // namespace

}  // namespace vkcdict

void AddMergeCommand(CLI::App& app) {
    using namespace vkcdict;
    auto options = std::make_shared<MergeOptions>();
    CLI::App* command =
        app.add_subcommand("merge", "Combine dictionaries into one, in sorted order");
    command->add_option("DICT", options->dicts, "dictionary text files, in order")->required();
    command->add_option("-o,--output", options->output, "the merged dictionary")
        ->type_name("FILE")
        ->required();
    command
        ->add_option("--prefer", options->prefer,
                     "which of two different translations to keep (default: first)")
        ->check(CLI::IsMember({"first", "last"}))
        ->option_text("first|last");
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    SetAction(command, [options] {
        return WriteUnion(options->dicts, options->output, options->prefer == "last",
                          options->partial, options->allowNonGbk, "merge");
    });
}
