#include "dict/SaveHeader.h"

#include <cstdio>

#include "dict/TextFormat.h"

namespace saveheader {

namespace {

bool IsLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    switch (month) {
        case 2:
            return IsLeapYear(year) ? 29 : 28;
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        default:
            return 31;
    }
}

}  // namespace

SYSTEMTIME AddEightHours(const SYSTEMTIME& utc) {
    SYSTEMTIME local = utc;
    unsigned hour = utc.wHour + 8u;
    if (hour < 24) {
        local.wHour = static_cast<WORD>(hour);
        return local;
    }
    local.wHour = static_cast<WORD>(hour - 24);
    local.wDayOfWeek = static_cast<WORD>((utc.wDayOfWeek + 1u) % 7);
    unsigned day = utc.wDay + 1u;
    unsigned month = utc.wMonth;
    unsigned year = utc.wYear;
    if (day > DaysInMonth(year, month)) {
        day = 1;
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    local.wDay = static_cast<WORD>(day);
    local.wMonth = static_cast<WORD>(month);
    local.wYear = static_cast<WORD>(year);
    return local;
}

size_t ComposeHeader(const SYSTEMTIME& utc, char (&buffer)[kBufferSize]) {
    const SYSTEMTIME t = AddEightHours(utc);
    // Six numbers of at most five digits each and the fixed text: far below
    // the buffer's size, so the line is never cut.
    int length =
        std::snprintf(buffer, kBufferSize, textformat::kHeaderFormat, textformat::kFormatLabel,
                      t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(length);
}

}  // namespace saveheader
