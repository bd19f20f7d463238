// Fixed-position fields of date and time texts (yyyymmdd, hhmmss). A text may be shorter than
// the positions a function reads: characters past its end count as absent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl {

struct TextField {
    const char* start;
    std::size_t length;  // characters present, at most the field's width
};

// The characters of text at pos .. pos + width - 1 that exist; never reads past the NUL.
TextField text_field(const char* text, std::size_t pos, std::size_t width);

// The field read as a decimal integer the way atoi reads it (blanks, a sign, digits); 0 when
// it holds no number. Fields are at most four characters wide, so this cannot overflow.
std::int32_t field_value(TextField field);

// True when the field has at least one character and every character is a digit.
bool all_digits(TextField field);

// Writes the field right-aligned in width characters with absent characters as leading zeros
// (a short year field 24 prints as 0024). Returns the characters written; no NUL.
std::size_t write_zero_padded(char* out, TextField field, std::size_t width);

}  // namespace fcl
