#include "vkcdict/Commands.h"

namespace vkcdict {

const CommandEntry kCommands[] = {
    {"check", AddCheckCommand},
    {"extract", AddExtractCommand},
    {"merge", AddMergeCommand},
    {"sort", AddSortCommand},
    {"stats", AddStatsCommand},
    {"subst", AddSubstCommand},
    {"compile", AddCompileCommand},
    {"decompile", AddDecompileCommand},
    {"lookup", AddLookupCommand},
    {"match", AddMatchCommand},
    {"po-export", AddPoExportCommand},
    {"po-import", AddPoImportCommand},
    {"qa", AddQaCommand},
    {"edit", AddEditCommand},
};
const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

void AddPartialFlag(Command& command, bool* partial) {
    command.Flag("--partial", partial,
                 "work on with the records that load from a dictionary that does not load "
                 "completely");
}

void AddNonGbkFlag(Command& command, bool* allowNonGbk) {
    command.Flag("--allow-non-gbk", allowNonGbk,
                 "use a dictionary that looks like UTF-8 or UTF-16 as it is, writing its texts "
                 "unconverted");
}

}  // namespace vkcdict
