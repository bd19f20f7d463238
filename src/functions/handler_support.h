// What the handlers share: reading their arguments (texts, counts, fixed-position fields, the
// digits of dates and times) and writing their results (strings, counts, integers, digit fields).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "functions/date_normaliser.h"
#include "functions/time_normaliser.h"
#include "interface/code_format.h"
#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

// --- Reading arguments ---

// No tagged value is longer than the 528-byte areas that hold them, so no argument text is
// longer than this; lengths are measured within it.
constexpr std::size_t kMaxArgumentText = kCodeAreaSize - 2;

inline std::size_t text_length(const std::uint8_t* value) {
    return strnlen(payload_text(value), kMaxArgumentText);
}

// The count rule: a number argument read as a whole count or position (LEFT, REP, SELECT), and
// with its sign kept as the integer argument of ADATE, ATIME, CTIME and ROUND. The value is
// truncated toward zero and held in the signed 32-bit range (beyond it the nearest bound; NaN
// gives 0). Without keep_sign a value below zero gives 0.
// In text-number mode the number text is parsed through the backend in the context's number
// scratch (and, without keep_sign, the second number scratch); both may be overwritten.
std::int32_t count_argument(const std::uint8_t* value, Context& ctx, bool keep_sign);

// Fixed-position fields of date and time texts (yyyymmdd, hhmmss). A text may be shorter than
// the positions a function reads: characters past its end count as absent.
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

// Applies the "DateError" or "TimeError" setting to an argument text its normaliser refused:
// 1 replaces the text by blank (with its NUL) and sets blanked, 2 is status 1003, any other
// value keeps the text as the normaliser left it.
Status refused_argument(std::int32_t setting, char* text, const char* blank, bool& blanked);

// The eight digits yyyymmdd of a date value as STR, VAL and FORMAT read them, checked by the
// date normaliser on a copy whatever the "DateError" setting says; false when the normaliser
// rejects the text. A date value holds exactly these digits; for the other forms the
// normaliser accepts (yy/mm/dd, yymmdd, yyyy-mm-dd) they are the normalised digits, so a date
// always reads as its calendar date.
bool date_digits(const std::uint8_t* value, char (&digits)[kDateBufferSize]);

// The six digits hhmmss of a time value: digits are kept, a ":" anywhere and any character at
// index 2 or 5 are skipped, anything else rejects the text; exactly six digits must remain,
// making hours below 24 and minutes and seconds below 60. As with dates, the kept digits (not
// the value's raw characters) are what STR, VAL and FORMAT use.
bool time_digits(const std::uint8_t* value, char (&digits)[kTimeBufferSize]);

// --- Writing results ---

// Writes a string result (type byte, text, NUL); a text longer than 512 bytes is status 1004
// and nothing is written. The text may overlap the result area.
Status write_text_result(std::uint8_t* result, const char* text, std::size_t length);

// Writes the empty string.
Status write_empty_string(std::uint8_t* result);

// Writes a string result of functions that report no error: a text longer than 512 bytes is
// cut there, without leaving half a double-byte character at the end.
Status write_cut_text(std::uint8_t* result, const char* text, std::size_t length);

// Writes the three fields of text that follow one another, of widths[0..2] characters, with the
// separator between them (20240131 as 2024/01/31, 123456 as 12:34:56). Each field is
// right-aligned in its width, characters past the text's end written as leading zeros (a short
// year 24 prints as 0024). Returns the characters written; no NUL.
std::size_t lay_out_fields(char* out, const char* text, const std::size_t (&widths)[3], char separator);

// Writes what printf's "%0<width>d" writes for value: its digits led by zeros to `width`
// bytes, a minus sign counted among them. Returns the end; no NUL.
char* write_zero_padded(char* out, std::int32_t value, int width);

// The length of a number text without its trailing fraction zeros, and without its point when
// no fraction digit is left; a text without a point keeps its length.
std::size_t trimmed_fraction_length(const char* text, std::size_t length);

// Collects the text of a string result, at most 512 bytes; appending beyond that marks the
// text as too long instead of writing past it.
class ResultText {
public:
    void append(const char* bytes, std::size_t count);
    void repeat(char byte, std::size_t count);
    // Removes the last count bytes (at most all of them).
    void drop(std::size_t count) { length_ -= count < length_ ? count : length_; }
    const char* data() const { return text_; }
    std::size_t length() const { return length_; }
    bool too_long() const { return too_long_; }
    // Writes the result (type byte, text, NUL), or returns 1004 when the text was too long.
    Status write(std::uint8_t* result) const;

private:
    // False, marking the text too long, when count more bytes do not fit.
    bool room_for(std::size_t count);

    char text_[kMaxStringText];
    std::size_t length_ = 0;
    bool too_long_ = false;
};

// Writes a length, position or byte value as a number result in the current number encoding
// (in text-number mode made with FromInt in the context's number scratch, in full form).
void write_count_result(std::uint8_t* result, std::int32_t value, Context& ctx);

// Writes an integer a handler computed (DOW, CDATE, CTIME, COUNT, ...). Text-number mode goes
// through the double: FromDbl into the number scratch, then ToStr with style 1 and digits 0.
void write_integer_result(std::uint8_t* result, double value, Context& ctx);

// Writes a field of digits cut from a date or time text (YEAR, HOUR, WYEAR, ...): text-number
// mode keeps the digits as they are, so 07 stays 07; double-number mode writes their value.
// A field that is empty or holds anything but digits (possible only when an invalid text is
// kept) is written through its integer value instead, so the payload is always number text.
void write_digits_result(std::uint8_t* result, TextField field, Context& ctx);

}  // namespace fcl
