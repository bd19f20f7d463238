// Time functions: TIME, ITIME, HOUR, MINT, SEC, TTOC, CTOT, ATIME, CTIME. Their time arguments
// are normalised to hhmmss; the "TimeError" setting decides what a refused one gives.
#include <cstring>

#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "functions/time_normaliser.h"
#include "interface/settings.h"
#include "interface/values.h"
#include "platform/clock.h"

namespace fcl::handlers {

namespace {

void write_time_value(std::uint8_t* result, std::int32_t hour, std::int32_t minute, std::int32_t second) {
    result[0] = kTime;
    // "%02d%02d%02d", at most 34 bytes with the NUL.
    char* end = write_zero_padded(reinterpret_cast<char*>(result + 1), hour, 2);
    end = write_zero_padded(end, minute, 2);
    *write_zero_padded(end, second, 2) = '\0';
}

struct TimeArgument {
    char text[kTimeBufferSize];
    bool blanked;  // "TimeError" 1 replaced a refused text by the blank time
};

// Normalises a time argument and applies "TimeError" to a refused text.
Status prepare_time_argument(const std::uint8_t* value, TimeArgument& time) {
    time.blanked = false;
    if (normalise_time(payload_text(value), time.text) == kOk) return kOk;
    return refused_argument(load_settings().time_error, time.text, "000000", time.blanked);
}

}  // namespace

Status time(const std::uint8_t* const*, std::uint8_t* result, Context&, int instant) {
    const platform::LocalTime moment =
        static_cast<Instant>(instant) == Instant::Now ? platform::local_time() : load_settings().load_time;
    write_time_value(result, moment.hour, moment.minute, moment.second);
    return kOk;
}

// HOUR, MINT, SEC: two digits of the prepared hhmmss.
Status time_part(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int part) {
    TimeArgument time;
    if (const Status status = prepare_time_argument(args[0], time)) return status;
    write_digits_result(result, text_field(time.text, 2 * static_cast<std::size_t>(part), 2), ctx);
    return kOk;
}

Status ttoc(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    if (payload_text(args[0])[0] == '\0') return write_empty_string(result);
    TimeArgument time;
    if (const Status status = prepare_time_argument(args[0], time)) return status;
    // A refused time that "TimeError" blanked reads as nothing, not as 00:00:00.
    if (time.blanked) return write_empty_string(result);
    char text[8];
    write_string(result, text, lay_out_fields(text, time.text, {2, 2, 2}, ':'));
    return kOk;
}

Status ctot(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    char time[kTimeBufferSize];
    if (normalise_time(payload_text(args[0]), time) != kOk) {
        write_blank_value(kTime, result);
        return kOk;
    }
    result[0] = kTime;
    std::memcpy(result + 1, time, kTimeBufferSize);
    return kOk;
}

Status atime(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    char time[kTimeBufferSize];
    if (normalise_time(payload_text(args[0]), time) != kOk) return kTypeError;
    // 64 bits: no second count can overflow the sum before it is wrapped into the day.
    const std::int64_t sum = static_cast<std::int64_t>(seconds_of_day(time)) + count_argument(args[1], ctx, true);
    std::int64_t r = sum % kSecondsPerDay;
    if (r < 0) r += kSecondsPerDay;
    const auto seconds = static_cast<std::int32_t>(r);
    write_time_value(result, seconds / 3600, seconds / 60 % 60, seconds % 60);
    return kOk;
}

Status ctime(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const bool with_days = call_argc(result) == 3;
    char first[kTimeBufferSize];
    char second[kTimeBufferSize];
    if (normalise_time(payload_text(args[0]), first) != kOk) return kTypeError;
    if (normalise_time(payload_text(args[1]), second) != kOk) return kTypeError;
    const std::int32_t days = with_days ? count_argument(args[2], ctx, true) : 0;
    // The difference is a signed 32-bit quantity; the arithmetic is done unsigned so that a
    // day count beyond about 24855 days wraps around as in 32 bits instead of overflowing.
    const std::uint32_t difference = static_cast<std::uint32_t>(seconds_of_day(first)) +
                                     static_cast<std::uint32_t>(days) * static_cast<std::uint32_t>(kSecondsPerDay) -
                                     static_cast<std::uint32_t>(seconds_of_day(second));
    write_integer_result(result, static_cast<std::int32_t>(difference), ctx);
    return kOk;
}

}  // namespace fcl::handlers
