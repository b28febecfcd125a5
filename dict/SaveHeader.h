// The header line of a written dictionary text file. Translators read its
// time on the clock of UTC+8, so the writer moves the UTC time it takes from
// the system eight hours on before composing the line. Both steps are plain
// functions of a SYSTEMTIME, so that any moment can be composed.
#pragma once

#include <cstddef>

#include "platform/Win32.h"

namespace saveheader {

// Size of the buffer a header is composed in; every header fits in it.
constexpr size_t kBufferSize = 1024;

// `utc` moved eight hours on, carrying into day, month and year (Gregorian
// leap years: 2028 has 29 February, 2100 has not); the day of the week moves
// with the day. Minutes, seconds and milliseconds are unchanged.
// REQUIRES: `utc` is a valid time, as GetSystemTime gives; other values give
// some time, never a fault.
SYSTEMTIME AddEightHours(const SYSTEMTIME& utc);

// Composes into `buffer`, NUL-terminated, the header for a file written at
// the moment `utc`: label, the UTC+8 date and time to the second, then two
// empty lines. Returns the header's length, NUL not counted (75 bytes for a
// year of four digits).
size_t ComposeHeader(const SYSTEMTIME& utc, char (&buffer)[kBufferSize]);

}  // namespace saveheader
