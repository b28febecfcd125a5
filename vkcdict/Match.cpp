// vkcdict match DICT [--image]
//
// Reads pieces of source text from stdin, one per line (a CR before the line
// break is not part of the piece), hands each to the dictionary's piecewise
// matcher in turn and prints "RESULT<tab>PIECE" for each: 1 a piece of the
// translation (the match goes on), 2 the rest of it (the match is complete),
// 0 nothing (the match is abandoned). Any 0 makes the exit status 1.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/LoadedDict.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace vkcdict {

namespace {

struct MatchOptions {
    std::string dict;
    bool image = false;
    bool partial = false;
};

int RunMatch(const MatchOptions& options) {
    Diagnostics d;
    LoadedDict dict;
    if (!dict.Open(options.dict, options.image, PolicyFor(options.partial), d)) return kFailed;
    VKCStringDict& lookups = *dict.dict();
    // Room for any piece of any translation: the longest CHI text.
    size_t longest = 0;
    for (uint32_t i = 0; i < lookups.count; ++i) {
        longest = std::max<size_t>(longest, lookups.entries[i].chiLen);
    }
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    const bool terminal = IsTerminal(stdout);
    bool nothing = false;
    std::string piece;
    std::vector<char> out;
    while (std::getline(std::cin, piece)) {
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
        out.assign(piece.size() + longest + 1, '\0');
        const int32_t result =
            lookups.MatchNextA(piece.c_str(), out.data(), static_cast<uint32_t>(out.size()));
        nothing = nothing || result == 0;
        const std::string line = std::to_string(result) + "\t" +
                                 (result == 0 ? "" : ForStream(out.data(), terminal)) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    if (std::fflush(stdout) != 0) return kFailed;
    return nothing ? kFound : kDone;
}

}  // namespace

void AddMatchCommand(Command& command) {
    auto options = std::make_shared<MatchOptions>();
    command.Purpose("Hand out a translation piece by piece as its source text arrives on stdin");
    command.Argument("DICT", &options->dict, "dictionary text file (or image)").Required();
    command.Footer(
        "Each piece read prints RESULT<tab>PIECE:\n"
        "  1  a piece of the translation, cut between whole characters and about as long\n"
        "     in bytes as the piece of source text; the match goes on\n"
        "  2  the rest of the translation: the pieces so far make up a record's whole\n"
        "     ENG text, and the match is complete\n"
        "  0  nothing: no ENG text begins with the piece, the piece does not continue the\n"
        "     text matched so far, or it is a whole ENG text by itself (lookup finds\n"
        "     those); the match is abandoned and the next piece starts a new one\n"
        "Exit status: 0 when no piece got 0, 1 when one did, 2 when DICT cannot be used.");
    command.Flag("--image", &options->image,
                 "DICT is a binary image (never detected by its content)");
    AddPartialFlag(command, &options->partial);
    command.Action([options] { return RunMatch(*options); });
}

}  // namespace vkcdict
