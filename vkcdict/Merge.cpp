// vkcdict merge DICT... -o OUT [--prefer=first|last]
//
// Writes the union of all records, in sorted order (vkcdict/RecordUnion.h
// says how records of the same key combine). Conflicts make the exit status
// 1; the output is written all the same.
#include <memory>
#include <string>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/RecordUnion.h"
#include "vkcdict/files/Output.h"

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

void AddMergeCommand(Command& command) {
    auto options = std::make_shared<MergeOptions>();
    command.Purpose("Combine dictionaries into one, in sorted order");
    command.Arguments("DICT", &options->dicts, "dictionary text files, in order").Required();
    command.Option("-o,--output", &options->output, "the merged dictionary")
        .TypeName("FILE")
        .Required();
    command
        .Option("--prefer", &options->prefer,
                "which of two different translations to keep (default: first)")
        .OneOf({"first", "last"})
        .ShownAs("first|last");
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    command.Action([options] {
        return WriteUnion(options->dicts, options->output, options->prefer == "last",
                          options->partial, options->allowNonGbk, "merge");
    });
}

}  // namespace vkcdict
