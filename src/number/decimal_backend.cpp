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
    Number x = decimal::kZero;
    if (low != 0) {
        x.limb[0] = low;
        x.limb[1] = high;
        x.count = 2;
        x.exponent = -1;
    } else {
        x.limb[0] = high;
        x.count = 1;
    }
    x.negative = minus;
    decimal::put(number, x);
    return true;
}

void from_str(void* number, const char* text) {
    if (read_short(number, text)) return;
    Number x;
    decimal::read_text(x, text);
    store(number, x);
}

void from_int(void* number, std::int32_t value) {
    Number x;
    decimal::from_integer(x, value);
    store(number, x);
}

void from_dbl(void* number, double value) {
    Number x;
    decimal::from_double(x, value);
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

void add(void* a, const void* b) {
    Number x = load(a);
    decimal::add(x, load(b));
    store(a, x);
}

// The same-exponent case of subtraction, done on the stored bytes: the limbs are read as
// three words of two 32-bit lanes, limb 2j in the low lane of word j, and combined with the
// lane arithmetic of decimal_arith.cpp. The words are held in plain variables, never in an
// array, so they stay in registers from the reads to the store.
using decimal::kBiasedLanes;
using decimal::kLaneBias;
constexpr std::uint64_t kLaneOnes = std::uint64_t{1} << 32 | 1;
constexpr std::size_t kLimbsAt = offsetof(decimal::Stored, limb);

static_assert(std::endian::native == std::endian::little);

std::uint32_t header_of(const void* source) {
    std::uint32_t header;
    std::memcpy(&header, source, sizeof header);
    return header;
}

// Word j of the stored limbs.
std::uint64_t word_of(const void* source, int j) {
    std::uint64_t word;
    std::memcpy(&word, static_cast<const std::uint8_t*>(source) + kLimbsAt + sizeof word * static_cast<std::size_t>(j),
                sizeof word);
    return word;
}

bool stored_well_formed(const void* source, std::uint32_t count) {
    return decimal::limbs_well_formed(static_cast<const std::uint8_t*>(source) + kLimbsAt, count);
}

// A word with the bias taken off the lanes that still carry it. Such a lane has its top bit
// set and is at least the bias, so taking it off borrows nothing from the next lane.
std::uint64_t settled(std::uint64_t word) { return word - (word >> 31 & kLaneOnes) * kLaneBias; }

// a - b when both are well-formed at one exponent and the result needs no carry out of the
// top limb and keeps a non-zero lowest limb: the case in which decimal::add() keeps the
// exponent, and normalising at most drops zero limbs from the top. Returns false, having
// written nothing, otherwise.
bool subtract_simply(void* a, const void* b) {
    const std::uint32_t header_a = header_of(a);
    const std::uint32_t header_b = header_of(b);
    const std::uint32_t count_a = header_a & 0xFF;
    const std::uint32_t count_b = header_b & 0xFF;
    const std::uint32_t exponent = header_a >> 16 & 0xFF;
    if (!stored_well_formed(a, count_a) || !stored_well_formed(b, count_b) || exponent != (header_b >> 16 & 0xFF))
        return false;
    const std::uint64_t x0 = word_of(a, 0), x1 = word_of(a, 1), x2 = word_of(a, 2);
    const std::uint64_t y0 = word_of(b, 0), y1 = word_of(b, 1), y2 = word_of(b, 2);
    // Well-formed numbers are non-zero, so reversing b's sign always takes.
    const bool negative_a = (header_a & 0xFF00) != 0;
    const bool same_sign = negative_a != ((header_b & 0xFF00) != 0);
    std::uint64_t w0, w1, w2;
    bool negative = negative_a;
    if (same_sign) {
        const std::uint64_t b0 = y0 + kBiasedLanes, b1 = y1 + kBiasedLanes, b2 = y2 + kBiasedLanes;
        w0 = x0 + b0;
        std::uint64_t carry = w0 < b0 ? 1 : 0;
        w1 = x1 + carry + b1;
        carry = w1 < b1 ? 1 : 0;
        w2 = x2 + carry + b2;
        if (w2 < b2) return false;
    } else {
        const bool b_larger = x2 != y2 ? x2 < y2 : x1 != y1 ? x1 < y1 : x0 < y0;
        const std::uint64_t l0 = b_larger ? y0 : x0, l1 = b_larger ? y1 : x1, l2 = b_larger ? y2 : x2;
        const std::uint64_t s0 = b_larger ? x0 : y0, s1 = b_larger ? x1 : y1, s2 = b_larger ? x2 : y2;
        w0 = l0 - s0;
        std::uint64_t take = s1 + (l0 < s0 ? 1 : 0);
        w1 = l1 - take;
        take = s2 + (l1 < take ? 1 : 0);
        w2 = l2 - take;
        negative = negative_a != b_larger;
    }
    w0 = settled(w0);
    w1 = settled(w1);
    w2 = settled(w2);
    // Limbs above both operands' counts are zero, and a sum carries into at most the first of
    // them, so the count is that of the limbs up to the highest non-zero one.
    if (static_cast<std::uint32_t>(w0) == 0) return false;
    const std::uint32_t count = w2 != 0   ? ((w2 >> 32) != 0 ? 6 : 5)
                                : w1 != 0 ? ((w1 >> 32) != 0 ? 4 : 3)
                                          : ((w0 >> 32) != 0 ? 2 : 1);
    const std::uint32_t header = count | (negative ? 0x100u : 0u) | exponent << 16;
    auto* bytes = static_cast<std::uint8_t*>(a);
    std::memcpy(bytes, &header, sizeof header);
    std::memcpy(bytes + kLimbsAt, &w0, sizeof w0);
    std::memcpy(bytes + kLimbsAt + 8, &w1, sizeof w1);
    std::memcpy(bytes + kLimbsAt + 16, &w2, sizeof w2);
    return true;
}

// Subtraction is addition of b with its sign reversed (a zero b stays zero). (Kept apart
// from sub() so that the common case saves no registers for it.)
[[gnu::noinline]] void subtract_loaded(void* a, const void* b) {
    Number x = load(a);
    Number y = load(b);
    y.negative = !y.negative && y.count != 0;
    decimal::add(x, y);
    store(a, x);
}

void sub(void* a, const void* b) {
    if (!subtract_simply(a, b)) subtract_loaded(a, b);
}

void mul(void* a, const void* b) {
    Number x = load(a);
    decimal::multiply(x, load(b));
    store(a, x);
}

void div(void* a, const void* b) {
    Number x = load(a);
    decimal::divide(x, load(b));
    store(a, x);
}

}  // namespace

extern constexpr Backend kDecimalBackend{kDecimalBackendType, static_cast<std::int32_t>(sizeof(decimal::Stored)), true, to_str, from_str,
                                         from_int, from_dbl, comp, is_zero, zero, min, max, neg, int_part, add,
                                         sub, mul, div};

}  // namespace fcl
