#include "functions/day_number.h"

#include "functions/date_normaliser.h"

namespace fcl {

namespace {

// Month lengths of a common year, then of a leap year.
constexpr std::int32_t kMonthLengths[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

constexpr std::int32_t kLastYear = 9999;

// Days before January 1 of year (year >= 1).
std::int64_t days_before_year(std::int64_t year) {
    const std::int64_t y = year - 1;
    return 365 * y + y / 4 - y / 100 + y / 400;
}

const std::int32_t* month_row(std::int32_t year) { return kMonthLengths[is_leap_year(year) ? 1 : 0]; }

}  // namespace

bool is_calendar_valid(const CalendarDate& date) {
    return date.year >= 1 && date.year <= kLastYear && date.month >= 1 && date.month <= 12 && date.day >= 1 &&
           date.day <= month_row(date.year)[date.month - 1];
}

std::int32_t day_number(const CalendarDate& date) {
    if (!is_calendar_valid(date)) return 0;
    std::int64_t days = days_before_year(date.year) + date.day;
    const std::int32_t* row = month_row(date.year);
    for (std::int32_t m = 1; m < date.month; ++m) days += row[m - 1];
    return static_cast<std::int32_t>(days);
}

CalendarDate date_of_day_number(std::int64_t s) {
    // The largest year whose January 1 comes before day s. A Gregorian year averages
    // 146097 / 400 days, so this estimate is never below that year and at most two above it;
    // it is lowered a year at a time as long as its January 1 is not before day s.
    std::int64_t year = s * 400 / 146097 + 2;
    while (days_before_year(year) >= s) --year;
    std::int64_t day_of_year = s - days_before_year(year);
    const std::int32_t* row = month_row(static_cast<std::int32_t>(year));
    std::int32_t month = 1;
    while (month < 12 && day_of_year > row[month - 1]) day_of_year -= row[month++ - 1];
    return CalendarDate{static_cast<std::int32_t>(year), month, static_cast<std::int32_t>(day_of_year)};
}

}  // namespace fcl
