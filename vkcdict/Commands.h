// The commands of vkcdict. Each command lives in a file of its own and adds
// itself to the program's command line through one registration function;
// main() calls them all.
//
// A command's action runs after its arguments have been parsed and returns
// the exit status: kDone (0) when it finished and found nothing, kFound (1)
// for a finding, a conflict or a text not found, kFailed (2) for bad usage,
// an unreadable input or a failed write.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace vkcdict {

constexpr int kDone = 0;
constexpr int kFound = 1;
constexpr int kFailed = 2;

// Makes `action` the command's action. A status other than kDone leaves the
// parse as a CLI::RuntimeError carrying it, which main() turns into the
// program's exit status.
void SetAction(CLI::App* command, std::function<int()> action);

// Adds --partial, which lets the command work on with the records that load
// from a dictionary that does not load completely (vkcdict/files/DictFile.h).
void AddPartialFlag(CLI::App* command, bool* partial);

// Adds --allow-non-gbk to a command that writes a dictionary's texts: it then
// uses a dictionary that looks like UTF-8 or UTF-16 as it is, with a warning,
// where it would refuse it (WritingPolicy in vkcdict/files/DictFile.h).
void AddNonGbkFlag(CLI::App* command, bool* allowNonGbk);

}  // namespace vkcdict

void AddCheckCommand(CLI::App& app);
void AddExtractCommand(CLI::App& app);
void AddMergeCommand(CLI::App& app);
void AddSortCommand(CLI::App& app);
void AddStatsCommand(CLI::App& app);
void AddSubstCommand(CLI::App& app);
void AddCompileCommand(CLI::App& app);
void AddDecompileCommand(CLI::App& app);
void AddLookupCommand(CLI::App& app);
void AddMatchCommand(CLI::App& app);
void AddPoExportCommand(CLI::App& app);
void AddPoImportCommand(CLI::App& app);
void AddQaCommand(CLI::App& app);
void AddEditCommand(CLI::App& app);
