// Date arguments: a bounded private copy of a date payload, normalised, with the "DateError"
// reaction of the date functions; and the writing of date values.
#pragma once

#include <cstdint>

#include "functions/date_normaliser.h"
#include "functions/day_number.h"
#include "interface/types.h"

namespace fcl {

struct DateArgument {
    char text[kDateBufferSize];  // yyyymmdd when accepted; otherwise as the normaliser left it
    bool rejected;               // the normaliser refused the text
    bool blanked;                // "DateError" 1 replaced the refused text by the blank date
};

// Copies and normalises a date payload. A payload longer than any accepted form is cut to
// kDateBufferSize - 1 characters: still a length the normaliser refuses untouched, and the
// positions 0 to 7 that the functions read keep the payload's own characters.
void normalise_date_argument(const std::uint8_t* value, DateArgument& date);

// normalise_date_argument followed by the "DateError" reaction to a refused text: 1 blanks it,
// 2 returns 1003, any other value keeps it as the normaliser left it.
Status prepare_date_argument(const std::uint8_t* value, DateArgument& date);

// Year (positions 0-3), month (4-5) and day (6-7) of a date text, each read as a decimal
// integer; absent parts are 0.
CalendarDate date_fields(const char* text);

// Writes a date value with the text "%04d%02d%02d".
void write_date_value(std::uint8_t* result, const CalendarDate& date);

}  // namespace fcl
