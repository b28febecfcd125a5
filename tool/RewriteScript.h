// The substitution tool's script rewriter and the one dictionary it reads.
#pragma once

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
// refused. Returns 1 when the output was written; 0 when the input cannot be
// opened or read into memory (no output file is created then) or the output
// cannot be created or written.
int RewriteScriptFile(const char* outputPath, const char* inputPath);
