// Decimal numbers from text, from 32-bit integers and from doubles.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "number/decimal.h"
#include "platform/format_double.h"

namespace fcl::decimal {

namespace {

// Exponents far outside the stored range are held at this distance while reading: from
// there no multiplication or division by 10^r can bring the number back, so store() settles
// it exactly as it would the true exponent.
constexpr std::int64_t kFarExponent = 1 << 20;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Eight digits as a number, all at once in the bytes of one word: neighbouring digits are
// paired into two-digit values, then those into four- and eight-digit ones. (The first
// digit is the lowest byte on a little-endian machine.)
std::uint32_t eight_digits_value(const char* digits) {
    static_assert(std::endian::native == std::endian::little);
    std::uint64_t word;
    std::memcpy(&word, digits, sizeof word);
    word -= 0x3030303030303030ull;
    word = word * 10 + (word >> 8);
    constexpr std::uint64_t kLowBytes = 0x000000FF000000FFull;
    constexpr std::uint64_t kHundreds = 100 + (std::uint64_t{1000000} << 32);
    constexpr std::uint64_t kUnits = 1 + (std::uint64_t{10000} << 32);
    return static_cast<std::uint32_t>(((word & kLowBytes) * kHundreds + (word >> 16 & kLowBytes) * kUnits) >> 32);
}

// The digits text[begin, end), at most eight, as a number.
std::uint32_t digits_value(const char* text, std::size_t begin, std::size_t end) {
    if (end - begin == kLimbDigits) return eight_digits_value(text + begin);
    std::uint32_t value = 0;
    for (std::size_t i = begin; i < end; ++i) value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    return value;
}

// A fraction group: the digits text[begin, end) padded with zeros on the right to eight.
std::uint32_t group_value(const char* text, std::size_t begin, std::size_t end) {
    return digits_value(text, begin, end) * kPowersOfTen[kLimbDigits - (end - begin)];
}

std::size_t groups_of(std::size_t digits) { return (digits + kLimbDigits - 1) / kLimbDigits; }

// The digit runs of a number text: the integer digits after the leading zeros, and the
// fraction digits up to the last non-zero one.
struct DigitRuns {
    const char* integer;
    std::size_t integer_length;
    const char* fraction;
    std::size_t fraction_length;
};

// An integer part, eight digits to a limb counted from its last digit. Of more than six
// limbs the lowest are dropped (their number is returned, to be added to the exponent) and
// there is no room for a fraction. Otherwise the fraction takes the limbs still free below
// the point, eight digits each, the last group padded with zeros; further digits are
// ignored. A zero lowest limb is left for normalise(), with the same result as raising the
// exponent for it while reading.
std::int64_t read_integer_part(Number& x, const DigitRuns& runs) {
    const std::size_t groups = groups_of(runs.integer_length);
    const std::size_t dropped = groups > kLimbs ? groups - kLimbs : 0;
    const int integer_limbs = static_cast<int>(groups - dropped);
    const auto room = static_cast<std::size_t>(kLimbs - integer_limbs);
    const std::size_t fraction_groups = groups_of(runs.fraction_length);
    const int fraction_limbs = static_cast<int>(fraction_groups < room ? fraction_groups : room);
    for (int i = 0; i < integer_limbs; ++i) {
        const std::size_t end = runs.integer_length - kLimbDigits * (dropped + static_cast<std::size_t>(i));
        x.limb[fraction_limbs + i] = digits_value(runs.integer, end > kLimbDigits ? end - kLimbDigits : 0, end);
    }
    for (int i = 0; i < fraction_limbs; ++i) {
        const std::size_t begin = static_cast<std::size_t>(i) * kLimbDigits;
        const std::size_t end = begin + kLimbDigits < runs.fraction_length ? begin + kLimbDigits : runs.fraction_length;
        x.limb[fraction_limbs - 1 - i] = group_value(runs.fraction, begin, end);
    }
    x.count = integer_limbs + fraction_limbs;
    x.exponent = -fraction_limbs;
    return static_cast<std::int64_t>(dropped);
}

// A fraction with no integer part: six limbs under the point, filled from the top. Leading
// all-zero groups lower the exponent instead of using up a limb; their number is returned
// negated, to be added to the exponent.
std::int64_t read_fraction_only(Number& x, const DigitRuns& runs) {
    const char* digits = runs.fraction;
    const std::size_t length = runs.fraction_length;
    const std::size_t groups = groups_of(length);
    std::size_t group = 0;
    // The last group holds the last non-zero digit: only the whole groups before it can be
    // all zeros.
    while (group + 1 < groups && digits_value(digits, group * kLimbDigits, group * kLimbDigits + kLimbDigits) == 0)
        ++group;
    const std::size_t leading_zero_groups = group;
    x.count = kLimbs;
    x.exponent = -kLimbs;
    for (int i = kLimbs - 1; i >= 0 && group < groups; --i, ++group) {
        const std::size_t begin = group * kLimbDigits;
        const std::size_t end = begin + kLimbDigits < length ? begin + kLimbDigits : length;
        x.limb[i] = group_value(digits, begin, end);
    }
    return -static_cast<std::int64_t>(leading_zero_groups);
}

// The exponent after "e", read as atoi reads (leading white space, a sign, digits) but
// saturating at the limits of a 32-bit integer instead of overflowing.
std::int64_t read_exponent(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const bool minus = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    std::int64_t value = 0;
    for (; is_digit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) value = INT32_MAX + std::int64_t{1};
    }
    if (minus) return -value;
    return value > INT32_MAX ? INT32_MAX : value;
}

}  // namespace

void read_text(Number& x, const char* text) {
    x = kZero;
    const char* p = text;
    while (*p == ' ') ++p;
    const bool minus = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    while (*p == '0') ++p;
    DigitRuns runs{p, 0, p, 0};
    while (is_digit(*p)) ++p;
    runs.integer_length = static_cast<std::size_t>(p - runs.integer);
    if (*p == '.') {
        runs.fraction = ++p;
        const char* fraction_end = p;  // just after the last non-zero digit
        for (; is_digit(*p); ++p)
            if (*p != '0') fraction_end = p + 1;
        runs.fraction_length = static_cast<std::size_t>(fraction_end - runs.fraction);
    }
    const std::int64_t shift = runs.integer_length != 0 ? read_integer_part(x, runs) : read_fraction_only(x, runs);
    normalise(x);  // also a long integer whose lowest kept limb is zero
    if (x.count == 0) return;
    x.negative = minus;

    std::int64_t power = 0;
    if (*p == 'e' || *p == 'E') power = read_exponent(p + 1);
    std::int64_t exponent = x.exponent + shift + power / kLimbDigits;
    if (exponent > kFarExponent) exponent = kFarExponent;
    if (exponent < -kFarExponent) exponent = -kFarExponent;
    x.exponent = static_cast<int>(exponent);
    const auto rest = static_cast<int>((power < 0 ? -power : power) % kLimbDigits);
    if (rest == 0) return;
    const Number scale{{kPowersOfTen[rest]}, 1, 0, false};
    if (power > 0)
        multiply(x, scale);
    else
        divide(x, scale);
}

void from_integer(Number& x, std::int32_t value) {
    x = kZero;
    if (value == 0) return;
    // The magnitude in unsigned arithmetic, so the most negative integer is exact too.
    const std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    const std::uint32_t low = magnitude % kBase;
    const std::uint32_t high = magnitude / kBase;
    if (low == 0) {
        x.limb[0] = high;
        x.count = 1;
        x.exponent = 1;
    } else {
        x.limb[0] = low;
        x.limb[1] = high;
        x.count = high != 0 ? 2 : 1;
    }
    x.negative = value < 0;
}

// A double whose whole decimal expansion has at most 16 significant digits and at most
// eight binary fraction digits (whole numbers below 10^16, halves, quarters and the like, the
// values hosts mostly pass): its 16 rounded digits are its exact value, so the number is built
// from that value without generating digits, straight into its normal form. Scaled by 2^8,
// such a double is a whole number t (exactly: the scaling only moves the binary point, and t
// stays below 2^62), of which t >> 8 is the whole part and (t mod 2^8) / 2^8, which is
// (t mod 2^8) * 390625 / 10^8, the fraction. False for every other value, having written
// nothing.
bool short_double(double value, ShortNumber& x) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e16)) return false;  // also the infinities and NaNs
    const double scaled = magnitude * 256;
    const auto t = static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled));
    if (static_cast<double>(t) != scaled) return false;
    if (t == 0) {  // either zero: "%.15e" writes no non-zero digit
        x = ShortNumber{};
        return true;
    }
    const std::uint64_t whole = t >> 8;
    const auto fraction = static_cast<std::uint32_t>(t & 0xFF);
    const std::uint64_t low = whole % kBase;
    const std::uint64_t high = whole / kBase;
    x.negative = std::signbit(value);
    if (fraction == 0) {
        // One or two limbs, or a limb with exponent 1 when the low eight digits are zeros.
        if (low == 0) {
            x.low_limbs = high;
            x.third_limb = 0;
            x.count = 1;
            x.exponent = 1;
        } else {
            x.low_limbs = high << 32 | low;
            x.third_limb = 0;
            x.count = high != 0 ? 2 : 1;
            x.exponent = 0;
        }
        return true;
    }
    // The fraction has 8 - z digits, the last not zero, for the z trailing zero bits of
    // `fraction`, which leaves the whole part 8 + z of the 16: its high limb is below 10^z.
    // The fraction limb, the lowest, is not zero.
    if (high >= kPowersOfTen[std::countr_zero(fraction)]) return false;
    x.low_limbs = low << 32 | fraction * (kBase >> 8);
    x.third_limb = static_cast<std::uint32_t>(high);
    x.count = high != 0 ? 3 : low != 0 ? 2 : 1;
    x.exponent = -1;
    return true;
}

// Any double: its 16 digits rounded as "%.15e" rounds them, read as that text reads (NaN and
// the infinities have no digits and read as zero). Where the digits are known without the
// text, the number is built from them: 16 digits times 10^power hold exactly in three limbs,
// and the normal form of an exact value is the one the text reads as.
void from_rounded_double(Number& x, double value) {
    constexpr int kDigits = 16;
    std::uint64_t significand = 0;
    int exponent = 0;
    if (platform::scientific_digits(value, kDigits, significand, exponent)) {
        const int power = exponent - (kDigits - 1);
        const int limbs = power >= 0 ? power / kLimbDigits : -((kLimbDigits - 1 - power) / kLimbDigits);
        // The 16 digits are two limbs; the shift to a whole limb exponent spreads them over three.
        const std::uint64_t shift = kPowersOfTen[power - limbs * kLimbDigits];
        const std::uint64_t low = significand % kBase * shift;
        const std::uint64_t high = significand / kBase * shift + low / kBase;
        x = kZero;
        x.limb[0] = static_cast<std::uint32_t>(low % kBase);
        x.limb[1] = static_cast<std::uint32_t>(high % kBase);
        x.limb[2] = static_cast<std::uint32_t>(high / kBase);
        x.count = 3;
        x.exponent = limbs;
        normalise(x);
        x.negative = std::signbit(value);
        return;
    }
    char text[48];
    platform::format_scientific(text, sizeof text, 15, value);
    read_text(x, text);
}

}  // namespace fcl::decimal
