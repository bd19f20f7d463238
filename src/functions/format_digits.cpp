// FORMAT's digit string, from a double or from number text.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "functions/format_parts.h"
#include "interface/number_mode.h"
#include "platform/fcvt.h"

namespace fcl::format {

namespace {

// Beyond this many fraction positions 10^n leaves the double range; further positions get 0.
constexpr std::size_t kMaxScaledFraction = 300;

// Pads (or, on overflow, cuts) the integer digits to the integer positions. A picture without
// integer positions has no digit to mark, so its overflow shows no "*".
void align_integer(const char* raw, std::size_t raw_length, std::size_t positions, DigitString& digits) {
    if (raw_length <= positions) {
        const std::size_t pad = positions - raw_length;
        std::memset(digits.integer, '0', pad);
        std::memcpy(digits.integer + pad, raw, raw_length);
    } else {
        digits.overflow = true;
        std::memcpy(digits.integer, raw + (raw_length - positions), positions);
        if (positions > 0) digits.integer[0] = '*';
    }
    digits.integer[positions] = '\0';
}

// Fraction digits: those given, then zeros, exactly `positions` of them.
void set_fraction(const char* raw, std::size_t raw_length, std::size_t positions, DigitString& digits) {
    const std::size_t kept = raw_length < positions ? raw_length : positions;
    std::memcpy(digits.fraction, raw, kept);
    std::memset(digits.fraction + kept, '0', positions - kept);
    digits.fraction[positions] = '\0';
}

// Double-number mode. The value is first lifted at its 15th significant digit, so that a
// value stored just below a decimal boundary (0.29 as 0.28999...) keeps its digits.
void digits_from_double(double x, const PictureScan& scan, DigitString& digits) {
    if (!std::isfinite(x)) x = 0.0;  // no digits to show for NaN or an infinity
    if (x != 0.0) {
        platform::FixedDigits fixed;
        platform::fcvt(x, static_cast<int>(scan.fraction_positions), fixed);
        const double lift = std::pow(10.0, fixed.point - 15);
        x += x > 0.0 ? lift : -lift;
    }
    digits.negative = x < 0.0;
    const double magnitude = std::fabs(x);
    const double whole = std::floor(magnitude);
    char raw[kNumberTextSize];
    int raw_length = 0;
    if (whole >= 1.0) raw_length = std::snprintf(raw, sizeof raw, "%.0f", whole);
    align_integer(raw, static_cast<std::size_t>(raw_length), scan.integer_positions, digits);

    const std::size_t scaled = scan.fraction_positions < kMaxScaledFraction ? scan.fraction_positions
                                                                           : kMaxScaledFraction;
    raw_length = 0;
    if (scaled > 0) {
        const double fraction = std::floor((magnitude - whole) * std::pow(10.0, static_cast<double>(scaled)));
        raw_length = std::snprintf(raw, sizeof raw, "%0*.0f", static_cast<int>(scaled), fraction);
        // A fraction that rounds up to 10^n in the multiplication is still below 1: all nines.
        if (raw_length > static_cast<int>(scaled)) {
            std::memset(raw, '9', scaled);
            raw_length = static_cast<int>(scaled);
        }
    }
    set_fraction(raw, static_cast<std::size_t>(raw_length), scan.fraction_positions, digits);
}

// Text-number mode: the number written back in plain form, trailing fraction zeros removed.
void digits_from_text(const char* text, const PictureScan& scan, DigitString& digits, Context& ctx) {
    backend().from_str(ctx.number_scratch, text);
    char plain[kNumberTextSize];
    shaped_to_str(ctx.number_scratch, plain, sizeof plain, kStylePlain, -1);
    const char* p = plain;
    if (*p == '-') ++p;
    // Leading zeros are not integer digits (0.5 has none), as in double-number mode.
    while (*p == '0') ++p;
    const char* integer = p;
    while (*p >= '0' && *p <= '9') ++p;
    const std::size_t integer_length = static_cast<std::size_t>(p - integer);
    const char* fraction = *p == '.' ? p + 1 : p;
    std::size_t fraction_length = 0;
    while (fraction[fraction_length] >= '0' && fraction[fraction_length] <= '9') ++fraction_length;

    digits.negative = plain[0] == '-' && std::strpbrk(plain, "123456789") != nullptr;
    align_integer(integer, integer_length, scan.integer_positions, digits);
    set_fraction(fraction, fraction_length, scan.fraction_positions, digits);
}

}  // namespace

void build_digits(const Number& number, const PictureScan& scan, DigitString& digits, Context& ctx) {
    digits.negative = false;
    digits.overflow = false;
    if (text_numbers()) digits_from_text(number.text, scan, digits, ctx);
    else digits_from_double(number.value, scan, digits);
}

}  // namespace fcl::format
