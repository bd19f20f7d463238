// The slow paths of reading and writing stored bytes: repairing bytes this backend did not
// write, and settling an exponent outside the stored range.
#include "number/decimal.h"

namespace fcl::decimal {

void repair(Number& x) {
    if (x.count > kLimbs) x.count = kLimbs;
    for (int i = 0; i < kLimbs; ++i) {
        if (i >= x.count) x.limb[i] = 0;
        if (x.limb[i] > kLargestLimb) x.limb[i] = kLargestLimb;
    }
    normalise(x);
}

// Below -128 the number is truncated at the limb of power -128, like every other loss of
// digits in this backend (toward zero; nothing left gives zero). Above 127 it saturates at
// the largest magnitude the layout can hold (six limbs of 99999999 with exponent 127),
// keeping its sign: it never wraps to a smaller magnitude.
void settle(Number& x) {
    if (x.exponent < kLowestExponent) {
        rescale(x, kLowestExponent);
        normalise(x);
    }
    if (x.count != 0 && x.exponent > kHighestExponent) {
        x = extreme(x.negative);
        x.exponent = kHighestExponent;
    }
}

Number extreme(bool negative) {
    Number x;
    for (std::uint32_t& limb : x.limb) limb = kLargestLimb;
    x.count = kLimbs;
    x.exponent = -1;
    x.negative = negative;
    return x;
}

}  // namespace fcl::decimal
