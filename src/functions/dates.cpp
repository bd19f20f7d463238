// Date functions: DATE, IDATE, YEAR, MONTH, DAY, DOW, CDOW, DTOC, CTOD, ADATE, CDATE, MONTH2.
#include <cstring>

#include "functions/date_argument.h"
#include "functions/handlers.h"
#include "functions/count_rule.h"
#include "functions/number_result.h"
#include "functions/text_fields.h"
#include "interface/settings.h"
#include "interface/values.h"
#include "platform/clock.h"

namespace fcl::handlers {

namespace {

// Weekday names in code page 932, indexed by day number modulo 7 plus 1; index 0 marks a
// date that is not calendar-valid.
constexpr const char* kWeekdayNames[8] = {
    "\x81\x48" /* ？ */, "\x93\xFA" /* 日 */, "\x8C\x8E" /* 月 */, "\x89\xCE" /* 火 */,
    "\x90\x85" /* 水 */, "\x96\xD8" /* 木 */, "\x8B\xE0" /* 金 */, "\x93\x79" /* 土 */,
};

const char* payload_text(const std::uint8_t* value) { return reinterpret_cast<const char*>(value + 1); }

CalendarDate calendar_date_of(const platform::LocalTime& time) {
    return CalendarDate{time.year, time.month, time.day};
}

Status write_empty_string(std::uint8_t* result) {
    write_string(result, "", 0);
    return kOk;
}

// YEAR, MONTH, DAY: the digits at a fixed position of the prepared date.
Status date_part(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, std::size_t pos,
                 std::size_t width) {
    DateArgument date;
    if (const Status status = prepare_date_argument(args[0], date)) return status;
    write_digits_result(result, text_field(date.text, pos, width), ctx);
    return kOk;
}

// Day number of the prepared first argument (0 when not calendar-valid).
Status prepared_day_number(const std::uint8_t* value, std::int32_t& days) {
    DateArgument date;
    const Status status = prepare_date_argument(value, date);
    days = status == kOk ? day_number(date_fields(date.text)) : 0;
    return status;
}

}  // namespace

Status date(const std::uint8_t* const*, std::uint8_t* result, Context&) {
    write_date_value(result, calendar_date_of(platform::local_time()));
    return kOk;
}

Status idate(const std::uint8_t* const*, std::uint8_t* result, Context&) {
    write_date_value(result, calendar_date_of(load_settings().load_date));
    return kOk;
}

Status year(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return date_part(args, result, ctx, 0, 4);
}

Status month(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return date_part(args, result, ctx, 4, 2);
}

Status day(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return date_part(args, result, ctx, 6, 2);
}

Status dow(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    std::int32_t days;
    if (const Status status = prepared_day_number(args[0], days)) return status;
    write_integer_result(result, days > 0 ? days % 7 : 0, ctx);
    return kOk;
}

Status cdow(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    std::int32_t days;
    if (const Status status = prepared_day_number(args[0], days)) return status;
    write_string(result, kWeekdayNames[days > 0 ? days % 7 + 1 : 0], 2);
    return kOk;
}

Status dtoc(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    if (payload_text(args[0])[0] == '\0') return write_empty_string(result);
    DateArgument date;
    if (const Status status = prepare_date_argument(args[0], date)) return status;
    // A refused date that "DateError" blanked reads as nothing, not as 0000/00/00.
    if (date.blanked) return write_empty_string(result);
    char text[11];
    std::size_t length = write_zero_padded(text, text_field(date.text, 0, 4), 4);
    text[length++] = '/';
    length += write_zero_padded(text + length, text_field(date.text, 4, 2), 2);
    text[length++] = '/';
    length += write_zero_padded(text + length, text_field(date.text, 6, 2), 2);
    write_string(result, text, length);
    return kOk;
}

Status ctod(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    DateArgument date;
    normalise_date_argument(args[0], date);
    if (date.rejected) write_blank_value(kDate, result);
    else write_date_value(result, date_fields(date.text));
    return kOk;
}

Status adate(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    DateArgument date;
    if (const Status status = prepare_date_argument(args[0], date)) return status;
    const CalendarDate start = date_fields(date.text);
    // 64 bits: no day count can overflow the sum.
    const std::int64_t sum = static_cast<std::int64_t>(day_number(start)) + count_argument(args[1], ctx, true);
    write_date_value(result, sum > 0 ? date_of_day_number(sum) : start);
    return kOk;
}

Status cdate(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    std::int32_t first;
    if (const Status status = prepared_day_number(args[0], first)) return status;
    // The second date is read as it is, without normalising and without "DateError".
    const std::int32_t second = day_number(date_fields(payload_text(args[1])));
    write_integer_result(result, first - second, ctx);
    return kOk;
}

Status month2(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    DateArgument date;
    if (const Status status = prepare_date_argument(args[0], date)) return status;
    const std::int32_t month = field_value(text_field(date.text, 4, 2));
    if (month < 1 || month > 12) return write_empty_string(result);
    const char* name = load_settings().month_names[month - 1];
    write_string(result, name, strnlen(name, kMonthNameSize - 1));
    return kOk;
}

}  // namespace fcl::handlers
