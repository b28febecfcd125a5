// How vkcdict speaks about its own command line: the help pages and the
// messages for usage errors, both through CLI11's hooks (a Formatter and the
// failure message), so that CLI11 keeps doing all of the parsing.
//   - An unknown command is named and the commands are listed.
//   - Every other usage error names its command and shows its usage line.
//   - A positional argument is shown by its name alone (DICT, SCRIPT, FILE),
//     an option by the placeholder its declaration gives (FILE, DIR, ...).
#pragma once

#include <CLI/CLI.hpp>

namespace vkcdict {

// Installs the formatter and the failure message on the program's `app` and
// the commands added to it so far.
void SetUsageFormat(CLI::App& app);

// The message for a usage error `error` raised while parsing `app`'s command
// line, several lines each ending in a line break.
std::string UsageFailure(const CLI::App* app, const CLI::Error& error);

}  // namespace vkcdict
