// Arithmetic operators: ADD (also joins strings), SUB, MUL, DIV, MOD and prefix NEG.
#include <cmath>
#include <cstring>

#include "functions/handlers.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "number/operators.h"
#include "number/scaled_number.h"

namespace fcl::handlers {

namespace {

// Text-number mode: first operand into the number scratch, second into the second scratch.
void load_operands(const std::uint8_t* const* args, Context& ctx) {
    backend().from_str(ctx.number_scratch, payload_text(args[0]));
    backend().from_str(ctx.number_scratch2, payload_text(args[1]));
}

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

// The backend's operation for op: the first number becomes the result.
void backend_arithmetic(Arithmetic op, void* a, const void* b) {
    const Backend& n = backend();
    switch (op) {
        case Arithmetic::Add: return n.add(a, b);
        case Arithmetic::Sub: return n.sub(a, b);
        case Arithmetic::Mul: return n.mul(a, b);
        case Arithmetic::Div: break;
    }
    n.div(a, b);
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

// ADD, SUB, MUL and DIV. A division by zero writes number zero and fails with kDivideByZero.
Status arithmetic_operator(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int fixed) {
    const auto op = static_cast<Arithmetic>(fixed);
    if (op == Arithmetic::Add) {
        if (args[0][0] == kString) return join_strings(args, result);
        if (args[0][0] != kNumber) return kTypeError;
    }
    if (!text_numbers()) {
        const double a = payload_double(args[0]);
        const double b = payload_double(args[1]);
        if (op == Arithmetic::Div && divides_by_zero(b)) {
            write_number_double(result, 0.0);
            return kDivideByZero;
        }
        write_number_double(result, arithmetic(op, a, b));
        return kOk;
    }
    load_operands(args, ctx);
    if (op == Arithmetic::Div && backend().is_zero(ctx.number_scratch2)) {
        backend().zero(ctx.number_scratch);
        write_number_backend(result, ctx.number_scratch);
        return kDivideByZero;
    }
    backend_arithmetic(op, ctx.number_scratch, ctx.number_scratch2);
    write_number_backend(result, ctx.number_scratch);
    return kOk;
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
        write_units_backend(result, divides_by_zero(b) ? 0 : a % b);
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
        write_number_double(result, negated(payload_double(args[0])));
        return kOk;
    }
    backend().from_str(ctx.number_scratch, payload_text(args[0]));
    backend().from_int(ctx.number_scratch2, -1);
    backend().mul(ctx.number_scratch, ctx.number_scratch2);
    write_number_backend(result, ctx.number_scratch);
    return kOk;
}

}  // namespace fcl::handlers
