#include "number/scaled_number.h"

#include <array>
#include <bit>
#include <cmath>

#include "number/backend.h"

namespace fcl::scaled {

namespace {

// Where decades -8 to 8 start: each entry is the smallest double at or above its power of ten,
// so that a magnitude at or above it is surely in that decade or higher (1e-7 and 1e-6 as
// written round down).
constexpr double kPowers[] = {1e-8, 1.0000000000000001e-07, 1.0000000000000002e-06, 1e-5, 1e-4, 1e-3,
                              1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
constexpr int kLowestDecade = -8;

// The decade e of magnitude, 10^e <= magnitude < 10^(e+1), for magnitudes from 10^-8 up to
// 10^8. For the binary exponents k of that range (-27 to 26), k * 1233 >> 12 is exactly
// floor(k log10 2), the decade of 2^k; the magnitude, below 2^(k+1), is in that decade or the
// next. (At k = -27 the magnitude's own lower bound, 10^-8, is the start of the decade.)
int decade(double magnitude) {
    const int binary = static_cast<int>(std::bit_cast<std::uint64_t>(magnitude) >> 52) - 1023;
    int e = (binary * 1233) >> 12;
    if (e < kLowestDecade) e = kLowestDecade;
    if (magnitude >= kPowers[e + 1 - kLowestDecade]) ++e;
    return e;
}

// Half a step of the sixteen-digit grid in decade e, in units: 10^(e-15) is 10^(e-7) units.
// A little under half, so that the once-rounded error compared with it cannot cross the bound.
constexpr double kHalfSteps[] = {0.49e-15, 0.49e-14, 0.49e-13, 0.49e-12, 0.49e-11, 0.49e-10,
                                 0.49e-9,  0.49e-8,  0.49e-7,  0.49e-6,  0.49e-5,  0.49e-4,
                                 0.49e-3,  0.49e-2,  0.49e-1,  0.49};

// 10^k for k = 0 to 17, and kLimit / 10^k: the numbers that still fit once raised by k places.
constexpr int kMostPlaces = 17;
constexpr auto kTens = [] {
    std::array<std::uint64_t, kMostPlaces + 1> tens{};
    tens[0] = 1;
    for (int k = 1; k <= kMostPlaces; ++k) tens[k] = tens[k - 1] * 10;
    return tens;
}();
constexpr auto kLimitOver = [] {
    std::array<std::uint64_t, kMostPlaces + 1> limits{};
    for (int k = 0; k <= kMostPlaces; ++k) limits[k] = (static_cast<std::uint64_t>(kLimit) + kTens[k] - 1) / kTens[k];
    return limits;
}();

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::uint64_t magnitude_of(std::int64_t s) {
    return s < 0 ? 0 - static_cast<std::uint64_t>(s) : static_cast<std::uint64_t>(s);
}

}  // namespace

// The sixteen digits of a magnitude in decade e end at 10^(e-15), which for e up to 7 divides
// 10^-8: every whole number of units is a point of that grid. The whole number nearest
// value * 10^8 is therefore the sixteen-digit rounding of value exactly when it lies within half
// a grid step of it. The product's error is formed exactly and rounded once: 10^8 has only 19
// significant bits, so the value's top 34 bits times 10^8 and its remaining 19 times 10^8 are
// both exact, and the first lies within a factor of two of the whole number it is compared with.
bool from_double(double value, std::int64_t& s) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e8)) return false;  // also the infinities and NaNs
    // Whole numbers and short binary fractions (at most eight binary places: 256ths, below 10^8
    // they have at most sixteen digits, so they are their own rounding) take a short way: a 256th
    // is 390625 units.
    const double in_256ths = value * 256;
    if (const auto count = static_cast<std::int64_t>(in_256ths); static_cast<double>(count) == in_256ths) {
        s = count * 390625;
        return true;
    }
    if (!(magnitude >= 1e-8)) return false;
    const double product = value * 1e8;
    const auto whole = static_cast<std::int64_t>(product + (product < 0 ? -0.5 : 0.5));
    if (whole <= -kLimit || whole >= kLimit) return false;
    constexpr std::uint64_t kLowBits = (std::uint64_t{1} << 19) - 1;
    const double high = std::bit_cast<double>(std::bit_cast<std::uint64_t>(value) & ~kLowBits);
    const double low = value - high;
    const double error = (high * 1e8 - static_cast<double>(whole)) + low * 1e8;
    if (!(std::fabs(error) < kHalfSteps[decade(magnitude) - kLowestDecade])) return false;
    s = whole;
    return true;
}

bool from_text(const char* text, std::int64_t& s) {
    const char* p = text;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // The digits as one whole number, its leading zeros skipped, times 10^power. More than 17
    // significant digits (which may have wrapped the sum around) are refused below.
    const char* const start = p;
    while (*p == '0') ++p;
    const char* const first = p;
    std::uint64_t digits = 0;
    for (; is_digit(*p); ++p) digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    std::ptrdiff_t significant = p - first;
    bool any = p != start;
    int power = 0;
    if (*p == '.') {
        const char* const fraction = ++p;
        if (digits == 0)
            while (*p == '0') ++p;
        const char* const counted = p;
        for (; is_digit(*p); ++p) digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        significant += p - counted;
        power = -static_cast<int>(p - fraction);
        any = any || p != fraction;
    }
    if (!any || significant > 17) return false;
    if (*p == 'e' || *p == 'E') {
        ++p;
        const bool down = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        if (!is_digit(*p)) return false;
        int exponent = 0;
        for (; is_digit(*p); ++p)
            if ((exponent = exponent * 10 + (*p - '0')) > 100) return false;
        power += down ? -exponent : exponent;
    }
    if (*p != 0) return false;
    // To units: up by power + 8 places, or down, which must leave no remainder.
    power += 8;
    if (digits == 0) {
        s = 0;
        return true;
    }
    if (power < 0) {
        if (power < -kMostPlaces || digits % kTens[-power] != 0) return false;
        digits /= kTens[-power];
    } else if (power > 0) {
        if (power > kMostPlaces || digits >= kLimitOver[power]) return false;
        digits *= kTens[power];
    }
    if (digits >= static_cast<std::uint64_t>(kLimit)) return false;
    s = negative ? -static_cast<std::int64_t>(digits) : static_cast<std::int64_t>(digits);
    return true;
}

// x * y / 10^8, whole when x * y is a multiple of 10^8 = 2^8 * 5^8: its low 8 bits are 0 and
// what is left, m, is a multiple of 5^8. For odd d, m * d^-1 mod 2^128 is m / d when d divides
// m and above (2^128 - 1) / d, far above any held number, when it does not; so one product
// divides, and the limit check refuses both a product that does not fit and one that is not
// whole.
__extension__ using Wide = unsigned __int128;
constexpr Wide kFivePower = 390'625;  // 5^8
constexpr Wide kFivePowerInverse = [] {
    Wide inverse = kFivePower;  // right in its low 3 bits; each step doubles the right bits
    for (int i = 0; i < 6; ++i) inverse *= 2 - kFivePower * inverse;
    return inverse;
}();
static_assert(kFivePower * kFivePowerInverse == 1);
static_assert(~Wide{0} / kFivePower > static_cast<std::uint64_t>(kLimit));

bool mul(std::int64_t a, std::int64_t b, std::int64_t& r) {
    const Wide p = static_cast<Wide>(magnitude_of(a)) * magnitude_of(b);
    if ((static_cast<std::uint64_t>(p) & 0xFF) != 0) return false;
    const Wide quotient = (p >> 8) * kFivePowerInverse;
    if (quotient >= static_cast<std::uint64_t>(kLimit)) return false;
    const auto product = static_cast<std::int64_t>(quotient);
    r = (a < 0) != (b < 0) ? -product : product;
    return true;
}

// The quotient is whole in units when a * 10^8 is a multiple of b.
bool div(std::int64_t a, std::int64_t b, std::int64_t& r) {
    if (b == 0) return false;
    const Wide dividend = static_cast<Wide>(magnitude_of(a)) * static_cast<std::uint64_t>(kUnit);
    const std::uint64_t divisor = magnitude_of(b);
    const Wide quotient = dividend / divisor;
    if (quotient * divisor != dividend || quotient >= static_cast<std::uint64_t>(kLimit)) return false;
    const auto q = static_cast<std::int64_t>(quotient);
    r = (a < 0) != (b < 0) ? -q : q;
    return true;
}

bool from_payload(const char* text, std::int64_t& s) { return backend().payload_round_trips && from_text(text, s); }

}  // namespace fcl::scaled
