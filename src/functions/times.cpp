// Not built yet: these records answer 1002 until their family lands.
#include "functions/handlers.h"

namespace fcl::handlers {

Status time(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status itime(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status hour(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status mint(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status sec(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status ttoc(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status ctot(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status atime(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status ctime(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }

}  // namespace fcl::handlers
