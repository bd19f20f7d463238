#include "functions/count_rule.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "interface/number_mode.h"
#include "number/backend.h"

namespace fcl {

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

std::int32_t count_from_double(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(kMax)) return kMax;
    if (value <= static_cast<double>(kMin)) return kMin;
    return static_cast<std::int32_t>(value);  // truncates toward zero
}

// Reads an optionally signed run of digits like atoi, but holds the result in the 32-bit
// range instead of overflowing (a text beyond the range gives the nearest bound).
std::int32_t saturating_atoi(const char* text) {
    const bool negative = *text == '-';
    if (negative || *text == '+') ++text;
    std::int64_t magnitude = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(kMin) : kMax;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude >= limit) return negative ? kMin : kMax;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t count_from_text(const char* text, Context& ctx, bool keep_sign) {
    const Backend& b = backend();
    b.from_str(ctx.number_scratch, text);
    if (!keep_sign) {
        b.from_int(ctx.number_scratch2, 0);
        if (b.comp(ctx.number_scratch, ctx.number_scratch2) < 0) b.zero(ctx.number_scratch);
    }
    char whole[kNumberTextSize];
    whole_number_text(ctx.number_scratch, whole, sizeof whole);
    return saturating_atoi(whole);
}

}  // namespace

std::int32_t count_argument(const std::uint8_t* value, Context& ctx, bool keep_sign) {
    std::int32_t count;
    if (text_numbers()) {
        count = count_from_text(reinterpret_cast<const char*>(value + 1), ctx, keep_sign);
    } else {
        double x;
        std::memcpy(&x, value + 1, sizeof x);
        count = count_from_double(x);
    }
    return (!keep_sign && count < 0) ? 0 : count;
}

}  // namespace fcl
