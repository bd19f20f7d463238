#include "platform/format_double.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace fcl::platform {

namespace {

constexpr int kMaxScaleDigits = 19;  // the largest power of ten in 64 bits

constexpr std::uint64_t power_of_ten(int n) {
    std::uint64_t value = 1;
    while (n-- > 0) value *= 10;
    return value;
}

struct PowersOfTen {
    std::uint64_t value[kMaxScaleDigits + 1];
};

constexpr PowersOfTen make_powers() {
    PowersOfTen powers{};
    for (int n = 0; n <= kMaxScaleDigits; ++n) powers.value[n] = power_of_ten(n);
    return powers;
}

constexpr PowersOfTen kPowers = make_powers();

constexpr int kMaxFivePower = 27;  // the largest power of five in 64 bits

struct PowersOfFive {
    std::uint64_t value[kMaxFivePower + 1];
};

constexpr PowersOfFive make_fives() {
    PowersOfFive powers{};
    std::uint64_t value = 1;
    for (int n = 0; n <= kMaxFivePower; ++n, value *= 5) powers.value[n] = value;
    return powers;
}

constexpr PowersOfFive kFives = make_fives();

// Values whose whole decimal expansion has at most `digits` significant digits (whole numbers,
// halves, quarters and the like, the usual field values) need no rounding: m * 2^k is
// m * 5^-k / 10^-k, so the digits are one multiplication away. False for the others.
bool exact_digits(std::uint64_t m, int k, int digits, std::uint64_t& significand, int& exponent) {
    const int zeros = std::countr_zero(m);
    m >>= zeros;
    k += zeros;
    if (k > 10 || k < -kMaxFivePower) return false;
    // value = whole / 10^scale exactly, with m below 2^53 so that a whole number fits in 64 bits.
    const unsigned __int128 whole = k >= 0 ? static_cast<unsigned __int128>(m) << k
                                           : static_cast<unsigned __int128>(m) * kFives.value[-k];
    const int scale = k >= 0 ? 0 : -k;
    if (whole >= kPowers.value[digits]) return false;
    const auto n = static_cast<std::uint64_t>(whole);
    // Its digit count: the estimate from the bit length is the true one or one above it.
    int count = (std::bit_width(n) * 1233 >> 12) + 1;
    if (n < kPowers.value[count - 1]) --count;
    significand = n * kPowers.value[digits - count];
    exponent = count - 1 - scale;
    return true;
}

// n shifted right by `shift` (1 to 127); round_up tells whether rounding the bits shifted out
// half to even, as printf rounds, adds one.
unsigned __int128 shift_out(unsigned __int128 n, int shift, bool& round_up) {
    const unsigned __int128 whole = n >> shift;
    const unsigned __int128 rest = n & ((static_cast<unsigned __int128>(1) << shift) - 1);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    round_up = rest > half || (rest == half && (whole & 1) != 0);
    return whole;
}

}  // namespace

// value = m * 2^k, so value * 10^decimals is m * 10^decimals (below 2^117) shifted by k, which
// stays below 2^128 for a value below 2^64.
bool fixed_units(double value, int decimals, unsigned __int128& units) {
    if (decimals < 0 || decimals > kMaxScaleDigits || !(std::fabs(value) < 0x1p64)) return false;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int k = biased == 0 ? -1074 : biased - 1075;
    const unsigned __int128 scaled = static_cast<unsigned __int128>(m) * kPowers.value[decimals];
    if (k >= 0) {
        units = scaled << k;
    } else if (k <= -128) {
        units = 0;  // below 2^117 / 2^128: less than a half
    } else {
        bool round_up = false;
        units = shift_out(scaled, -k, round_up) + (round_up ? 1 : 0);
    }
    return true;
}

// Computed exactly in 128 bits: value = m * 2^k, scaled by 10^p so that `digits` digits stand
// before the point, then rounded half to even on the bits shifted out, as printf rounds.
bool scientific_digits(double value, int digits, std::uint64_t& significand, int& exponent) {
    if (digits < 1 || digits > 18) return false;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0 || biased == 0x7FF) return false;
    const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int k = biased - 1075;
    if (exact_digits(m, k, digits, significand, exponent)) return true;
    // 10^exponent <= |value| < 10^(exponent + 1): the estimate from the binary exponent is the
    // true one or one below it (78913 / 2^18 is just under log10(2)).
    exponent = ((k + 52) * 78913) >> 18;
    for (int attempt = 0; attempt < 2; ++attempt, ++exponent) {
        const int p = digits - 1 - exponent;
        if (p < 0 || p > kMaxScaleDigits || k < -120) return false;
        const unsigned __int128 scaled = static_cast<unsigned __int128>(m) * kPowers.value[p];
        unsigned __int128 whole = scaled;
        bool round_up = false;
        if (k >= 0) {
            if (k > 10) return false;
            whole <<= k;
        } else {
            whole = shift_out(scaled, -k, round_up);
        }
        if (whole >= kPowers.value[digits]) continue;  // the estimate was one low
        significand = static_cast<std::uint64_t>(whole) + (round_up ? 1 : 0);
        if (significand == kPowers.value[digits]) {  // rounded up to the next power
            significand = kPowers.value[digits - 1];
            ++exponent;
        }
        return true;
    }
    return false;
}

namespace {

// Writes the significand's digits with the point after the first, then the exponent in at
// least two digits, as printf does; returns the end.
char* write_scientific(char* p, bool negative, std::uint64_t significand, int digits, int exponent) {
    if (negative) *p++ = '-';
    char number[kMaxScaleDigits + 1];
    for (int i = digits - 1; i >= 0; --i, significand /= 10) number[i] = static_cast<char>('0' + significand % 10);
    *p++ = number[0];
    if (digits > 1) {
        *p++ = '.';
        std::memcpy(p, number + 1, static_cast<std::size_t>(digits - 1));
        p += digits - 1;
    }
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) *p++ = '0';
    return std::to_chars(p, p + 4, magnitude).ptr;
}

}  // namespace

void format_double(char* out, std::size_t out_size, const char* format, double value) {
    if (out_size == 0) return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (std::snprintf(out, out_size, format, value) < 0) out[0] = '\0';
#pragma GCC diagnostic pop
}

// Outside the exact fast path, std::to_chars with a precision writes the digits printf writes,
// correctly rounded. The C runtimes differ in how they write a NaN's sign, so the infinities and
// NaNs are left to printf itself.
void format_scientific(char* out, std::size_t out_size, int decimals, double value) {
    if (out_size == 0) return;
    const int precision = std::clamp(decimals, 0, 17);
    if (!std::isfinite(value)) {
        char format[8];
        std::snprintf(format, sizeof format, "%%.%de", precision);
        format_double(out, out_size, format, value);
        return;
    }
    char text[32];  // sign, digit, point, 17 decimals, "e-308"
    std::uint64_t significand = 0;
    int exponent = 0;
    char* end = scientific_digits(value, precision + 1, significand, exponent)
                    ? write_scientific(text, std::signbit(value), significand, precision + 1, exponent)
                    : std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, precision).ptr;
    const std::size_t length = std::min(static_cast<std::size_t>(end - text), out_size - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
}

}  // namespace fcl::platform
