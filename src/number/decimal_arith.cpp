// Decimal comparison, addition (and so subtraction) and truncation.
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

void add_magnitudes(Number& a, const Number& b) {
    const int used = a.count > b.count ? a.count : b.count;
    std::uint32_t carry = 0;
    for (int i = 0; i < used; ++i) {
        const std::uint32_t sum = a.limb[i] + b.limb[i] + carry;
        carry = sum >= kBase ? 1 : 0;
        a.limb[i] = sum - carry * kBase;
    }
    a.count = used;
    if (carry == 0) return;
    if (used < kLimbs) {
        a.limb[used] = 1;
        a.count = used + 1;
        return;
    }
    // A carry out of the top limb: the lowest limb makes room for it.
    rescale(a, a.exponent + 1);
    a.limb[kLimbs - 1] = 1;
    a.count = kLimbs;
}

// a becomes |larger| - |smaller| with the larger's sign; on equal magnitudes a is the larger.
void subtract_magnitudes(Number& a, const Number& b) {
    const int used = a.count > b.count ? a.count : b.count;
    int order = 0;
    for (int i = used - 1; i >= 0 && order == 0; --i)
        if (a.limb[i] != b.limb[i]) order = a.limb[i] > b.limb[i] ? 1 : -1;
    const Number& larger = order >= 0 ? a : b;
    const Number& smaller = order >= 0 ? b : a;
    std::uint32_t borrow = 0;
    for (int i = 0; i < used; ++i) {
        const std::uint32_t take = smaller.limb[i] + borrow;
        const std::uint32_t have = larger.limb[i];
        borrow = have < take ? 1 : 0;
        a.limb[i] = have + borrow * kBase - take;
    }
    a.count = used;
    a.negative = larger.negative;
}

// a becomes a + b for operands at one exponent. Alignment only ever truncates the operand
// of smaller magnitude, so the magnitudes compare the same way after it as before.
void combine(Number& a, const Number& b) {
    if (a.negative == b.negative)
        add_magnitudes(a, b);
    else
        subtract_magnitudes(a, b);
    normalise(a);
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
    if (a.exponent == b.exponent) {
        combine(a, b);
        return;
    }
    Number aligned = b;
    align(a, aligned);
    combine(a, aligned);
}

void truncate(Number& a) {
    if (a.exponent >= 0) return;
    rescale(a, 0);
    normalise(a);
}

}  // namespace fcl::decimal
