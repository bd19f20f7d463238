// Not built yet: these records answer 1002 until their family lands.
#include "functions/handlers.h"

namespace fcl::handlers {

Status add(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status sub(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status mul(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status div(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status mod(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status neg(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }

}  // namespace fcl::handlers
