// The value comparison behind the comparison operators, BETWEEN and IN.
#pragma once

#include <cstdint>

#include "interface/context.h"

namespace fcl {

// Three-way order of a and b, decided by a's type: texts (string, time, date) by code page 932
// characters, numbers numerically (a NaN equals everything), logicals by truth; other types
// compare equal. In text-number mode numbers are parsed into the context's two number scratches.
int compare_values(const std::uint8_t* a, const std::uint8_t* b, Context& ctx);

}  // namespace fcl
