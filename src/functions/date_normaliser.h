// The date normaliser: decides whether a text is a date and rewrites it to yyyymmdd.
#pragma once

#include <cstddef>

#include "interface/types.h"

namespace fcl {

// Longest text the normaliser can accept plus the century it may prepend and a NUL.
constexpr std::size_t kDateBufferSize = 13;

// Normalises text in place (a NUL-terminated private copy of at least kDateBufferSize
// bytes). Accepts 10 characters (yyyy?mm?dd), 8 (yyyymmdd or yy/mm/dd) and 6 (yymmdd);
// two-digit years get a century from the "ZeroYear" setting. Returns 0 with exactly eight
// digits left in text, or 1003 with text as far as it was compacted.
Status normalise_date(char* text);

// Copies at most kDateBufferSize - 1 bytes of a date payload into buffer for normalising;
// a longer payload is copied as a text the normaliser rejects.
void copy_date_text(char (&buffer)[kDateBufferSize], const char* payload);

// Leap year of the proleptic Gregorian calendar.
inline bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days in month 1..12 of the year.
inline int days_in_month(int year, int month) {
    constexpr int kCommonYear[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kCommonYear[month - 1] + (month == 2 && is_leap_year(year) ? 1 : 0);
}

}  // namespace fcl
