#include "functions/integer_args.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "interface/number_mode.h"
#include "number/backend.h"

namespace fcl {

namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();

std::int32_t saturate(std::int64_t value) {
    return static_cast<std::int32_t>(value < kMin ? kMin : value > kMax ? kMax : value);
}

std::int32_t truncate_double(double value) {
    if (std::isnan(value)) return 0;
    const double whole = std::trunc(value);
    if (whole <= static_cast<double>(kMin)) return static_cast<std::int32_t>(kMin);
    if (whole >= static_cast<double>(kMax)) return static_cast<std::int32_t>(kMax);
    return static_cast<std::int32_t>(whole);
}

// Plain whole-number text ("-12", "0", a long run of digits) as a saturated integer.
std::int32_t parse_whole(const char* text) {
    const bool negative = *text == '-';
    if (negative) ++text;
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > kMax + 1) break;  // already beyond the range: the rest cannot bring it back
    }
    return saturate(negative ? -magnitude : magnitude);
}

}  // namespace

std::int32_t integer_argument(const std::uint8_t* value, Context& ctx) {
    if (!text_numbers()) {
        double number;
        std::memcpy(&number, value + 1, sizeof number);
        return truncate_double(number);
    }
    backend().from_str(ctx.number_scratch, reinterpret_cast<const char*>(value + 1));
    // The whole part is cut from the plain form, never rounded, whatever the backend.
    char text[kNumberTextSize];
    whole_number_text(ctx.number_scratch, text, sizeof text);
    return parse_whole(text);
}

}  // namespace fcl
