// The check command's work, callable in-process (the fuzz target runs it on
// arbitrary files): every finding about each dictionary file reported to the
// caller's Diagnostics, the summary last.
#pragma once

#include <string>
#include <vector>

#include "vkcdict/cli/Diagnostics.h"

namespace vkcdict {

struct CheckOptions {
    std::vector<std::string> files;
    bool listUntranslated = false;
    bool strict = false;  // must match the Diagnostics' own
};

// Returns the exit status: kFailed when a file cannot be read, kFound when
// `diagnostics` counted a finding, else kDone.
int CheckFiles(const CheckOptions& options, Diagnostics& diagnostics);

}  // namespace vkcdict
