// The decimal backend's slots: each loads its operands from the caller's bytes, works on
// local copies and stores the normalised result (type code 5, 28-byte numbers).
#include <bit>
#include <cstddef>
#include <cstring>

#include "number/backend.h"
#include "number/decimal.h"

namespace fcl {

namespace {

using decimal::load;
using decimal::Number;
using decimal::store;

void to_str(const void* number, char* out, std::size_t out_size, std::int32_t style, std::int32_t) {
    decimal::write_text(load(number), out, out_size, style);
}

void from_int(void* number, std::int32_t value) {
    Number x;
    decimal::from_integer(x, value);
    store(number, x);
}

std::int32_t comp(const void* a, const void* b) { return decimal::compare(load(a), load(b)); }
std::int32_t is_zero(const void* a) { return load(a).count == 0 ? 1 : 0; }
void zero(void* a) { store(a, decimal::kZero); }
void min(void* a) { store(a, decimal::extreme(true)); }
void max(void* a) { store(a, decimal::extreme(false)); }

void neg(void* a) {
    Number x = load(a);
    x.negative = !x.negative && x.count != 0;
    store(a, x);
}

void int_part(void* a) {
    Number x = load(a);
    decimal::truncate(x);
    store(a, x);
}

// Sums, differences and products of the common operands, worked on the stored bytes to the
// very result the Number arithmetic gives: every other case goes through load(), that
// arithmetic and store(). The limbs are read as words of two 32-bit lanes, limb 2j in the low
// lane of word j, and sums and differences use the lane arithmetic of decimal_arith.cpp.
using decimal::kBiasedLanes;
using decimal::kLaneBias;
using decimal::kLimbs;
constexpr std::uint64_t kLaneOnes = std::uint64_t{1} << 32 | 1;
constexpr std::uint64_t kLowLane = 0xFFFFFFFF;
constexpr int kLaneBits = 32;
constexpr std::size_t kLimbsAt = offsetof(decimal::Stored, limb);

static_assert(std::endian::native == std::endian::little);

// The limbs as three words of lanes, held in plain variables rather than an array so that
// they stay in registers from the reads to the store.
struct Lanes {
    std::uint64_t w0, w1, w2;
};

// Two words as one 16-byte value.
using WordPair [[gnu::vector_size(16)]] = std::uint64_t;

// The header fields of stored bytes, read the way load() reads them.
struct Header {
    std::uint32_t count;
    bool negative;
    int exponent;
};

Header header_of(const void* source) {
    std::uint32_t header;
    std::memcpy(&header, source, sizeof header);
    return {header & 0xFF, (header & 0xFF00) != 0, static_cast<std::int8_t>(header >> 16)};
}

// Word j of the stored limbs.
std::uint64_t word_of(const void* source, int j) {
    std::uint64_t word;
    std::memcpy(&word, static_cast<const std::uint8_t*>(source) + kLimbsAt + sizeof word * static_cast<std::size_t>(j),
                sizeof word);
    return word;
}

// Single header bytes, for choosing a path before the rest is read.
std::uint32_t count_of(const void* source) {
    return static_cast<const std::uint8_t*>(source)[offsetof(decimal::Stored, count)];
}
std::uint32_t exponent_byte(const void* source) {
    return static_cast<const std::uint8_t*>(source)[offsetof(decimal::Stored, exponent)];
}

// Whether both counts are at most 2: numbers whose limbs fit in word 0. (A count of 0, the
// value zero, fails the limb check that follows.)
bool both_short(std::uint32_t count_a, std::uint32_t count_b) { return count_a <= 2 && count_b <= 2; }

// The limbs of two numbers of one or two limbs, in `p` and `q`; whether both are in the form
// this backend writes (limbs 2 to 5 are not read: load() ignores them). Both are read before
// either is judged, so that one branch serves.
bool read_short_pair(const void* a, std::uint32_t count_a, const void* b, std::uint32_t count_b, std::uint64_t& p,
                     std::uint64_t& q) {
    p = word_of(a, 0);
    q = word_of(b, 0);
    return ((decimal::lanes_beyond(p, count_a, 0) | decimal::lanes_beyond(q, count_b, 0)) & decimal::kLaneTops) == 0;
}

// All the limbs, in `x`; whether they are in the form this backend writes.
bool read_lanes(const void* source, std::uint32_t count, Lanes& x) {
    x = {word_of(source, 0), word_of(source, 1), word_of(source, 2)};
    return decimal::limbs_well_formed(static_cast<const std::uint8_t*>(source) + kLimbsAt, count);
}

// A word with the bias taken off the lanes that still carry it. Such a lane has its top bit
// set and is at least the bias, so taking it off borrows nothing from the next lane.
std::uint64_t settled(std::uint64_t word) { return word - (word >> 31 & kLaneOnes) * kLaneBias; }

// x moved up (raised) or down (lowered) by 0 to 7 lanes; lanes moved past either end are lost.
Lanes raised(Lanes x, int lanes) {
    if (lanes & 1)
        x = {x.w0 << kLaneBits, x.w1 << kLaneBits | x.w0 >> kLaneBits, x.w2 << kLaneBits | x.w1 >> kLaneBits};
    if (lanes & 2) x = {0, x.w0, x.w1};
    if (lanes & 4) x = {0, 0, x.w0};
    return x;
}

Lanes lowered(Lanes x, int lanes) {
    if (lanes & 1)
        x = {x.w0 >> kLaneBits | x.w1 << kLaneBits, x.w1 >> kLaneBits | x.w2 << kLaneBits, x.w2 >> kLaneBits};
    if (lanes & 2) x = {x.w1, x.w2, 0};
    if (lanes & 4) x = {x.w2, 0, 0};
    return x;
}

// The zero lanes below the lowest non-zero one of a non-zero x.
int zero_lanes_below(const Lanes& x) {
    const int bits = x.w0 != 0   ? std::countr_zero(x.w0)
                     : x.w1 != 0 ? 64 + std::countr_zero(x.w1)
                                 : 128 + std::countr_zero(x.w2);
    return bits / kLaneBits;
}

// Writes `count` limbs x (zero lanes above them) as a number at an exponent within its byte.
[[gnu::always_inline]] inline void write_limbs(void* destination, const Lanes& x, std::uint32_t count, bool negative,
                                               int exponent) {
    const std::uint32_t header = count | (negative ? 0x100u : 0u) | (static_cast<std::uint32_t>(exponent) & 0xFF) << 16;
    auto* bytes = static_cast<std::uint8_t*>(destination);
    std::memcpy(bytes, &header, sizeof header);
    // Words 0 and 1 go as one 16-byte store, the piece load() reads: a read spanning two
    // stores cannot be served from the store buffer and waits for both to reach the cache.
    // A vector value keeps the compiler from splitting the store into the words it came from.
    const WordPair low_words = {x.w0, x.w1};
    std::memcpy(bytes + kLimbsAt, &low_words, sizeof low_words);
    std::memcpy(bytes + kLimbsAt + 16, &x.w2, sizeof x.w2);
}

// Writes the limbs of x, lanes below 10^8 with a non-zero lowest one, as a number at an
// exponent within its byte.
[[gnu::always_inline]] inline void write_lanes(void* destination, const Lanes& x, bool negative, int exponent) {
    const std::uint32_t count = x.w2 != 0   ? ((x.w2 >> kLaneBits) != 0 ? 6 : 5)
                                : x.w1 != 0 ? ((x.w1 >> kLaneBits) != 0 ? 4 : 3)
                                            : ((x.w0 >> kLaneBits) != 0 ? 2 : 1);
    write_limbs(destination, x, count, negative, exponent);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Texts of one to eight integer digits, optionally a point and up to eight fraction digits
// (trailing zeros aside) and no exponent: most number texts, amounts of money among them.
// They read as one or two limbs at a fixed exponent, read here in one pass with the limbs
// kept in registers up to the store, exactly as read_text() would read them. Anything else
// returns false, having written nothing.
bool read_short(void* number, const char* text) {
    const char* p = text;
    while (*p == ' ') ++p;
    const bool minus = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    while (*p == '0') ++p;
    const char* const integer = p;
    std::uint32_t high = 0;
    for (; is_digit(*p) && p - integer < decimal::kLimbDigits; ++p) high = high * 10 + static_cast<std::uint32_t>(*p - '0');
    // No integer digit (zero, or a fraction only), or more than one limb of them.
    if (p == integer || is_digit(*p)) return false;
    std::uint32_t low = 0;
    if (*p == '.') {
        const char* const fraction = ++p;
        for (; is_digit(*p) && p - fraction < decimal::kLimbDigits; ++p) low = low * 10 + static_cast<std::uint32_t>(*p - '0');
        low *= decimal::kPowersOfTen[decimal::kLimbDigits - (p - fraction)];
        // Zeros past the eighth fraction digit change nothing; any other digit needs a second
        // fraction limb.
        while (*p == '0') ++p;
        if (is_digit(*p)) return false;
    }
    if (*p == 'e' || *p == 'E') return false;
    // The integer limb is non-zero (its leading zeros were skipped), and so is a fraction
    // limb whenever there is one: the number is already in its normal form.
    if (low != 0) write_limbs(number, {std::uint64_t{high} << kLaneBits | low, 0, 0}, 2, minus, -1);
    else write_limbs(number, {high, 0, 0}, 1, minus, 0);
    return true;
}

void from_str(void* number, const char* text) {
    if (read_short(number, text)) return;
    Number x;
    decimal::read_text(x, text);
    store(number, x);
}

// Most doubles hosts pass are short: their limbs go to the stored bytes in whole words straight
// from registers, so that the slot reading them next finds them whole in the store buffer.
void from_dbl(void* number, double value) {
    decimal::ShortNumber s;
    if (decimal::short_double(value, s)) {
        write_limbs(number, {s.low_limbs, s.third_limb, 0}, static_cast<std::uint32_t>(s.count), s.negative,
                    s.exponent);
        return;
    }
    Number x;
    decimal::from_rounded_double(x, value);
    store(number, x);
}

// Writes the limbs of x, lanes below 10^8, as a number at `exponent` after taking off the
// zero limbs at its bottom: the normal form store() writes. Returns false, having written
// nothing, when x is zero or the exponent leaves its byte, which store() settles.
[[gnu::always_inline]] inline bool put_lanes(void* destination, Lanes x, bool negative, int exponent) {
    if ((x.w0 & kLowLane) == 0) {
        if ((x.w0 | x.w1 | x.w2) == 0) return false;
        const int below = zero_lanes_below(x);
        x = lowered(x, below);
        exponent += below;
    }
    if (exponent < decimal::kLowestExponent || exponent > decimal::kHighestExponent) return false;
    write_lanes(destination, x, negative, exponent);
    return true;
}

// A sum of numbers as settled lanes, not yet normalised.
struct Sum {
    Lanes limbs;
    bool negative;
    // Whether a carry left word 2 (it is not in the limbs).
    bool carried;
};

// p + q, p and q being the limbs of non-zero numbers at one exponent, p's sign `negative_p`,
// q's the other when `opposite`: as decimal::add() combines them once aligned. Without
// kTopWord, word 2 of both is zero and is left out of the arithmetic: the callers then pass
// numbers below 10^32 whose sum is too (one of them below 10^16, the other a multiple of 10^16
// or below 10^24), so nothing carries out of word 1.
template <bool kTopWord>
[[gnu::always_inline]] inline Sum sum_of(const Lanes& p, const Lanes& q, bool negative_p, bool opposite) {
    if (!opposite) {
        const std::uint64_t b0 = q.w0 + kBiasedLanes, b1 = q.w1 + kBiasedLanes;
        const std::uint64_t w0 = p.w0 + b0;
        std::uint64_t carry = w0 < b0 ? 1 : 0;
        const std::uint64_t w1 = p.w1 + carry + b1;
        carry = w1 < b1 ? 1 : 0;
        if (!kTopWord) return {{settled(w0), settled(w1), 0}, negative_p, false};
        const std::uint64_t b2 = q.w2 + kBiasedLanes;
        const std::uint64_t w2 = p.w2 + carry + b2;
        return {{settled(w0), settled(w1), settled(w2)}, negative_p, w2 < b2};
    }
    const bool q_larger = kTopWord && p.w2 != q.w2 ? p.w2 < q.w2 : p.w1 != q.w1 ? p.w1 < q.w1 : p.w0 < q.w0;
    const std::uint64_t l0 = q_larger ? q.w0 : p.w0, l1 = q_larger ? q.w1 : p.w1, l2 = q_larger ? q.w2 : p.w2;
    const std::uint64_t s0 = q_larger ? p.w0 : q.w0, s1 = q_larger ? p.w1 : q.w1, s2 = q_larger ? p.w2 : q.w2;
    std::uint64_t take = s1 + (l0 < s0 ? 1 : 0);
    const std::uint64_t w1 = l1 - take;
    take = s2 + (l1 < take ? 1 : 0);
    return {{settled(l0 - s0), settled(w1), kTopWord ? settled(l2 - take) : 0}, negative_p != q_larger, false};
}

// (The paths through loaded numbers are kept apart from the slots so that the common cases
// save no registers for them.)
[[gnu::noinline]] void add_loaded(void* a, const void* b, bool subtract) {
    Number x = load(a);
    Number y = load(b);
    // Subtraction is addition of b with its sign reversed (a zero b stays zero).
    if (subtract) y.negative = !y.negative && y.count != 0;
    decimal::add(x, y);
    store(a, x);
}

// a + b, or a - b when `subtract`, for numbers at one exponent (checked by the caller). A
// carry out of the top limb is taken as decimal::add() takes it: the lowest limb makes room
// for it. Returns false, having written nothing, when they are not well-formed or the sum's
// lowest limb is zero or its exponent leaves its byte.
[[gnu::always_inline]] inline bool add_at_one_exponent(void* a, const void* b, bool subtract) {
    const Header x = header_of(a);
    const Header y = header_of(b);
    Lanes p;
    Lanes q;
    if (!read_lanes(a, x.count, p) || !read_lanes(b, y.count, q)) return false;
    const Sum sum = sum_of<true>(p, q, x.negative, x.negative != (y.negative != subtract));
    Lanes limbs = sum.limbs;
    int exponent = x.exponent;
    if (sum.carried) {
        limbs = lowered(limbs, 1);
        limbs.w2 |= std::uint64_t{1} << kLaneBits;
        if (++exponent > decimal::kHighestExponent) return false;
    }
    if ((limbs.w0 & kLowLane) == 0) return false;
    write_lanes(a, limbs, sum.negative, exponent);
    return true;
}

// a + b, or a - b when `subtract`, for well-formed numbers of one or two limbs at most two
// limbs apart, as decimal::add() does it: the operand of the higher exponent moves down to the
// other's, which its limbs leave room for, so the two fit in words 0 and 1. Returns false,
// having written nothing, for any others or when put_lanes() refuses the sum.
[[gnu::always_inline]] inline bool add_short(void* a, const void* b, bool subtract) {
    const Header x = header_of(a);
    const Header y = header_of(b);
    const int gap = x.exponent - y.exponent;
    std::uint64_t p;
    std::uint64_t q;
    if (gap < -2 || gap > 2 || !both_short(x.count, y.count) || !read_short_pair(a, x.count, b, y.count, p, q))
        return false;
    // Addition is commutative, so the operands may be taken as the high one, of the higher
    // exponent, and the low one.
    const bool a_high = gap > 0;
    const bool negative_b = y.negative != subtract;
    const Sum sum = sum_of<false>(raised({a_high ? p : q, 0, 0}, a_high ? gap : -gap), {a_high ? q : p, 0, 0},
                                  a_high ? x.negative : negative_b, x.negative != negative_b);
    return put_lanes(a, sum.limbs, sum.negative, a_high ? y.exponent : x.exponent);
}

// a - b for operands at different exponents.
[[gnu::noinline]] void subtract_apart(void* a, const void* b) {
    if (!add_short(a, b, true)) add_loaded(a, b, true);
}

// a * b for well-formed numbers of one or two limbs (the counts are checked by the caller):
// the product has at most four limbs, so decimal::multiply() cuts nothing from it. It is
// formed in 64-bit columns, each below 2^55, and one carry pass. Returns false, having written
// nothing, when the limbs are not well-formed or put_lanes() refuses the product.
[[gnu::always_inline]] inline bool multiply_short(void* a, const void* b) {
    const Header x = header_of(a);
    const Header y = header_of(b);
    std::uint64_t p;
    std::uint64_t q;
    if (!read_short_pair(a, x.count, b, y.count, p, q)) return false;
    const std::uint64_t p0 = p & kLowLane, p1 = p >> kLaneBits, q0 = q & kLowLane, q1 = q >> kLaneBits;
    std::uint64_t column = p0 * q0;
    const std::uint64_t limb0 = column % decimal::kBase;
    column = column / decimal::kBase + p0 * q1 + p1 * q0;
    const std::uint64_t limb1 = column % decimal::kBase;
    column = column / decimal::kBase + p1 * q1;
    const std::uint64_t limb2 = column % decimal::kBase;
    const std::uint64_t limb3 = column / decimal::kBase;
    return put_lanes(a, {limb1 << kLaneBits | limb0, limb3 << kLaneBits | limb2, 0}, x.negative != y.negative,
                     x.exponent + y.exponent);
}

[[gnu::noinline]] void multiply_loaded(void* a, const void* b) {
    Number x = load(a);
    decimal::multiply(x, load(b));
    store(a, x);
}

void add(void* a, const void* b) {
    if (exponent_byte(a) == exponent_byte(b) ? !add_at_one_exponent(a, b, false) : !add_short(a, b, false))
        add_loaded(a, b, false);
}

// Subtraction keeps the path for different exponents out of line: the operands of a
// difference mostly share one, and the path for them then needs fewer registers.
void sub(void* a, const void* b) {
    if (exponent_byte(a) != exponent_byte(b))
        subtract_apart(a, b);
    else if (!add_at_one_exponent(a, b, true))
        add_loaded(a, b, true);
}

void mul(void* a, const void* b) {
    if (both_short(count_of(a), count_of(b)) && multiply_short(a, b)) return;
    multiply_loaded(a, b);
}

// units = whole * 10^8 + fraction: the limbs fraction, whole's low limb and its high one at
// exponent -1, which put_lanes() brings to the normal form.
void from_units(void* number, std::int64_t units) {
    const auto value = static_cast<std::uint64_t>(units);
    const std::uint64_t magnitude = units < 0 ? 0 - value : value;
    const std::uint64_t whole = magnitude / decimal::kBase;
    const Lanes limbs{(whole % decimal::kBase) << kLaneBits | magnitude % decimal::kBase, whole / decimal::kBase, 0};
    if (!put_lanes(number, limbs, units < 0, -1)) store(number, decimal::kZero);
}

void div(void* a, const void* b) {
    Number x = load(a);
    decimal::divide(x, load(b));
    store(a, x);
}

std::size_t units_to_str(std::int64_t units, char* out) { return decimal::write_units(units, out); }

}  // namespace

extern constexpr Backend kDecimalBackend{kDecimalBackendType, static_cast<std::int32_t>(sizeof(decimal::Stored)), true, to_str, from_str,
                                         from_int, from_dbl, comp, is_zero, zero, min, max, neg, int_part, add,
                                         sub, mul, div, from_units, units_to_str};

}  // namespace fcl
