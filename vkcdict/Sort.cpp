// vkcdict sort DICT -o OUT
//
// Normalises one dictionary: records in the library's key order (unsigned
// bytes), renumbered, duplicates combined and reported as merge does. The
// header line is kept, so sorting the output again gives the same bytes.
#include <memory>
#include <string>

#include "vkcdict/Commands.h"
#include "vkcdict/RecordUnion.h"
#include "vkcdict/files/Output.h"

namespace vkcdict {

namespace {

struct SortOptions {
    std::string dict;
    std::string output;
    bool partial = false;
    bool allowNonGbk = false;
};

}  // namespace

void AddSortCommand(Command& command) {
    auto options = std::make_shared<SortOptions>();
    command.Purpose("Put a dictionary's records in key order");
    command.Argument("DICT", &options->dict, "dictionary text file").Required();
    command.Option("-o,--output", &options->output, "the sorted dictionary")
        .TypeName("FILE")
        .Required();
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    command.Action([options] {
        return WriteUnion({options->dict}, options->output, false, options->partial,
                          options->allowNonGbk, "sort");
    });
}

}  // namespace vkcdict
