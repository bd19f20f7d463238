// Not built yet: these records answer 1002 until their family lands.
#include "functions/handlers.h"

namespace fcl::handlers {

Status date(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status idate(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status year(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status month(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status day(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status dow(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status cdow(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status dtoc(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status ctod(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status adate(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status cdate(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }
Status month2(const std::uint8_t* const*, std::uint8_t*, Context&) { return kUnknownName; }

}  // namespace fcl::handlers
