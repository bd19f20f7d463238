// Not built yet: these records answer 1002 until their family lands.
#include "functions/handlers.h"

namespace fcl::handlers {

Status left(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status right(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status mid(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status str(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status val(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status len(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status rep(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status spc(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status at(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status like(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status asc(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status chr(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status reverse(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status replace(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }

}  // namespace fcl::handlers
