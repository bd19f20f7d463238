// Arithmetic operators: ADD (also joins strings), SUB, MUL, DIV, MOD and prefix NEG.
#include <cmath>
#include <cstring>

#include "functions/handlers.h"
#include "interface/code_format.h"
#include "number/nan_rule.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "number/scaled_number.h"

namespace fcl::handlers {

namespace {

using BackendOp = void (*)(void*, const void*);

// Text-number mode: first operand into the number scratch, second into the second scratch.
void load_operands(const std::uint8_t* const* args, Context& ctx) {
    backend().from_str(ctx.number_scratch, payload_text(args[0]));
    backend().from_str(ctx.number_scratch2, payload_text(args[1]));
}

Status binary(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, double (*op)(double, double),
              BackendOp backend_op) {
    if (!text_numbers()) {
        write_number_double(result, op(payload_double(args[0]), payload_double(args[1])));
        return kOk;
    }
    load_operands(args, ctx);
    backend_op(ctx.number_scratch, ctx.number_scratch2);
    write_number_backend(result, ctx.number_scratch);
    return kOk;
}

double plus(double a, double b) { return with_nan_rule(a, b, a + b); }
double minus(double a, double b) { return with_nan_rule(a, b, a - b); }
double times(double a, double b) { return with_nan_rule(a, b, a * b); }

Status join_strings(const std::uint8_t* const* args, std::uint8_t* result) {
    const std::size_t first = std::strlen(payload_text(args[0]));
    const std::size_t second = std::strlen(payload_text(args[1]));
    if (first + second > kMaxStringText) return kTooLong;
    // The arguments may live in the value area but never in the result area, so no overlap.
    result[0] = kString;
    std::memcpy(result + 1, payload_text(args[0]), first);
    std::memcpy(result + 1 + first, payload_text(args[1]), second + 1);
    return kOk;
}

// Text-number remainder: a - trunc(a / b) * b, computed through the backend slots.
void backend_remainder(const std::uint8_t* const* args, Context& ctx) {
    const Backend& n = backend();
    n.div(ctx.number_scratch, ctx.number_scratch2);
    char quotient[kNumberTextSize];
    whole_number_text(ctx.number_scratch, quotient, sizeof quotient);
    n.from_str(ctx.number_scratch, quotient);
    n.mul(ctx.number_scratch, ctx.number_scratch2);
    std::memcpy(ctx.number_scratch2, ctx.number_scratch, static_cast<std::size_t>(n.size));
    n.from_str(ctx.number_scratch, payload_text(args[0]));
    n.sub(ctx.number_scratch, ctx.number_scratch2);
}

}  // namespace

Status add(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    if (args[0][0] == kString) return join_strings(args, result);
    if (args[0][0] != kNumber) return kTypeError;
    return binary(args, result, ctx, plus, backend().add);
}

Status sub(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    return binary(args, result, ctx, minus, backend().sub);
}

Status mul(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    return binary(args, result, ctx, times, backend().mul);
}

Status div(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    if (!text_numbers()) {
        const double divisor = payload_double(args[1]);
        if (divisor == 0.0) {
            write_number_double(result, 0.0);
            return kDivideByZero;
        }
        const double dividend = payload_double(args[0]);
        write_number_double(result, with_nan_rule(dividend, divisor, dividend / divisor));
        return kOk;
    }
    load_operands(args, ctx);
    const Backend& n = backend();
    const bool by_zero = n.is_zero(ctx.number_scratch2) != 0;
    if (by_zero) n.zero(ctx.number_scratch);
    else n.div(ctx.number_scratch, ctx.number_scratch2);
    write_number_backend(result, ctx.number_scratch);
    return by_zero ? kDivideByZero : kOk;
}

Status mod(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    if (!text_numbers()) {
        // A zero divisor gives NaN and no error.
        write_number_double(result, std::fmod(payload_double(args[0]), payload_double(args[1])));
        return kOk;
    }
    // a - trunc(a / b) * b of short numbers is the remainder of their units (0 for b = 0).
    std::int64_t a = 0;
    std::int64_t b = 0;
    if (scaled::from_payload(payload_text(args[0]), a) && scaled::from_payload(payload_text(args[1]), b)) {
        write_units_backend(result, b == 0 ? 0 : a % b);
        return kOk;
    }
    load_operands(args, ctx);
    if (backend().is_zero(ctx.number_scratch2)) backend().zero(ctx.number_scratch);
    else backend_remainder(args, ctx);
    write_number_backend(result, ctx.number_scratch);
    return kOk;
}

Status neg(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    if (!text_numbers()) {
        // Flip the sign bit only, so NEG of 0 is -0.0.
        std::uint8_t bytes[8];
        std::memcpy(bytes, args[0] + 1, sizeof bytes);
        bytes[7] ^= 0x80;
        result[0] = kNumber;
        std::memcpy(result + 1, bytes, sizeof bytes);
        return kOk;
    }
    backend().from_str(ctx.number_scratch, payload_text(args[0]));
    backend().from_int(ctx.number_scratch2, -1);
    backend().mul(ctx.number_scratch, ctx.number_scratch2);
    write_number_backend(result, ctx.number_scratch);
    return kOk;
}

}  // namespace fcl::handlers
