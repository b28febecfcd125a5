// The commands of vkcdict. Each command lives in a file of its own, which
// defines one function that fills in its Command (vkcdict/cli/CommandLine.h);
// the table in Commands.cpp names every command and its function, in the
// order the help lists them.
//
// A command's action runs after its arguments have been parsed and returns
// the exit status: kDone (0) when it finished and found nothing, kFound (1)
// for a finding, a conflict or a text not found, kFailed (2) for bad usage,
// an unreadable input or a failed write.
#pragma once

#include <cstddef>

#include "vkcdict/cli/CommandLine.h"

namespace vkcdict {

constexpr int kDone = 0;
constexpr int kFound = 1;
constexpr int kFailed = 2;

struct CommandEntry {
    const char* name;
    void (*add)(Command& command);
};

// Every command of the program, in the order of the help.
extern const CommandEntry kCommands[];
extern const size_t kCommandCount;

// Adds --partial, which lets the command work on with the records that load
// from a dictionary that does not load completely (vkcdict/files/DictFile.h).
void AddPartialFlag(Command& command, bool* partial);

// Adds --allow-non-gbk to a command that writes a dictionary's texts: it then
// uses a dictionary that looks like UTF-8 or UTF-16 as it is, with a warning,
// where it would refuse it (WritingPolicy in vkcdict/files/DictFile.h).
void AddNonGbkFlag(Command& command, bool* allowNonGbk);

void AddCheckCommand(Command& command);
void AddExtractCommand(Command& command);
void AddMergeCommand(Command& command);
void AddSortCommand(Command& command);
void AddStatsCommand(Command& command);
void AddSubstCommand(Command& command);
void AddCompileCommand(Command& command);
void AddDecompileCommand(Command& command);
void AddLookupCommand(Command& command);
void AddMatchCommand(Command& command);
void AddPoExportCommand(Command& command);
void AddPoImportCommand(Command& command);
void AddQaCommand(Command& command);
void AddEditCommand(Command& command);

}  // namespace vkcdict
