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

// Limbs 0 to 11 of x = a * B^shift (B = 10^8, shift 0 to 11). The reads go through a's limbs
// set among zero limbs, so that x is written only at fixed places and can stay in registers.
inline void spread(const Number& a, int shift, std::int64_t* x) {
    std::uint32_t among_zeros[kWideLimbs + kLimbs + kWideLimbs] = {};
    for (int i = 0; i < kLimbs; ++i) among_zeros[kWideLimbs + i] = i < a.count ? a.limb[i] : 0;
    for (int j = 0; j < kWideLimbs; ++j) x[j] = among_zeros[kWideLimbs - shift + j];
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

// The six limbs of floor(x / d) for x = a * B^shift below d * B^6 and a divisor d of one
// limb: x has six limbs, seven when shift leaves a limb above the sixth.
void quotient_by_limb(const Number& a, int shift, std::uint32_t d, std::uint32_t* quotient) {
    std::int64_t x[kWideLimbs];
    spread(a, shift, x);
    const Divisor by(d);
    auto remainder = static_cast<std::uint64_t>(x[kLimbs]);
    for (int k = kLimbs - 1; k >= 0; --k) {
        remainder = remainder * kBase + static_cast<std::uint64_t>(x[k]);
        quotient[k] = static_cast<std::uint32_t>(by.divide(remainder));
    }
}

// Long division by several limbs estimates each quotient limb by multiplying with a
// fixed-point reciprocal of the divisor, and keeps the remainder in wide signed limbs that
// are never carried into one another: a step is two multiplications and independent
// multiply-subtracts, with no division and no carry running from limb to limb.
//
// Taken off each estimate (1/16, in units of 2^-64) so that it never exceeds the true
// quotient limb: otherwise the estimate is off by less than 0.03.
constexpr __int128 kMargin = static_cast<__int128>(1) << 60;
// A multiple of the base above any remainder limb, added so that a limb splits unsigned.
constexpr std::int64_t kOffsetLimbs = std::int64_t{1} << 31;
constexpr std::int64_t kOffset = kOffsetLimbs * kBase;
// More than the remainder limbs below limb n - 2 can move the remainder, in units of it.
constexpr std::int64_t kNear = std::int64_t{1} << 32;

// The six limbs of floor(x / d) for x = a * B^shift below d * B^6 and a divisor d of n >= 2
// limbs whose top limb is at least 1000. (n is fixed at compile time so that the
// remainder lives in registers.)
//
// Step k estimates t = R / (d * B^k), R being the remainder so far, as (head * B + limb
// k + n - 2) / (top + 1): `head`, exact, is the remainder from limb k + n - 1 up, and `top`
// is d's two highest limbs, at least 10^11. The limbs left out, the rounding of the
// reciprocals and the margin keep the limb taken in [floor(t) - 1, t], so R stays in
// [0, 2d * B^k), each limb is below 2 * 10^8 and head below about 2 * 10^16. A remainder
// limb takes at most four subtractions, so it stays above -8 * 10^16. A final remainder of
// d or more adds one.
template <int n>
void quotient_limbs(const Number& a, int shift, const Number& d, std::uint32_t* quotient) {
    std::int64_t r[kWideLimbs];
    spread(a, shift, r);
    const std::int64_t top = std::int64_t{d.limb[n - 1]} * kBase + d.limb[n - 2];
    // 2^64 / (top + 1) and 2^64 * B / (top + 1), to within a few units.
    const double reciprocal = 0x1p64 / static_cast<double>(top + 1);
    const auto limb_factor = static_cast<std::int64_t>(reciprocal);
    const auto head_factor = static_cast<std::uint64_t>(reciprocal * kBase);

    std::int64_t head = r[kLimbs + n - 1] * kBase + r[kLimbs + n - 2];
    std::uint64_t limbs[kLimbs];
    for (int k = kLimbs - 1; k >= 0; --k) {
        std::int64_t* window = r + k;
        const __int128 estimate =
            static_cast<__int128>(static_cast<unsigned __int128>(static_cast<std::uint64_t>(head)) * head_factor) +
            static_cast<__int128>(window[n - 2]) * limb_factor - kMargin;
        const auto high = static_cast<std::int64_t>(estimate >> 64);
        const std::int64_t q = high > 0 ? high : 0;
        for (int i = 0; i < n - 2; ++i) window[i] -= q * d.limb[i];
        // The remainder's top, exact and small, but only after q * top is taken off: the
        // sum before that may pass 2^63, so it is formed modulo 2^64.
        head = static_cast<std::int64_t>(static_cast<std::uint64_t>(head) * kBase +
                                         static_cast<std::uint64_t>(window[n - 2]) -
                                         static_cast<std::uint64_t>(q) * static_cast<std::uint64_t>(top));
        limbs[k] = static_cast<std::uint64_t>(q);
    }

    // Whether the final remainder is at least d. It is `head` units of limb n - 2 give or take
    // less than kNear, so only a remainder that close to d is carried and compared in full.
    bool over = head > top;
    if (head - top < kNear && top - head < kNear) {
        std::int64_t carry = 0;
        std::uint32_t rest[kLimbs] = {};
        for (int i = 0; i < n - 2; ++i) {
            const auto u = static_cast<std::uint64_t>(r[i] + carry + kOffset);
            rest[i] = static_cast<std::uint32_t>(u % kBase);
            carry = static_cast<std::int64_t>(u / kBase) - kOffsetLimbs;
        }
        head += carry;
        over = head >= top;
        if (head == top)
            for (int i = n - 3; i >= 0; --i)
                if (rest[i] != d.limb[i]) {
                    over = rest[i] > d.limb[i];
                    break;
                }
    }
    std::uint64_t up = over ? 1 : 0;
    for (int k = 0; k < kLimbs; ++k) {
        const std::uint64_t t = limbs[k] + up;
        up = t >= kBase ? 1 : 0;
        quotient[k] = static_cast<std::uint32_t>(t - up * kBase);
    }
}

// Multiplying by 10000 moves half a limb: the upper four digits of each limb go to the lower
// half of the next limb up and the lower four to the upper half of their own, so no carry
// runs from limb to limb.
std::uint32_t scaled_limb(std::uint32_t limb, std::uint32_t below) { return limb % kScale * kScale + below / kScale; }

// d becomes b * 10000, for b's top limb below 1000: the product needs no seventh limb.
// (Field by field: a whole copy of b, just written in pieces, would wait for them.)
void scale_divisor(const Number& b, Number& d) {
    std::uint32_t below = 0;
    for (int i = 0; i < kLimbs; ++i) {
        const std::uint32_t limb = i < b.count ? b.limb[i] : 0;
        d.limb[i] = scaled_limb(limb, below);
        below = limb;
    }
    d.count = b.count;
    d.exponent = b.exponent;
    d.negative = b.negative;
    normalise(d);
}

// Limb i of x extended with zero limbs at the bottom to n limbs.
std::uint32_t extended_limb(const Number& x, int n, int i) {
    const int j = i - (n - x.count);
    return j >= 0 ? x.limb[j] : 0;
}

// The quotient of a scaled divisor multiplied by 10000 as Mul multiplies: the wide product
// (seven limbs at most), normalised and cut to six limbs.
void scale_back(Number& quotient) {
    std::uint32_t product[kLimbs + 1];
    std::uint32_t below = 0;
    for (int i = 0; i < kLimbs; ++i) {
        product[i] = scaled_limb(quotient.limb[i], below);
        below = quotient.limb[i];
    }
    product[kLimbs] = below / kScale;
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
    Number scaled_b;
    if (scaled) scale_divisor(b, scaled_b);
    const Number& d = scaled ? scaled_b : b;

    // The quotient is found from the top, six limbs: the shorter of a and d is extended with
    // zero limbs at the bottom (its exponent falls) so both have n limbs, and an a below d
    // moves down one more limb so the first quotient limb is not zero. Its limbs are those of
    // floor(a * B^shift / d).
    const int n = a.count > d.count ? a.count : d.count;
    int below = 0;
    for (int i = n - 1; i >= 0; --i) {
        const std::uint32_t a_limb = extended_limb(a, n, i);
        const std::uint32_t d_limb = extended_limb(d, n, i);
        if (a_limb == d_limb) continue;
        below = a_limb < d_limb ? 1 : 0;
        break;
    }
    const int shift = kLimbs - 1 + below + d.count - a.count;
    const int a_exponent = a.exponent - (n - a.count) - below;
    const int d_exponent = d.exponent - (n - d.count);
    // The quotient limbs go straight into a: each function reads a's limbs before it
    // writes any.
    switch (d.count) {
        case 1: quotient_by_limb(a, shift, d.limb[0], a.limb); break;
        case 2: quotient_limbs<2>(a, shift, d, a.limb); break;
        case 3: quotient_limbs<3>(a, shift, d, a.limb); break;
        case 4: quotient_limbs<4>(a, shift, d, a.limb); break;
        case 5: quotient_limbs<5>(a, shift, d, a.limb); break;
        default: quotient_limbs<kLimbs>(a, shift, d, a.limb); break;
    }
    a.count = kLimbs;
    a.exponent = a_exponent - d_exponent - (kLimbs - 1);
    a.negative = a.negative != b.negative;
    if (scaled) scale_back(a);
    normalise(a);
}

}  // namespace fcl::decimal
