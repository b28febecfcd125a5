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
// refused, as is anything but a regular file (a FIFO, a device). It is read
// in pieces of kScriptPieceSize bytes while the output is written. The output
// is written safely (fileio/AtomicFile.h): to a temporary file beside it that
// replaces it only when complete, so it may be the script itself, and a full
// disk or a kill leaves it as it was; where no temporary file can be made it
// is not written at all. It keeps the mode, owner and links of the file it
// replaces; a read-only output is refused, and a device, FIFO or descriptor
// of the process (/dev/stdout) is written directly, unless it reaches the
// script itself.
// Returns 1 when the output was written; 0 when the input cannot be opened,
// measured or read to its end, memory runs out, or the output is refused or
// cannot be written (nothing is created or changed then; the debugger output
// says why).
int RewriteScriptFile(const char* outputPath, const char* inputPath);

// The size of the pieces a script is read in; a text, a plain run or a
// delimiter may straddle two of them.
constexpr size_t kScriptPieceSize = size_t{1} << 20;
