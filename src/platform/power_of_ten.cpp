#include "platform/power_of_ten.h"

#include <cmath>

namespace fcl::platform {

namespace {

// A number as the unevaluated sum hi + lo, with |lo| at most half an ulp of hi: about 106 bits.
struct Wide {
    double hi;
    double lo;
};

Wide normalised(double hi, double lo) {
    const double sum = hi + lo;
    return {sum, lo - (sum - hi)};
}

// a * b exactly, as hi + lo (Dekker's product, without a fused multiply-add).
Wide exact_product(double a, double b) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const auto split = [](double x) {
        const double t = kSplitter * x;
        const double high = t - (t - x);
        return Wide{high, x - high};
    };
    const Wide x = split(a), y = split(b);
    const double product = a * b;
    const double error = ((x.hi * y.hi - product) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo;
    return {product, error};
}

Wide multiply(Wide a, Wide b) {
    const Wide p = exact_product(a.hi, b.hi);
    return normalised(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// 5^k by squaring; every factor stays far below the double range for k up to 343.
Wide power_of_five(int k) {
    Wide result{1.0, 0.0};
    Wide base{5.0, 0.0};
    while (k > 0) {
        if (k & 1) result = multiply(result, base);
        k >>= 1;
        if (k > 0) base = multiply(base, base);
    }
    return result;
}

Wide reciprocal(Wide x) {
    const double q1 = 1.0 / x.hi;
    const Wide t = exact_product(q1, x.hi);
    const double remainder = ((1.0 - t.hi) - t.lo) - q1 * x.lo;
    return normalised(q1, remainder / x.hi);
}

// 10^0 to 10^22 are exact doubles, so they and their reciprocals (one correctly rounded
// division each) are the nearest doubles: the common scales of ROUND and FORMAT need no work.
constexpr int kExactPowers = 22;

struct ExactPowers {
    double value[2 * kExactPowers + 1];  // 10^n at value[n + kExactPowers]
};

constexpr ExactPowers make_exact_powers() {
    ExactPowers powers{};
    double power = 1.0;
    for (int n = 0; n <= kExactPowers; ++n) {
        powers.value[kExactPowers + n] = power;
        powers.value[kExactPowers - n] = 1.0 / power;
        power *= 10.0;
    }
    return powers;
}

constexpr ExactPowers kExact = make_exact_powers();

}  // namespace

double power_of_ten(int n) {
    if (n >= -kExactPowers && n <= kExactPowers) return kExact.value[n + kExactPowers];
    if (n > 308) return HUGE_VAL;
    if (n < -343) return 0.0;
    // 10^n = 5^n * 2^n: the power of five to about 106 bits, rounded once to a double, then
    // scaled exactly by the power of two (a second rounding only among the subnormals).
    const Wide five = n >= 0 ? power_of_five(n) : reciprocal(power_of_five(-n));
    return std::ldexp(five.hi, n);
}

}  // namespace fcl::platform
