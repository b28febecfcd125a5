// vkcdict sort DICT -o OUT
//
// Normalises one dictionary: records in the library's key order (unsigned
// bytes), renumbered, duplicates combined and reported as merge does. The
// header line is kept, so sorting the output again gives the same bytes.
#include <memory>
#include <string>

#include "vkcdict/Commands.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/RecordUnion.h"

namespace vkcdict {

namespace {

struct SortOptions {
    std::string dict;
    std::string output;
    bool partial = false;
    bool allowNonGbk = false;
};

}  // namespace

}  // namespace vkcdict

void AddSortCommand(CLI::App& app) {
    using namespace vkcdict;
    auto options = std::make_shared<SortOptions>();
    CLI::App* command = app.add_subcommand("sort", "Put a dictionary's records in key order");
    command->add_option("DICT", options->dict, "dictionary text file")->required();
    command->add_option("-o,--output", options->output, "the sorted dictionary")
        ->type_name("FILE")
        ->required();
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    SetAction(command, [options] {
        return WriteUnion({options->dict}, options->output, false, options->partial,
                          options->allowNonGbk, "sort");
    });
}
