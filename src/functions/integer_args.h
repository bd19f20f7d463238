// Integer arguments of ADATE, ATIME and CTIME: the integer part of a number argument.
#pragma once

#include <cstdint>

#include "interface/context.h"

namespace fcl {

// The argument truncated toward zero as a signed 32-bit integer, in either number encoding
// (text-number mode parses the payload into the number scratch). Values beyond the 32-bit
// range saturate at its ends and a NaN counts as 0, so that no conversion is undefined.
std::int32_t integer_argument(const std::uint8_t* value, Context& ctx);

}  // namespace fcl
