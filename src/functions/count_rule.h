// The count rule: a number argument read as a whole count or position (LEFT, REP, SELECT), and
// with its sign kept as the integer argument of ADATE, ATIME and CTIME.
#pragma once

#include <cstdint>

#include "interface/context.h"

namespace fcl {

// The number value truncated toward zero and held in the signed 32-bit range (beyond it the
// nearest bound; NaN gives 0). Without keep_sign a value below zero gives 0.
// In text-number mode the number text is parsed through the backend in the context's number
// scratch (and, without keep_sign, the second number scratch); both may be overwritten.
std::int32_t count_argument(const std::uint8_t* value, Context& ctx, bool keep_sign);

}  // namespace fcl
