// Short decimal numbers held as whole numbers of 10^-8: at most eight integer and eight
// fraction digits, the numbers most formulas compute with. A text-number run holds a number
// this way while it can, because sums, differences and products then cost a few integer
// instructions instead of a backend call each. Every value here is exact, so it is the very
// number an exact backend (one whose payload text reads back as the number written) computes
// from the same operands; where an operation's exact result does not fit, the caller falls back
// to the backend.
#pragma once

#include <cstdint>
#include <limits>

namespace fcl::scaled {

// Units in one: a held number s stands for s / kUnit.
constexpr std::int64_t kUnit = 100'000'000;
// Held numbers are below this in magnitude: sixteen digits in all.
constexpr std::int64_t kLimit = kUnit * kUnit;
// Where a number could be held scaled or otherwise: the mark for one that is not short.
constexpr std::int64_t kNotScaled = std::numeric_limits<std::int64_t>::min();

// The number a backend's from_dbl makes of `value` (the "%.15e" text of it: sixteen significant
// digits), when it is short; false otherwise. Zero of either sign is 0.
bool from_double(double value, std::int64_t& s);

// A number text of digits with an optional sign, point and exponent ("-12.5", "125e-1"), when
// its value is short; false otherwise, and for any other text.
bool from_text(const char* text, std::int64_t& s);

// A number payload text as from_text reads it, where the current backend is exact (its payload
// text reads back as the number written): a handler that computes on the units exactly gets the
// very number that backend's steps give, and writes it with write_units_backend. False for any
// other text, and under any other backend.
bool from_payload(const char* text, std::int64_t& s);

// Exact sums, differences, products and quotients; false when the result is not short (or
// the divisor is zero).
inline bool add(std::int64_t a, std::int64_t b, std::int64_t& r) {
    r = a + b;
    return r > -kLimit && r < kLimit;
}
inline bool sub(std::int64_t a, std::int64_t b, std::int64_t& r) {
    r = a - b;
    return r > -kLimit && r < kLimit;
}
bool mul(std::int64_t a, std::int64_t b, std::int64_t& r);
bool div(std::int64_t a, std::int64_t b, std::int64_t& r);

}  // namespace fcl::scaled
