// ABS, INT and ROUND, on doubles, or on number texts through the backend (short numbers on their units).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "number/scaled_number.h"
#include "platform/power_of_ten.h"

namespace fcl::handlers {

namespace {

// Text-number ROUND builds its unit as a text of about |n| digits. Units beyond 10^±400 lie
// outside every double and far outside the 48 digits of a decimal number, and would overflow
// the decimal exponent, so n is held within ±400.
constexpr std::int32_t kRoundPowerLimit = 400;

// Cuts a plain number text after `decimals` fraction digits (truncation), removes trailing
// fraction zeros and a "." left at the end, and writes "-0" as "0".
void cut_fraction(char* text, std::size_t decimals) {
    char* point = std::strchr(text, '.');
    if (!point) return;
    if (std::strlen(point + 1) > decimals) point[1 + decimals] = '\0';
    text[trimmed_fraction_length(text, std::strlen(text))] = '\0';
    if (std::strcmp(text, "-0") == 0) std::strcpy(text, "0");
}

// "1" followed by zeros (the unit 10^zeros), or "0." with zeros and "5" (half the unit of the
// zeros+1-th decimal), or "5" followed by zeros (half the unit 10^(zeros+1)).
void constant_text(char* out, const char* head, std::size_t zeros, const char* tail) {
    const std::size_t head_length = std::strlen(head);
    std::memcpy(out, head, head_length);
    std::memset(out + head_length, '0', zeros);
    std::strcpy(out + head_length + zeros, tail);
}

// Adds half a unit to x (in the number scratch) away from zero; h is in the second scratch.
void add_half_away_from_zero(Context& ctx, const char* half) {
    const Backend& b = backend();
    b.from_int(ctx.number_scratch2, 0);
    const bool negative = b.comp(ctx.number_scratch, ctx.number_scratch2) < 0;
    b.from_str(ctx.number_scratch2, half);
    if (negative) b.sub(ctx.number_scratch, ctx.number_scratch2);
    else b.add(ctx.number_scratch, ctx.number_scratch2);
}

// x (in the number scratch) rounded half away from zero to a multiple of 10^n.
void round_backend(std::int32_t n, Context& ctx) {
    const Backend& b = backend();
    char constant[kRoundPowerLimit + 4];
    char text[kNumberTextSize];
    if (n <= 0) {
        const std::size_t decimals = static_cast<std::size_t>(-n);
        constant_text(constant, "0.", decimals, "5");
        add_half_away_from_zero(ctx, constant);
        // The plain text with every digit the backend has (a double backend would round if it
        // were asked for fewer), then truncated at the unit.
        b.to_str(ctx.number_scratch, text, sizeof text, kStylePlain, kMaxFixedDecimals);
        cut_fraction(text, decimals);
        b.from_str(ctx.number_scratch, text);
        return;
    }
    const std::size_t zeros = static_cast<std::size_t>(n);
    constant_text(constant, "5", zeros - 1, "");
    add_half_away_from_zero(ctx, constant);
    constant_text(constant, "1", zeros, "");
    b.from_str(ctx.number_scratch2, constant);
    b.div(ctx.number_scratch, ctx.number_scratch2);
    whole_number_text(ctx.number_scratch, text, sizeof text);
    b.from_str(ctx.number_scratch, text);
    b.mul(ctx.number_scratch, ctx.number_scratch2);
}

// Fraction digits a short number has at most: rounding it to 10^n with n below -8 keeps it.
constexpr std::int32_t kShortDecimals = 8;

// Short x rounded half away from zero to a multiple of 10^n; false where the unit or the result
// is not short.
bool round_units(std::int64_t x, std::int32_t n, std::int64_t& rounded) {
    if (n < -kShortDecimals) {
        rounded = x;
        return true;
    }
    if (n >= kShortDecimals) return false;
    std::int64_t unit = 1;
    for (std::int32_t k = -kShortDecimals; k < n; ++k) unit *= 10;
    const std::int64_t magnitude = ((x < 0 ? -x : x) + unit / 2) / unit * unit;
    rounded = x < 0 ? -magnitude : magnitude;
    return magnitude < scaled::kLimit;
}

double round_double(double x, std::int32_t n) {
    // Beyond 10^±400 every power is infinity or zero: the bound keeps -n in range.
    const int k = std::clamp<std::int32_t>(n, -400, 400);
    const double scale = platform::power_of_ten(k);
    const double unit = platform::power_of_ten(-k);
    return x >= 0 ? std::floor(x * unit + 0.5) * scale : std::ceil(x * unit - 0.5) * scale;
}

}  // namespace

Status abs(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    if (!text_numbers()) {
        write_number_double(result, std::fabs(payload_double(args[0])));
        return kOk;
    }
    if (std::int64_t units = 0; scaled::from_payload(payload_text(args[0]), units)) {
        write_units_backend(result, units < 0 ? -units : units);
        return kOk;
    }
    const Backend& b = backend();
    b.from_str(ctx.number_scratch, payload_text(args[0]));
    b.from_int(ctx.number_scratch2, 0);
    if (b.comp(ctx.number_scratch, ctx.number_scratch2) < 0) {
        b.from_int(ctx.number_scratch2, -1);
        b.mul(ctx.number_scratch, ctx.number_scratch2);
    }
    write_number_backend(result, ctx.number_scratch);
    return kOk;
}

Status int_part(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    if (!text_numbers()) {
        const double x = payload_double(args[0]);
        write_number_double(result, x < 0 ? std::ceil(x) : std::floor(x));
        return kOk;
    }
    if (std::int64_t units = 0; scaled::from_payload(payload_text(args[0]), units)) {
        write_units_backend(result, units / scaled::kUnit * scaled::kUnit);  // toward zero
        return kOk;
    }
    // Through the whole digits of the plain text, so INT(-0.5) is "0", never "-0".
    char text[kNumberTextSize];
    backend().from_str(ctx.number_scratch, payload_text(args[0]));
    whole_number_text(ctx.number_scratch, text, sizeof text);
    backend().from_str(ctx.number_scratch, text);
    write_number_backend(result, ctx.number_scratch);
    return kOk;
}

// ROUND(x [, n]): x rounded half away from zero to a multiple of 10^n (n truncated toward zero).
Status round(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::int32_t n = call_argc(result) == 2 ? count_argument(args[1], ctx, true) : 0;
    if (!text_numbers()) {
        write_number_double(result, round_double(payload_double(args[0]), n));
        return kOk;
    }
    std::int64_t units = 0;
    std::int64_t rounded = 0;
    if (scaled::from_payload(payload_text(args[0]), units) && round_units(units, n, rounded)) {
        write_units_backend(result, rounded);
        return kOk;
    }
    backend().from_str(ctx.number_scratch, payload_text(args[0]));
    round_backend(n < -kRoundPowerLimit ? -kRoundPowerLimit : (n > kRoundPowerLimit ? kRoundPowerLimit : n), ctx);
    write_number_backend(result, ctx.number_scratch);
    return kOk;
}

}  // namespace fcl::handlers
