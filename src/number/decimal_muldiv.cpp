// Decimal multiplication (full wide product, truncated to six limbs) and long division in
// base 10^8 (six quotient limbs, truncated).
#include "number/decimal.h"

namespace fcl::decimal {

namespace {

constexpr std::uint32_t kScale = 10000;  // divisor scale when its top limb is small
constexpr std::uint32_t kSmallTopLimb = 1000;

// a takes the limbs of a non-zero wide product of `width` limbs, whose lowest limb has a's
// exponent: the product is normalised, cut to its six highest limbs (truncation) and
// normalised again, as a zero limb may now be the lowest.
void keep_highest(Number& a, const std::uint32_t* wide, int width) {
    int top = width - 1;
    while (wide[top] == 0) --top;
    int low = 0;
    while (wide[low] == 0) ++low;
    if (top - low >= kLimbs) {
        low = top - (kLimbs - 1);
        while (wide[low] == 0) ++low;
    }
    a.count = top - low + 1;
    for (int i = 0; i < kLimbs; ++i) a.limb[i] = i < a.count ? wide[low + i] : 0;
    a.exponent += low;
}

// Division by a divisor fixed for a whole long division, done by multiplying with its
// reciprocal: exact for dividends below 2^63 (the limb steps stay below 10^16), one
// multiplication instead of a slow hardware division per step.
class Divisor {
public:
    explicit Divisor(std::uint64_t divisor) : divisor_(divisor), inverse_(~std::uint64_t{0} / divisor) {}

    // The quotient; the dividend becomes the remainder.
    std::uint64_t divide(std::uint64_t& dividend) const {
        // inverse_ falls short of 2^64 / divisor by less than 1 + 1/divisor, so the first
        // quotient is exact or one too small.
        auto quotient = static_cast<std::uint64_t>((static_cast<unsigned __int128>(dividend) * inverse_) >> 64);
        dividend -= quotient * divisor_;
        if (dividend >= divisor_) {
            dividend -= divisor_;
            ++quotient;
        }
        return quotient;
    }

private:
    std::uint64_t divisor_;
    std::uint64_t inverse_;
};

// True when the window w of n + 1 limbs is at least the divisor d of n limbs.
bool at_least(const std::uint32_t* w, const std::uint32_t* d, int n) {
    if (w[n] != 0) return true;
    for (int i = n - 1; i >= 0; --i)
        if (w[i] != d[i]) return w[i] > d[i];
    return true;
}

// w -= q * d over the n + 1 window limbs, for q below 10^8; the caller guarantees q * d <= w.
// Each product q * d[i] is split into its two limbs on its own, so only a borrow of 0 to 2
// runs from limb to limb.
void subtract_multiple(std::uint32_t* w, const std::uint32_t* d, int n, std::uint64_t q) {
    constexpr auto kSignedBase = static_cast<std::int64_t>(kBase);
    std::int64_t high = 0;  // upper limb of the previous product
    std::int64_t borrow = 0;
    for (int i = 0; i < n; ++i) {
        const std::uint64_t product = q * d[i];
        const std::int64_t difference =
            static_cast<std::int64_t>(w[i]) - static_cast<std::int64_t>(product % kBase) - high - borrow;
        high = static_cast<std::int64_t>(product / kBase);
        borrow = difference >= 0 ? 0 : difference >= -kSignedBase ? 1 : 2;
        w[i] = static_cast<std::uint32_t>(difference + borrow * kSignedBase);
    }
    w[n] -= static_cast<std::uint32_t>(high + borrow);
}

// One quotient limb for a divisor d of n > 1 limbs: the window w (n + 1 limbs, at least d)
// keeps its remainder. The trial quotient divides the top two window limbs by d's top limb
// plus one (`by`), so it never exceeds the true limb and the step only ever subtracts. Once
// it is 0 the window is below d plus one unit of d's top limb, so below twice d, and the
// last loop runs at most once.
std::uint32_t limb_step(std::uint32_t* w, const std::uint32_t* d, int n, const Divisor& by) {
    std::uint64_t quotient = 0;
    for (;;) {
        std::uint64_t top = static_cast<std::uint64_t>(w[n]) * kBase + w[n - 1];
        const std::uint64_t estimate = by.divide(top);
        if (estimate == 0) break;
        subtract_multiple(w, d, n, estimate);
        quotient += estimate;
    }
    while (at_least(w, d, n)) {
        subtract_multiple(w, d, n, 1);
        ++quotient;
    }
    return static_cast<std::uint32_t>(quotient);
}

// d becomes d * 10000. Its top limb is below 1000, so the product needs no seventh limb.
void scale_divisor(Number& d) {
    std::uint64_t carry = 0;
    for (int i = 0; i < d.count; ++i) {
        const std::uint64_t t = static_cast<std::uint64_t>(d.limb[i]) * kScale + carry;
        d.limb[i] = static_cast<std::uint32_t>(t % kBase);
        carry = t / kBase;
    }
    normalise(d);
}

// Limb i of x extended with zero limbs at the bottom to n limbs.
std::uint32_t extended_limb(const Number& x, int n, int i) {
    const int j = i - (n - x.count);
    return j >= 0 ? x.limb[j] : 0;
}

// The remainder: a's limbs with room below them for the (at most six) times the window moves
// up one limb, times 10^8, before a quotient limb. Moving up shifts nothing: the window, the
// n + 1 limbs the limb steps see, starts one limb lower, where a zero limb is waiting.
struct Remainder {
    std::uint32_t limb[2 * kLimbs + 1] = {};
    int window = kLimbs;  // index of the window's lowest limb

    std::uint32_t* lowest() { return limb + window; }
    void move_up() { --window; }
};

// Quotient limbs 5 down to 0 by a divisor of one limb: each limb step divides the remainder
// and the next window limb by it, and the window moving up brings in its next lower limb. A
// window below the divisor gives a zero limb and keeps its remainder, as the step would.
void divide_by_limb(Remainder& r, int n, std::uint32_t divisor, std::uint32_t* quotient) {
    const Divisor by(divisor);
    std::uint64_t remainder = r.lowest()[n];
    for (int k = kLimbs - 1; k >= 0; --k) {
        if (k < kLimbs - 1) r.move_up();
        remainder = remainder * kBase + r.lowest()[n - 1];
        quotient[k] = static_cast<std::uint32_t>(by.divide(remainder));
    }
}

// Quotient limbs 5 down to 0 by a divisor of several limbs, one limb step each while the
// window is at least d. The zero limbs of the extended divisor take no part in a step: it
// works on the window above them, and the window limbs below pass through unchanged.
void long_divide(Remainder& r, int n, const Number& d, std::uint32_t* quotient) {
    const int skip = n - d.count;
    const Divisor by(std::uint64_t{d.limb[d.count - 1]} + 1);
    for (int k = kLimbs - 1; k >= 0; --k) {
        if (k < kLimbs - 1) r.move_up();
        std::uint32_t* active = r.lowest() + skip;
        quotient[k] = at_least(active, d.limb, d.count) ? limb_step(active, d.limb, d.count, by) : 0;
    }
}

// The quotient of a scaled divisor multiplied by 10000 as Mul multiplies: the wide product
// (seven limbs at most), normalised and cut to six limbs.
void scale_back(Number& quotient) {
    std::uint32_t product[kLimbs + 1];
    std::uint64_t carry = 0;
    for (int i = 0; i < kLimbs; ++i) {
        const std::uint64_t t = static_cast<std::uint64_t>(quotient.limb[i]) * kScale + carry;
        product[i] = static_cast<std::uint32_t>(t % kBase);
        carry = t / kBase;
    }
    product[kLimbs] = static_cast<std::uint32_t>(carry);
    keep_highest(quotient, product, kLimbs + 1);
}

}  // namespace

void multiply(Number& a, const Number& b) {
    if (a.count == 0 || b.count == 0) {
        a = kZero;
        return;
    }
    // The schoolbook product, summed by columns first: a column holds at most six products
    // below 10^16, so it stays far below 2^64, and one carry pass then yields exactly the
    // limbs of the row-by-row product.
    std::uint64_t column[kWideLimbs] = {};
    for (int i = 0; i < b.count; ++i) {
        const std::uint64_t factor = b.limb[i];
        if (factor == 0) continue;
        for (int j = 0; j < a.count; ++j) column[i + j] += factor * a.limb[j];
    }
    const int width = a.count + b.count;
    std::uint32_t product[kWideLimbs];
    std::uint64_t carry = 0;
    for (int k = 0; k < width; ++k) {
        const std::uint64_t t = column[k] + carry;
        product[k] = static_cast<std::uint32_t>(t % kBase);
        carry = t / kBase;
    }
    a.exponent += b.exponent;
    a.negative = a.negative != b.negative;
    keep_highest(a, product, width);
}

void divide(Number& a, const Number& b) {
    if (a.count == 0 || b.count == 0) {
        a = kZero;  // a zero divisor gives zero; DIV checks for it itself
        return;
    }
    const bool scaled = b.limb[b.count - 1] < kSmallTopLimb;
    Number d = b;
    if (scaled) scale_divisor(d);

    // The remainder r starts as a. The shorter of r and d is extended with zero limbs at the
    // bottom (its exponent falls) so both have n limbs; then an r below d moves down one
    // more limb so the first quotient limb is not zero. The window is r's n + 1 lowest limbs.
    const int n = a.count > d.count ? a.count : d.count;
    int below = 0;
    for (int i = n - 1; i >= 0; --i) {
        const std::uint32_t r_limb = extended_limb(a, n, i);
        const std::uint32_t d_limb = extended_limb(d, n, i);
        if (r_limb == d_limb) continue;
        below = r_limb < d_limb ? 1 : 0;
        break;
    }
    Remainder r;
    if (below) r.move_up();
    for (int i = 0; i < a.count; ++i) r.lowest()[i + n - a.count + below] = a.limb[i];
    const int r_exponent = a.exponent - (n - a.count) - below;
    const int d_exponent = d.exponent - (n - d.count);

    // a becomes the quotient: six limbs, found from the top.
    a.count = kLimbs;
    a.exponent = r_exponent - d_exponent - (kLimbs - 1);
    a.negative = a.negative != b.negative;
    if (d.count == 1)
        divide_by_limb(r, n, d.limb[0], a.limb);
    else
        long_divide(r, n, d, a.limb);
    if (scaled) scale_back(a);
    normalise(a);
}

}  // namespace fcl::decimal
