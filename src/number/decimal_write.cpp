// Decimal numbers to text: the plain, scientific and digit-string forms.
#include <bit>
#include <charconv>
#include <cstring>

#include "number/backend.h"
#include "number/decimal.h"

namespace fcl::decimal {

namespace {

// The longest text is a plain one: sign, "0.", 127 limbs of zeros and 48 digits (or 48
// digits and 127 limbs of zeros). The other forms stay below 64 bytes.
constexpr std::size_t kPlainTextMax = 3 + kLimbDigits * (-kLowestExponent) + kLimbDigits * kLimbs + 1;
// Sign, 48 digits, ".", "e" and an exponent of at most 11 characters.
constexpr std::size_t kShortTextMax = 1 + kLimbDigits * kLimbs + 1 + 1 + 11;

struct DigitPairs {
    char text[200];
};

constexpr DigitPairs make_pairs() {
    DigitPairs pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs.text[2 * i] = static_cast<char>('0' + i / 10);
        pairs.text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}

constexpr DigitPairs kPairs = make_pairs();

// (A pair's place in the table is worked out in 64 bits, so that it folds into the load's
// address.)
char* put_pair(char* p, std::size_t value) {
    std::memcpy(p, &kPairs.text[2 * value], 2);
    return p + 2;
}

// A limb as exactly eight digits, pair by pair from the table. (A run of whole limbs goes
// quicker this way than through the split in a word below, which serves the highest limb,
// whose digits are written in one piece however many there are.)
char* put_limb(char* p, std::uint32_t limb) {
    const std::uint32_t high = limb / 10000;
    const std::uint32_t low = limb % 10000;
    p = put_pair(p, high / 100);
    p = put_pair(p, high % 100);
    p = put_pair(p, low / 100);
    return put_pair(p, low % 100);
}

// Digits in words, the first in the lowest byte. A number is split into pairs of digits
// (hundreds and the rest, in 16-bit lanes), and each pair into two digits (tens and units, in
// bytes), every split done in all lanes at once by a multiplication. The quotients are exact
// over the lanes' ranges: x * 5243 >> 19 is x / 100 for x below 43699, and x * 103 >> 10 is
// x / 10 for x below 179; the products stay inside their lanes. A split puts quotient q and
// rest x - q * d side by side as (x << w) - q * ((d << w) - 1), which is q + ((x - q * d) << w)
// with the rest's lane never negative, so nothing borrows across lanes.
static_assert(std::endian::native == std::endian::little);

// Pairs in 16-bit lanes as their digits; lanes with no pair give '0's.
std::uint64_t pair_digits(std::uint64_t pairs) {
    const std::uint64_t tens = (pairs * 103) >> 10 & 0x000F000F000F000Full;
    return (pairs << 8) - tens * ((10 << 8) - 1) + 0x3030303030303030ull;
}

// Numbers below 10000 in 32-bit lanes as their pairs.
std::uint64_t quarter_pairs(std::uint64_t quarters) {
    const std::uint64_t hundreds = (quarters * 5243) >> 19 & 0x0000007F0000007Full;
    return (quarters << 16) - hundreds * ((100 << 16) - 1);
}

// The eight digits of a limb: its two halves of four digits go to the two 32-bit lanes of a
// word.
std::uint64_t limb_text(std::uint32_t limb) {
    const std::uint64_t high = limb / 10000;
    return pair_digits(quarter_pairs((std::uint64_t{limb} << 32) - high * ((std::uint64_t{10000} << 32) - 1)));
}

// The four digits of a number below 10000, in the low half of the word.
std::uint64_t quarter_text(std::uint32_t value) { return pair_digits(quarter_pairs(value)); }

// The low `length` bytes of `word` (1 to 8), in two stores that overlap in the middle, so
// that nothing is written beyond them.
char* put_bytes(char* p, std::uint64_t word, int length) {
    if (length >= 4) {
        const auto first = static_cast<std::uint32_t>(word);
        const auto last = static_cast<std::uint32_t>(word >> (8 * (length - 4)));
        std::memcpy(p, &first, sizeof first);
        std::memcpy(p + length - 4, &last, sizeof last);
    } else if (length >= 2) {
        const auto first = static_cast<std::uint16_t>(word);
        const auto last = static_cast<std::uint16_t>(word >> (8 * (length - 2)));
        std::memcpy(p, &first, sizeof first);
        std::memcpy(p + length - 2, &last, sizeof last);
    } else {
        *p = static_cast<char>(word);
    }
    return p + length;
}

// The digits of a limb without its leading zeros (at least one digit). The count comes from
// comparisons rather than from the digits, so the places of everything written after the
// limb do not wait for its conversion; they count down from eight, the most common count.
int digit_count(std::uint32_t limb) {
    int digits = kLimbDigits;
    while (digits > 1 && limb < kPowersOfTen[digits - 1]) --digits;
    return digits;
}

// The digits of a limb without leading zeros, `digits` of them (from digit_count()), in the
// low bytes of a word; the bytes above them are no part of the text.
inline std::uint64_t short_limb_text(std::uint32_t limb, int digits) {
    // A highest limb is often short, and then needs only its last pair or its low half.
    if (digits <= 2) return pair_digits(limb) >> (8 * (2 - digits));
    if (digits <= 4) return quarter_text(limb) >> (8 * (4 - digits));
    return limb_text(limb) >> (8 * (kLimbDigits - digits));
}

// A limb without leading zeros.
inline char* put_limb_short(char* p, std::uint32_t limb) {
    const int digits = digit_count(limb);
    return put_bytes(p, short_limb_text(limb, digits), digits);
}

// Every digit of the limbs, the highest limb without leading zeros. The lower limbs are
// placed back from the end, so that reading them waits for neither the count nor the highest
// limb. When a limb follows the highest, its eight digits cover whatever of the highest
// limb's word is not the highest limb's own, so that word is stored whole.
inline char* put_digits(char* p, const Number& x) {
    const std::uint32_t highest = x.limb[x.count - 1];
    const int digits = digit_count(highest);
    const std::uint64_t text = short_limb_text(highest, digits);
    char* const end = p + digits + kLimbDigits * (x.count - 1);
    if (x.count == 1) return put_bytes(p, text, digits);
    std::memcpy(p, &text, sizeof text);
    for (int i = 0; i < x.count - 1; ++i) put_limb(end - kLimbDigits * (i + 1), x.limb[i]);
    return end;
}

char* put_exponent(char* p, int exponent) {
    *p++ = 'e';
    return std::to_chars(p, p + 12, exponent).ptr;
}

// The end of the digit string for every stored limb exponent e: "e<8 * e>" (at most six
// characters, none for exponent 0) and the NUL, the first character in the lowest byte, and
// the length without the NUL in the top byte.
struct LimbExponents {
    std::uint64_t text[kHighestExponent - kLowestExponent + 1];
};

constexpr LimbExponents make_limb_exponents() {
    LimbExponents exponents{};
    for (int e = kLowestExponent; e <= kHighestExponent; ++e) {
        char text[8] = {};
        int length = 0;
        if (e != 0) text[length++] = 'e';
        if (e < 0) text[length++] = '-';
        int magnitude = e < 0 ? -e * kLimbDigits : e * kLimbDigits;
        char digits[4];
        int count = 0;
        for (; magnitude != 0; magnitude /= 10) digits[count++] = static_cast<char>('0' + magnitude % 10);
        while (count > 0) text[length++] = digits[--count];
        std::uint64_t word = static_cast<std::uint64_t>(length) << 56;
        for (int i = 0; i < length; ++i) word |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
        exponents.text[e - kLowestExponent] = word;
    }
    return exponents;
}

constexpr LimbExponents kLimbExponents = make_limb_exponents();

// The exponent of the digit string (none for exponent 0) and the NUL, from the table for a
// stored number's exponents; returns the place of the NUL.
char* end_digit_string(char* p, int exponent) {
    if (exponent < kLowestExponent || exponent > kHighestExponent) {
        p = put_exponent(p, exponent * kLimbDigits);
        *p = '\0';
        return p;
    }
    const std::uint64_t word = kLimbExponents.text[exponent - kLowestExponent];
    const auto length = static_cast<int>(word >> 56);
    put_bytes(p, word, length + 1);
    return p + length;
}

char* put_zeros(char* p, int limbs) {
    const auto count = static_cast<std::size_t>(limbs) * kLimbDigits;
    std::memset(p, '0', count);
    return p + count;
}

char* trim_fraction(char* p) {
    while (p[-1] == '0') --p;
    if (p[-1] == '.') --p;
    return p;
}

std::size_t write_plain(const Number& x, char* text) {
    char* p = text;
    if (x.negative) *p++ = '-';
    const int whole_limbs = x.count + x.exponent;
    if (whole_limbs <= 0) {
        *p++ = '0';
        *p++ = '.';
        p = put_zeros(p, -whole_limbs);
    }
    for (int i = x.count - 1; i >= 0; --i) {
        p = i == x.count - 1 && whole_limbs > 0 ? put_limb_short(p, x.limb[i]) : put_limb(p, x.limb[i]);
        if (i + x.exponent == 0 && i > 0) *p++ = '.';
    }
    if (x.exponent > 0) p = put_zeros(p, x.exponent);
    if (x.exponent < 0) p = trim_fraction(p);
    return static_cast<std::size_t>(p - text);
}

std::size_t write_scientific(const Number& x, char* text) {
    char* p = text;
    if (x.negative) *p++ = '-';
    // The digits go one place further on; the first moves back in front of the point.
    char* const end = put_digits(p + 1, x);
    const auto count = static_cast<int>(end - (p + 1));
    p[0] = p[1];
    if (count > 1) {
        p[1] = '.';
        p = trim_fraction(end);
    } else {
        p = end - 1;
    }
    p = put_exponent(p, count - 1 + x.exponent * kLimbDigits);
    return static_cast<std::size_t>(p - text);
}

// The digit string and its NUL; returns the length without the NUL.
inline std::size_t write_digit_string(const Number& x, char* text) {
    char* p = text;
    if (x.negative) *p++ = '-';
    p = put_digits(p, x);
    p = end_digit_string(p, x.exponent);
    return static_cast<std::size_t>(p - text);
}

// The forms written through `text`, then cut to the caller's buffer: zero, the plain and
// scientific forms, and a digit string too long for the buffer.
void write_bounced(const Number& x, char* out, std::size_t out_size, std::int32_t style) {
    if (out_size == 0) return;
    char text[kPlainTextMax];
    std::size_t length = 1;
    if (x.count == 0) {
        text[0] = '0';
    } else if (style < 1) {
        length = write_plain(x, text);
        if (length >= out_size) length = write_digit_string(x, text);
    } else if (style == kStyleScientific) {
        length = write_scientific(x, text);
    } else {
        length = write_digit_string(x, text);
    }
    if (length >= out_size) length = out_size - 1;
    std::memcpy(out, text, length);
    out[length] = '\0';
}

}  // namespace

// The digits argument of ToStr plays no part in this backend's forms. A plain form too long
// for the caller's buffer (with the library's 720-byte text buffers, only magnitudes beyond
// about 10^700 or below 10^-700) is written as the digit string instead, which keeps the
// value exact; a buffer too small even for that gets the text cut to fit.
void write_text(const Number& x, char* out, std::size_t out_size, std::int32_t style) {
    // The digit string (the payload form) stays below 64 bytes and writes no byte beyond
    // its end: with room for it, it goes straight into the caller's buffer, without the
    // bounce through `text`. (The scientific form trims digits it has already written, so
    // it keeps the bounce and leaves the caller's bytes after the text untouched.)
    if (x.count != 0 && style >= 1 && style != kStyleScientific && out_size > kShortTextMax) {
        write_digit_string(x, out);
        return;
    }
    write_bounced(x, out, out_size, style);
}

// The number is one limb (the whole part, exponent 0, when the fraction limb is zero; the
// fraction limb, exponent -1, when the whole part is zero) or the two limbs at exponent -1.
std::size_t write_units(std::int64_t units, char* out) {
    const auto value = static_cast<std::uint64_t>(units);
    const std::uint64_t magnitude = units < 0 ? 0 - value : value;
    const auto whole = static_cast<std::uint32_t>(magnitude / kBase);
    const auto fraction = static_cast<std::uint32_t>(magnitude % kBase);
    char* p = out;
    if (magnitude == 0) {
        *p++ = '0';
        *p = '\0';
        return 1;
    }
    if (units < 0) *p++ = '-';
    if (fraction == 0) p = put_limb_short(p, whole);
    else p = whole == 0 ? put_limb_short(p, fraction) : put_limb(put_limb_short(p, whole), fraction);
    return static_cast<std::size_t>(end_digit_string(p, fraction == 0 ? 0 : -1) - out);
}

}  // namespace fcl::decimal
