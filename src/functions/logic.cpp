// Logical operators, the six comparisons, BETWEEN and IN.
#include <cstring>

#include "functions/handlers.h"
#include "functions/value_compare.h"
#include "interface/number_mode.h"
#include "number/backend.h"

namespace fcl::handlers {

namespace {

Status write_logical(std::uint8_t* result, bool value) {
    result[0] = kLogical;
    result[1] = value ? 1 : 0;
    return kOk;
}

bool is_value_type(std::uint8_t type) {
    return type == kString || type == kNumber || type == kLogical || type == kTime || type == kDate;
}

}  // namespace

Status logic_and(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    return write_logical(result, args[0][1] != 0 && args[1][1] != 0);
}

Status logic_or(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    return write_logical(result, args[0][1] != 0 || args[1][1] != 0);
}

Status logic_not(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const std::uint8_t* a = args[0];
    if (a[0] == kLogical) return write_logical(result, a[1] == 0);
    if (a[0] != kNumber) return kTypeError;
    if (text_numbers()) {
        backend().from_str(ctx.number_scratch, reinterpret_cast<const char*>(a + 1));
        return write_logical(result, backend().is_zero(ctx.number_scratch) != 0);
    }
    double x;
    std::memcpy(&x, a + 1, sizeof x);
    return write_logical(result, x == 0.0);
}

Status compare_eq(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return write_logical(result, compare_values(args[0], args[1], ctx) == 0);
}

Status compare_ne(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return write_logical(result, compare_values(args[0], args[1], ctx) != 0);
}

Status compare_le(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return write_logical(result, compare_values(args[0], args[1], ctx) <= 0);
}

Status compare_ge(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return write_logical(result, compare_values(args[0], args[1], ctx) >= 0);
}

Status compare_lt(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return write_logical(result, compare_values(args[0], args[1], ctx) < 0);
}

Status compare_gt(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    return write_logical(result, compare_values(args[0], args[1], ctx) > 0);
}

Status between(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const int low = compare_values(args[0], args[1], ctx);
    const int high = compare_values(args[0], args[2], ctx);
    return write_logical(result, low >= 0 && high <= 0);
}

Status in(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const std::uint16_t n = call_argc(result);
    if (n <= 1) return write_logical(result, false);
    // A first argument of no value type equals everything, as the value comparison says.
    if (!is_value_type(args[0][0])) return write_logical(result, true);
    for (std::uint16_t i = 1; i < n && i < kMaxArgs; ++i)
        if (compare_values(args[0], args[i], ctx) == 0) return write_logical(result, true);
    return write_logical(result, false);
}

}  // namespace fcl::handlers
