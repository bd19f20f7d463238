// Not built yet: these records answer 1002 until their family lands.
#include "functions/handlers.h"

namespace fcl::handlers {

Status sei2wa(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status wa2sei(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status wyear(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status nengo(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status sei2wa1(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status sei2wa1z(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }

}  // namespace fcl::handlers
