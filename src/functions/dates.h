// What the date functions share with the era functions and the tests: the day number of the
// proleptic Gregorian calendar and the date argument, a normalised private copy of a date payload.
#pragma once

#include <cstdint>

#include "functions/date_normaliser.h"

namespace fcl {

// --- Day numbers: days counted from 0001-01-01 (day 1), and the exact inverse ---

struct CalendarDate {
    std::int32_t year;
    std::int32_t month;
    std::int32_t day;
};

// True for year 1..9999, month 1..12 and day 1..month length. Years beyond 9999 cannot be
// written in a date text's four year digits and count as invalid.
bool is_calendar_valid(const CalendarDate& date);

// The date's day number, 0 when it is not calendar-valid.
std::int32_t day_number(const CalendarDate& date);

// The date whose day number is s (s >= 1). Sums beyond the last day of 9999 keep counting
// into years of more than four digits.
CalendarDate date_of_day_number(std::int64_t s);

// --- Date arguments ---

struct DateArgument {
    char text[kDateBufferSize];  // yyyymmdd when accepted; otherwise as the normaliser left it
    bool rejected;               // the normaliser refused the text
    bool blanked;                // "DateError" 1 replaced the refused text by the blank date
};

// Copies and normalises a date payload. A payload longer than any accepted form is cut to
// kDateBufferSize - 1 characters: still a length the normaliser refuses untouched, and the
// positions 0 to 7 that the functions read keep the payload's own characters.
void normalise_date_argument(const std::uint8_t* value, DateArgument& date);

}  // namespace fcl
