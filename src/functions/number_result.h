// Number results of the date, time and era functions, in the current number encoding.
#pragma once

#include <cstdint>

#include "functions/text_fields.h"
#include "interface/context.h"

namespace fcl {

// Writes an integer a handler computed (DOW, CDATE, CTIME, ...). Text-number mode goes
// through the double: FromDbl into the number scratch, then ToStr with style 1 and digits 0.
void write_integer_result(std::uint8_t* result, double value, Context& ctx);

// Writes a field of digits cut from a date or time text (YEAR, HOUR, WYEAR, ...): text-number
// mode keeps the digits as they are, so 07 stays 07; double-number mode writes their value.
// A field that is empty or holds anything but digits (possible only when an invalid text is
// kept) is written through its integer value instead, so the payload is always number text.
void write_digits_result(std::uint8_t* result, TextField field, Context& ctx);

}  // namespace fcl
