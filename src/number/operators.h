// What the formula's operators mean on doubles, on short numbers (scaled_number.h) and on
// logicals. The operator handlers, the double backend and the executor's run loop all take the
// meanings from here, so that every route gives the same bytes for the same operands.
//
// - Arithmetic on doubles follows the NaN rule (nan_rule.h).
// - A division by zero is not an arithmetic result: callers test divides_by_zero() first and
//   report it (or leave it to the DIV handler, which does).
// - Orders are -1, 0 or 1. Two doubles: a NaN equals everything. Two short numbers: by their
//   units. Two logicals: false before true.
// - NEG of a double flips its sign bit alone, so NEG of 0 is -0.0; NEG of a short number
//   negates its units.
#pragma once

#include <cstdint>
#include <cstring>

#include "number/nan_rule.h"
#include "number/scaled_number.h"

namespace fcl {

enum class Arithmetic : std::uint8_t { Add, Sub, Mul, Div };
enum class Comparison : std::uint8_t { Eq, Ne, Le, Ge, Lt, Gt };

inline bool divides_by_zero(double divisor) { return divisor == 0.0; }
inline bool divides_by_zero(std::int64_t divisor_units) { return divisor_units == 0; }

inline double arithmetic(Arithmetic op, double a, double b) {
    switch (op) {
        case Arithmetic::Add: return with_nan_rule(a, b, a + b);
        case Arithmetic::Sub: return with_nan_rule(a, b, a - b);
        case Arithmetic::Mul: return with_nan_rule(a, b, a * b);
        case Arithmetic::Div: break;
    }
    return with_nan_rule(a, b, a / b);
}

// Short numbers: false where the exact value is not short too (or b is zero for Div).
inline bool arithmetic(Arithmetic op, std::int64_t a, std::int64_t b, std::int64_t& r) {
    switch (op) {
        case Arithmetic::Add: return scaled::add(a, b, r);
        case Arithmetic::Sub: return scaled::sub(a, b, r);
        case Arithmetic::Mul: return scaled::mul(a, b, r);
        case Arithmetic::Div: break;
    }
    return scaled::div(a, b, r);
}

inline int order(double a, double b) { return b > a ? -1 : (b < a ? 1 : 0); }
inline int order(std::int64_t a, std::int64_t b) { return (a > b) - (a < b); }
inline int order(bool a, bool b) { return static_cast<int>(a) - static_cast<int>(b); }

inline bool order_holds(Comparison op, int order) {
    switch (op) {
        case Comparison::Eq: return order == 0;
        case Comparison::Ne: return order != 0;
        case Comparison::Le: return order <= 0;
        case Comparison::Ge: return order >= 0;
        case Comparison::Lt: return order < 0;
        case Comparison::Gt: break;
    }
    return order > 0;
}

inline double negated(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits ^= std::uint64_t{1} << 63;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
inline std::int64_t negated(std::int64_t units) { return -units; }

}  // namespace fcl
