// Stand-in for the formatting library's gQXdtoa: a double formatted with a printf-style format.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl::platform {

// Writes the NUL-terminated text of value as the printf conversion in format would,
// cut to out_size - 1 bytes.
void format_double(char* out, std::size_t out_size, const char* format, double value);

// The text of "%.<decimals>e" (decimals 0 to 17), cut as format_double cuts it. Written
// without the printf machinery, which costs more than a number's whole arithmetic.
void format_scientific(char* out, std::size_t out_size, int decimals, double value);

// The digits "%.<digits - 1>e" writes for value (digits 1 to 18), as one integer of exactly
// `digits` digits, and the power of ten of its first digit; the sign is left to the caller.
// False for zero, non-finite and subnormal values and magnitudes beyond about 10^17 or below
// 10^-18, which only the text can tell.
bool scientific_digits(double value, int digits, std::uint64_t& significand, int& exponent);

// |value| rounded to `decimals` fraction digits (0 to 19) as "%.*f" rounds, as a whole number of
// 10^-decimals: "%.*f" writes its digits with the point before the last `decimals`. False for
// other precisions and for magnitudes of 2^64 or more, NaN and infinities.
bool fixed_units(double value, int decimals, unsigned __int128& units);

}  // namespace fcl::platform
