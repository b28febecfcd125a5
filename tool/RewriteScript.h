// The substitution tool's script rewriter and the one dictionary it reads.
#pragma once

#include <cstddef>

#include "dict/VKCStringDict.h"

// The tool's dictionary: constructed before main() runs, destroyed at exit.
extern VKCStringDict g_dictionary;

// Copies the script at `inputPath` to `outputPath` byte for byte, replacing
// every text between '[' and ']' or between two double quotes by the CHI text
// of its record in g_dictionary, when the record exists and its CHI text is
// not empty. Delimiters are always copied; a delimiter inside a text already
// being taken belongs to that text. A text of 2048 bytes or more, and
// everything after an opening delimiter that is never closed, are copied
// unchanged.
//
// The input is opened for update ("r+b"), so a file that cannot be written is
// refused. A script that is surely another file than the output is read in
// pieces of kScriptPieceSize bytes while the output is written; one that may
// be the output itself (the same path, or a link to it) is read whole first.
// Returns 1 when the output was written; 0 when the input cannot be opened or
// measured or its block cannot be allocated (no output file is created then)
// or the output cannot be created or written.
int RewriteScriptFile(const char* outputPath, const char* inputPath);

// The size of the pieces a script is read in; a text, a plain run or a
// delimiter may straddle two of them.
constexpr size_t kScriptPieceSize = size_t{1} << 20;
