// The dictionary as dictionary text, for the two saves of the C interface:
// the bytes VKCStringDict::SaveToTXTFileA appends to a file (header line,
// records numbered by position, terminator), written to a stream, and their
// size. A text is written by its stored length, never up to a NUL; a null
// text is written as the empty text.
#pragma once

#include <cstdint>
#include <cstdio>

#include "dict/VKCStringDict.h"

namespace capi {

// The size of the dictionary text with a header of `headerLength` bytes.
// Summed in 64 bits: no dictionary that fits in memory makes it wrap.
uint64_t DictTextSize(const VKCStringDict& dict, uint64_t headerLength);

// Writes the header for the current time, the records and the terminator to
// `out`. A failed write shows in ferror(out); nothing is allocated.
void WriteDictText(const VKCStringDict& dict, FILE* out);

}  // namespace capi
