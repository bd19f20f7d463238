// The NaN a double operation gives, made independent of how a compiler orders the operands of
// a commutative operation: the first operand's NaN (made quiet), else the second's, else the
// operation's own (x86's rule for its scalar instructions). Every place that adds, subtracts,
// multiplies or divides formula doubles goes through it, so that a decoded program, the walk's
// handlers and the double backend give the same bytes for the same NaN operands.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace fcl {

inline double quiet_nan(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits |= std::uint64_t{1} << 51;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline double with_nan_rule(double a, double b, double result) {
    if (!std::isnan(result)) [[likely]] return result;
    if (std::isnan(a)) return quiet_nan(a);
    if (std::isnan(b)) return quiet_nan(b);
    return result;
}

}  // namespace fcl
