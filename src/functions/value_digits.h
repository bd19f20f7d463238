// The digits of date and time values as STR and VAL read them.
#pragma once

#include <cstdint>

#include "functions/date_normaliser.h"
#include "functions/time_normaliser.h"

namespace fcl {

// The eight digits yyyymmdd of a date value, checked by the date normaliser on a copy whatever
// the "DateError" setting says; false when the normaliser rejects the text. A date value holds
// exactly these digits; for the other forms the normaliser accepts (yy/mm/dd, yymmdd,
// yyyy-mm-dd) they are the normalised digits, so a date always reads as its calendar date.
bool date_digits(const std::uint8_t* value, char (&digits)[kDateBufferSize]);

// The six digits hhmmss of a time value: digits are kept, a ":" anywhere and any character at
// index 2 or 5 are skipped, anything else rejects the text; exactly six digits must remain,
// making hours below 24 and minutes and seconds below 60. As with dates, the kept digits (not
// the value's raw characters) are what STR and VAL use.
bool time_digits(const std::uint8_t* value, char (&digits)[kTimeBufferSize]);

}  // namespace fcl
