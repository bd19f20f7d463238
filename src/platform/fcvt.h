// Stand-in for the C runtime's _fcvt: the digits of a double rounded to a number of decimals.
#pragma once

#include <cstddef>

namespace fcl::platform {

struct FixedDigits {
    char digits[400];  // significant digits without sign or point, NUL-terminated
    int point;         // position of the decimal point relative to the first digit
    bool negative;
};

// digits, point and sign of value rounded to `decimals` fraction digits (decimals is
// clamped to 0..340). Leading zeros are not part of the digits: 0.05 with 3 decimals
// gives "50" and point -1; 12.5 with 1 gives "125" and point 2; a value that rounds to
// zero gives "" and point -decimals. Infinities and NaN give "" and point 0.
void fcvt(double value, int decimals, FixedDigits& out);

}  // namespace fcl::platform
