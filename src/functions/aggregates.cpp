// Not built yet: these records answer 1002 until their family lands.
#include "functions/handlers.h"

namespace fcl::handlers {

Status count(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status pcount(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status sum(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status psum(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status avg(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status pavg(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status min(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status pmin(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status max(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status pmax(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }

}  // namespace fcl::handlers
