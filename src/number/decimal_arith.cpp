// Decimal comparison, addition (and so subtraction) and truncation.
#include <bit>
#include <cstring>

#include "number/decimal.h"

namespace fcl::decimal {

namespace {

// Order of |a| and |b| for non-zero normalised numbers: the position of the highest limb
// first, then the limbs from the top down, a missing limb counting as 0.
int compare_magnitude(const Number& a, const Number& b) {
    const int position_a = a.count + a.exponent;
    const int position_b = b.count + b.exponent;
    if (position_a != position_b) return position_a > position_b ? 1 : -1;
    const int steps = a.count > b.count ? a.count : b.count;
    for (int j = 0; j < steps; ++j) {
        const std::uint32_t limb_a = j < a.count ? a.limb[a.count - 1 - j] : 0;
        const std::uint32_t limb_b = j < b.count ? b.limb[b.count - 1 - j] : 0;
        if (limb_a != limb_b) return limb_a > limb_b ? 1 : -1;
    }
    return 0;
}

// Brings both operands to one exponent: the one with the larger exponent moves down as far
// as its free limbs allow but not below the other's, then the other rises to meet it and
// loses the limbs that fall off its bottom.
void align(Number& a, Number& b) {
    if (a.exponent == b.exponent) return;
    Number& high = a.exponent > b.exponent ? a : b;
    Number& low = a.exponent > b.exponent ? b : a;
    const int free_limbs = kLimbs - high.count;
    const int gap = high.exponent - low.exponent;
    rescale(high, high.exponent - (free_limbs < gap ? free_limbs : gap));
    rescale(low, high.exponent);
}

// Addition and subtraction work on the limbs as three words of two 32-bit lanes, limb 2j in
// the low lane of word j, and let plain binary arithmetic carry between the lanes. A sum lane
// starts 2^32 - 10^8 high, so that it carries into the next lane exactly when the limb sum
// reaches 10^8 and is then left holding the right limb; a difference lane wraps and borrows
// from the next lane exactly when the limb difference is negative. Either way a lane left
// with its top bit set (at least 2^32 - 10^8, where a right limb is below 10^8 < 2^31) is
// 2^32 - 10^8 above its limb, and one subtraction per lane settles it. A word holds limbs
// below 10^8, so adding the bias, a carry or a borrow to one never overflows.
constexpr int kWords = kLimbs / 2;

struct Words {
    std::uint64_t word[kWords];
};

// (Limb 2j is the low lane of word j on a little-endian machine.)
static_assert(std::endian::native == std::endian::little);

Words words_of(const Number& x) {
    Words w;
    for (int j = 0; j < kWords; ++j) std::memcpy(&w.word[j], x.limb + 2 * j, sizeof w.word[j]);
    return w;
}

// Takes the bias out of the lanes that still carry it and puts the limbs into x: settled in
// a copy and put in one piece, which keeps the later reads of x served straight from the
// stores that wrote it.
void put_words(Number& x, const Words& w) {
    std::uint32_t limb[kLimbs];
    std::memcpy(limb, w.word, sizeof limb);
    for (std::uint32_t& lane : limb) lane -= static_cast<std::uint32_t>(static_cast<std::int32_t>(lane) >> 31) & kLaneBias;
    std::memcpy(x.limb, limb, sizeof limb);
}

// Whether |x| < |y| for operands at one exponent: the words compare as the limbs do.
bool below(const Words& x, const Words& y) {
    for (int j = kWords - 1; j > 0; --j)
        if (x.word[j] != y.word[j]) return x.word[j] < y.word[j];
    return x.word[0] < y.word[0];
}

// (add_magnitudes() and subtract_magnitudes() are inlined into combine(), so that the common
// case makes no call.)
[[gnu::always_inline]] inline void add_magnitudes(Number& a, const Number& b) {
    const Words x = words_of(a);
    const Words y = words_of(b);
    Words sum;
    std::uint64_t carry = 0;
    for (int j = 0; j < kWords; ++j) {
        const std::uint64_t biased = y.word[j] + kBiasedLanes;
        sum.word[j] = x.word[j] + carry + biased;
        carry = sum.word[j] < biased ? 1 : 0;
    }
    put_words(a, sum);
    a.count = a.count > b.count ? a.count : b.count;
    if (a.count < kLimbs && a.limb[a.count] != 0) ++a.count;
    if (carry == 0) return;
    // A carry out of the top limb: the lowest limb makes room for it.
    rescale(a, a.exponent + 1);
    a.limb[kLimbs - 1] = 1;
    a.count = kLimbs;
}

// a becomes |larger| - |smaller| with the larger's sign; on equal magnitudes a is the larger.
[[gnu::always_inline]] inline void subtract_magnitudes(Number& a, const Number& b) {
    const Words x = words_of(a);
    const Words y = words_of(b);
    const bool b_larger = below(x, y);
    Words difference;
    std::uint64_t borrow = 0;
    for (int j = 0; j < kWords; ++j) {
        const std::uint64_t larger = b_larger ? y.word[j] : x.word[j];
        const std::uint64_t take = (b_larger ? x.word[j] : y.word[j]) + borrow;
        borrow = larger < take ? 1 : 0;
        difference.word[j] = larger - take;
    }
    put_words(a, difference);
    a.count = a.count > b.count ? a.count : b.count;
    a.negative = a.negative != b_larger;
}

// a becomes a + b for operands at one exponent. Alignment only ever truncates the operand
// of smaller magnitude, so the magnitudes compare the same way after it as before.
void combine(Number& a, const Number& b) {
    if (a.negative == b.negative)
        add_magnitudes(a, b);
    else
        subtract_magnitudes(a, b);
    // Usually there is no zero limb at either end to take off.
    if (a.limb[0] != 0 && a.limb[a.count - 1] != 0) return;
    normalise(a);
}

// add() for operands at different exponents, kept apart so that the common case of one
// exponent needs no copy of b.
[[gnu::noinline]] void add_aligned(Number& a, const Number& b) {
    Number aligned = b;
    align(a, aligned);
    combine(a, aligned);
}

}  // namespace

int compare(const Number& a, const Number& b) {
    if (a.negative != b.negative) return a.negative ? -1 : 1;
    if (a.count == 0) return b.count == 0 ? 0 : -1;
    if (b.count == 0) return a.negative ? -1 : 1;
    const int order = compare_magnitude(a, b);
    return a.negative ? -order : order;
}

void add(Number& a, const Number& b) {
    if (b.count == 0) return;
    if (a.count == 0) {
        a = b;
        return;
    }
    if (a.exponent == b.exponent)
        combine(a, b);
    else
        add_aligned(a, b);
}

void truncate(Number& a) {
    if (a.exponent >= 0) return;
    rescale(a, 0);
    normalise(a);
}

}  // namespace fcl::decimal
