// Logical operators, the six comparisons, BETWEEN and IN.
#include "functions/handlers.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "number/backend.h"
#include "number/operators.h"
#include "number/scaled_number.h"
#include "platform/cp932.h"

namespace fcl::handlers {

namespace {

// Three-way order of a and b, decided by a's type: texts (string, time, date) by code page 932
// characters, numbers and logicals as operators.h orders them; other types compare equal. In
// text-number mode numbers are parsed into the context's two number scratches, short ones aside.
int compare_values(const std::uint8_t* a, const std::uint8_t* b, Context& ctx) {
    switch (a[0]) {
        case kString:
        case kTime:
        case kDate:
            return cp932::compare(payload_text(a), payload_text(b));
        case kNumber: {
            if (text_numbers()) {
                std::int64_t x = 0;
                std::int64_t y = 0;
                if (scaled::from_payload(payload_text(a), x) && scaled::from_payload(payload_text(b), y))
                    return order(x, y);
                const Backend& n = backend();
                n.from_str(ctx.number_scratch, payload_text(a));
                n.from_str(ctx.number_scratch2, payload_text(b));
                return n.comp(ctx.number_scratch, ctx.number_scratch2);
            }
            return order(payload_double(a), payload_double(b));
        }
        case kLogical:
            return order(a[1] != 0, b[1] != 0);
        default:
            return 0;
    }
}

Status write_logical(std::uint8_t* result, bool value) {
    result[0] = kLogical;
    result[1] = value ? 1 : 0;
    return kOk;
}

bool is_value_type(std::uint8_t type) {
    return type == kString || type == kNumber || type == kLogical || type == kTime || type == kDate;
}

}  // namespace

Status logic_and(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    return write_logical(result, args[0][1] != 0 && args[1][1] != 0);
}

Status logic_or(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    return write_logical(result, args[0][1] != 0 || args[1][1] != 0);
}

Status logic_not(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::uint8_t* a = args[0];
    if (a[0] == kLogical) return write_logical(result, a[1] == 0);
    if (a[0] != kNumber) return kTypeError;
    if (text_numbers()) {
        backend().from_str(ctx.number_scratch, payload_text(a));
        return write_logical(result, backend().is_zero(ctx.number_scratch) != 0);
    }
    return write_logical(result, payload_double(a) == 0.0);
}

Status compare(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int comparison) {
    const int order = compare_values(args[0], args[1], ctx);
    return write_logical(result, order_holds(static_cast<Comparison>(comparison), order));
}

Status between(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const int low = compare_values(args[0], args[1], ctx);
    const int high = compare_values(args[0], args[2], ctx);
    return write_logical(result, low >= 0 && high <= 0);
}

Status in(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::uint16_t n = call_argc(result);
    if (n <= 1) return write_logical(result, false);
    // A first argument of no value type equals everything, as the value comparison says.
    if (!is_value_type(args[0][0])) return write_logical(result, true);
    for (std::uint16_t i = 1; i < n && i < kMaxArgs; ++i)
        if (compare_values(args[0], args[i], ctx) == 0) return write_logical(result, true);
    return write_logical(result, false);
}

}  // namespace fcl::handlers
