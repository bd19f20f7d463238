// Date functions: DATE, IDATE, YEAR, MONTH, DAY, DOW, CDOW, DTOC, CTOD, ADATE, CDATE, MONTH2.
// Their date arguments are normalised to yyyymmdd and, where a function computes with the
// calendar, turned into day numbers and back.
#include "functions/dates.h"

#include <cstring>

#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "interface/settings.h"
#include "interface/values.h"
#include "platform/clock.h"

namespace fcl {

namespace {

constexpr std::int32_t kLastYear = 9999;

// Days before January 1 of year (year >= 1).
std::int64_t days_before_year(std::int64_t year) {
    const std::int64_t y = year - 1;
    return 365 * y + y / 4 - y / 100 + y / 400;
}

}  // namespace

bool is_calendar_valid(const CalendarDate& date) {
    return date.year >= 1 && date.year <= kLastYear && date.month >= 1 && date.month <= 12 && date.day >= 1 &&
           date.day <= days_in_month(date.year, date.month);
}

std::int32_t day_number(const CalendarDate& date) {
    if (!is_calendar_valid(date)) return 0;
    std::int64_t days = days_before_year(date.year) + date.day;
    for (std::int32_t m = 1; m < date.month; ++m) days += days_in_month(date.year, m);
    return static_cast<std::int32_t>(days);
}

CalendarDate date_of_day_number(std::int64_t s) {
    // The largest year whose January 1 comes before day s. A Gregorian year averages
    // 146097 / 400 days, so this estimate is never below that year and at most two above it;
    // it is lowered a year at a time as long as its January 1 is not before day s.
    std::int64_t year = s * 400 / 146097 + 2;
    while (days_before_year(year) >= s) --year;
    std::int64_t day_of_year = s - days_before_year(year);
    const auto whole_year = static_cast<std::int32_t>(year);
    std::int32_t month = 1;
    for (; month < 12 && day_of_year > days_in_month(whole_year, month); ++month)
        day_of_year -= days_in_month(whole_year, month);
    return CalendarDate{static_cast<std::int32_t>(year), month, static_cast<std::int32_t>(day_of_year)};
}

void normalise_date_argument(const std::uint8_t* value, DateArgument& date) {
    const char* payload = payload_text(value);
    const std::size_t length = strnlen(payload, kDateBufferSize - 1);
    std::memcpy(date.text, payload, length);
    date.text[length] = '\0';
    date.rejected = normalise_date(date.text) != kOk;
    date.blanked = false;
}

namespace handlers {

namespace {

// Weekday names in code page 932, indexed by day number modulo 7 plus 1; index 0 marks a
// date that is not calendar-valid.
constexpr const char* kWeekdayNames[8] = {
    "\x81\x48" /* ？ */, "\x93\xFA" /* 日 */, "\x8C\x8E" /* 月 */, "\x89\xCE" /* 火 */,
    "\x90\x85" /* 水 */, "\x96\xD8" /* 木 */, "\x8B\xE0" /* 金 */, "\x93\x79" /* 土 */,
};

// normalise_date_argument followed by the "DateError" reaction to a refused text.
Status prepare_date_argument(const std::uint8_t* value, DateArgument& date) {
    normalise_date_argument(value, date);
    if (!date.rejected) return kOk;
    return refused_argument(load_settings().date_error, date.text, "00000000", date.blanked);
}

// Where year, month and day stand in a date text yyyymmdd, indexed by DatePart.
struct FieldPlace {
    std::size_t pos;
    std::size_t width;
};
constexpr FieldPlace kDateFields[] = {{0, 4}, {4, 2}, {6, 2}};

TextField date_field(const char* text, DatePart part) {
    const FieldPlace& place = kDateFields[static_cast<int>(part)];
    return text_field(text, place.pos, place.width);
}

// Year, month and day of a date text, each read as a decimal integer; absent parts are 0.
CalendarDate date_fields(const char* text) {
    return CalendarDate{field_value(date_field(text, DatePart::Year)), field_value(date_field(text, DatePart::Month)),
                        field_value(date_field(text, DatePart::Day))};
}

// Writes a date value with the text "%04d%02d%02d" (at most 34 bytes with the NUL).
void write_date_value(std::uint8_t* result, const CalendarDate& date) {
    result[0] = kDate;
    char* end = write_zero_padded(reinterpret_cast<char*>(result + 1), date.year, 4);
    end = write_zero_padded(end, date.month, 2);
    *write_zero_padded(end, date.day, 2) = '\0';
}

CalendarDate calendar_date_of(const platform::LocalTime& time) {
    return CalendarDate{time.year, time.month, time.day};
}

// Day number of the prepared first argument (0 when not calendar-valid).
Status prepared_day_number(const std::uint8_t* value, std::int32_t& days) {
    DateArgument date;
    const Status status = prepare_date_argument(value, date);
    days = status == kOk ? day_number(date_fields(date.text)) : 0;
    return status;
}

}  // namespace

Status date(const std::uint8_t* const*, std::uint8_t* result, Context&, int instant) {
    const platform::LocalTime moment =
        static_cast<Instant>(instant) == Instant::Now ? platform::local_time() : load_settings().load_date;
    write_date_value(result, calendar_date_of(moment));
    return kOk;
}

// YEAR, MONTH, DAY: the digits of the prepared yyyymmdd.
Status date_part(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int part) {
    DateArgument date;
    if (const Status status = prepare_date_argument(args[0], date)) return status;
    write_digits_result(result, date_field(date.text, static_cast<DatePart>(part)), ctx);
    return kOk;
}

Status dow(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    std::int32_t days;
    if (const Status status = prepared_day_number(args[0], days)) return status;
    write_integer_result(result, days > 0 ? days % 7 : 0, ctx);
    return kOk;
}

Status cdow(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    std::int32_t days;
    if (const Status status = prepared_day_number(args[0], days)) return status;
    write_string(result, kWeekdayNames[days > 0 ? days % 7 + 1 : 0], 2);
    return kOk;
}

Status dtoc(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    if (payload_text(args[0])[0] == '\0') return write_empty_string(result);
    DateArgument date;
    if (const Status status = prepare_date_argument(args[0], date)) return status;
    // A refused date that "DateError" blanked reads as nothing, not as 0000/00/00.
    if (date.blanked) return write_empty_string(result);
    char text[10];
    write_string(result, text, lay_out_fields(text, date.text, {4, 2, 2}, '/'));
    return kOk;
}

Status ctod(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    DateArgument date;
    normalise_date_argument(args[0], date);
    if (date.rejected) write_blank_value(kDate, result);
    else write_date_value(result, date_fields(date.text));
    return kOk;
}

Status adate(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    DateArgument date;
    if (const Status status = prepare_date_argument(args[0], date)) return status;
    const CalendarDate start = date_fields(date.text);
    // 64 bits: no day count can overflow the sum.
    const std::int64_t sum = static_cast<std::int64_t>(day_number(start)) + count_argument(args[1], ctx, true);
    write_date_value(result, sum > 0 ? date_of_day_number(sum) : start);
    return kOk;
}

Status cdate(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    std::int32_t first;
    if (const Status status = prepared_day_number(args[0], first)) return status;
    // The second date is read as it is, without normalising and without "DateError".
    const std::int32_t second = day_number(date_fields(payload_text(args[1])));
    write_integer_result(result, first - second, ctx);
    return kOk;
}

Status month2(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    DateArgument date;
    if (const Status status = prepare_date_argument(args[0], date)) return status;
    const std::int32_t month = field_value(date_field(date.text, DatePart::Month));
    if (month < 1 || month > 12) return write_empty_string(result);
    const char* name = load_settings().month_names[month - 1];
    write_string(result, name, strnlen(name, kMonthNameSize - 1));
    return kOk;
}

}  // namespace handlers

}  // namespace fcl
