// The day number and its inverse over the whole range of four-digit years, checked against a
// calendar walked one day at a time.
#include <gtest/gtest.h>

#include <array>

#include "functions/dates.h"

namespace fcl::test {
namespace {

// The walk's own calendar rules, kept apart from the code under test.
bool leap(std::int32_t y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

std::int32_t days_in(std::int32_t y, std::int32_t m) {
    constexpr std::int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[m - 1] + (m == 2 && leap(y) ? 1 : 0);
}

void next_day(CalendarDate& d) {
    if (++d.day <= days_in(d.year, d.month)) return;
    d.day = 1;
    if (++d.month <= 12) return;
    d.month = 1;
    ++d.year;
}

bool same(const CalendarDate& a, const CalendarDate& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

::testing::AssertionResult is_date(const CalendarDate& actual, const CalendarDate& expected, std::int64_t s) {
    if (same(actual, expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "day " << s << " gave " << actual.year << "-" << actual.month << "-"
                                         << actual.day << ", expected " << expected.year << "-" << expected.month
                                         << "-" << expected.day;
}

TEST(DayNumber, EveryDayOfFourDigitYearsRoundTrips) {
    // ADATE(d, n) adds n to the day number of d and converts back. Every date is checked
    // forward (its day number is its position in the walk) and backward (the inverse of
    // that number, and of the numbers n days earlier, give the dates the walk passed).
    constexpr std::array<std::int32_t, 2> kBack = {1, 366};
    constexpr std::size_t kRing = 512;
    std::array<CalendarDate, kRing> recent{};
    std::int64_t failures = 0;
    CalendarDate date{1, 1, 1};
    std::int32_t s = 1;
    for (; date.year <= 9999; next_day(date), ++s) {
        recent[s % kRing] = date;
        if (day_number(date) != s || !same(date_of_day_number(s), date)) {
            ADD_FAILURE() << is_date(date_of_day_number(s), date, s).message() << "; day_number "
                          << day_number(date);
            if (++failures > 5) return;
        }
        for (const std::int32_t n : kBack) {
            if (s - n < 1) continue;
            const ::testing::AssertionResult back = is_date(date_of_day_number(s - n), recent[(s - n) % kRing], s - n);
            if (!back) {
                ADD_FAILURE() << back.message();
                if (++failures > 5) return;
            }
        }
        // 146097 days are exactly 400 Gregorian years.
        if (date.year + 400 <= 9999 &&
            !same(date_of_day_number(std::int64_t{s} + 146097), CalendarDate{date.year + 400, date.month, date.day})) {
            ADD_FAILURE() << "400 years after " << s;
            if (++failures > 5) return;
        }
    }
    EXPECT_EQ(s - 1, 3652059) << "days from 0001-01-01 to 9999-12-31";
}

}  // namespace
}  // namespace fcl::test
