// Not built yet: these records answer 1002 until their family lands.
#include "functions/handlers.h"

namespace fcl::handlers {

Status logic_and(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status logic_or(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status logic_not(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status compare_eq(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status compare_ne(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status compare_le(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status compare_ge(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status compare_lt(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status compare_gt(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status between(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status in(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }

}  // namespace fcl::handlers
