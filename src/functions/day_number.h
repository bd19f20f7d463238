// The day number: days of the proleptic Gregorian calendar counted from 0001-01-01 (day 1),
// and its exact inverse.
#pragma once

#include <cstdint>

namespace fcl {

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

}  // namespace fcl
