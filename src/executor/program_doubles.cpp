// Double-number programs run on values held in registers and a small local stack: numbers as
// doubles, logicals as 0 or 1, literals by their place in the code copy. Nothing is written to
// the operand stack or the value area until something needs them there. For a handler the held
// values are written out exactly where the walk would have put them, and a number or logical it
// gives is held again. At a field answered with another type, an operand not done in place or
// a failure, they are written out and the program's generic steps go on from that instruction. At the end the formula's value is written out as the walk leaves
// it; the scratch bytes above it in the value and result areas are not (nothing reads them:
// every handler call first zeroes the bytes after the last value).
#include <cstring>

#include "executor/field_fetch.h"
#include "executor/program.h"
#include "executor/walk.h"
#include "interface/code_format.h"
#include "interface/values.h"

namespace fcl {

namespace {

// Writes a held number or logical as a tagged value; returns its size.
std::uint16_t write_held(std::uint8_t* out, std::uint8_t kind, double number) {
    out[0] = kind;
    if (kind == kNumber) {
        std::memcpy(out + 1, &number, sizeof number);
        return 9;
    }
    out[1] = number != 0.0;
    return 2;
}

// The held stack. Entry d holds a number in number[d] or a logical as 0 or 1 there; kind[d] is its
// type, with kLiteral added for a literal, which stays in the code copy at literal[d].
struct Held {
    double number[kMaxOperands + 1];
    std::uint8_t kind[kMaxOperands + 1];
    std::uint16_t literal[kMaxOperands + 1];
};
constexpr std::uint8_t kLiteral = 0x80;
static_assert((kNumber | kLogical) < kLiteral);

constexpr std::uint16_t kRawDoubleNumber = (FCL_RAW_DOUBLE << 8) | kNumber;
constexpr std::uint16_t kRawByteLogical = (FCL_RAW_U8 << 8) | kLogical;

bool both_are(const Held& held, int depth, std::uint8_t type) {
    return ((held.kind[depth - 1] | held.kind[depth]) & ~kLiteral) == type;
}

// Whether a comparison holds between two numbers, or two logicals held as 0 and 1, as the
// comparison handlers order them: a NaN equals everything.
bool holds(Op op, double a, double b) { return order_holds(op, b > a ? -1 : (b < a ? 1 : 0)); }

// Writes the held values onto the operand stack and into the value area, where the walk keeps them.
void write_out(Context& ctx, const Held& held, int depth) {
    std::uint16_t at = 0;
    for (int d = 1; d <= depth; ++d) {
        if (held.kind[d] & kLiteral) {
            ctx.stack[d] = OperandEntry{ctx.code_copy + held.literal[d], 0};
            continue;
        }
        std::uint8_t* place = ctx.value_area + at;
        const std::uint16_t bytes = write_held(place, held.kind[d], held.number[d]);
        ctx.stack[d] = OperandEntry{place, bytes};
        at = static_cast<std::uint16_t>(at + bytes);
    }
    ctx.stack_depth = static_cast<std::uint16_t>(depth);
    ctx.value_used = at;
}

// Holds a handler's value when write_out would write it back as it is: a number, or a logical
// of 0 or 1.
bool hold_value(const std::uint8_t* value, Held& held, int depth) {
    if (value[0] == kNumber) held.number[depth] = payload_double(value);
    else if (value[0] == kLogical && value[1] <= 1) held.number[depth] = value[1];
    else return false;
    held.kind[depth] = value[0];
    return true;
}

// The generic steps from instruction i on, the held values written out first.
[[gnu::noinline]] Status resume(Context& ctx, const ProgramHeader& program, const Held& held, int depth,
                                std::size_t i, std::uint8_t* result) {
    write_out(ctx, held, depth);
    return resume_program(ctx, program, i, result);
}

// As resume, once the fetch at instruction i has an answer of another kind to convert.
[[gnu::noinline]] Status resume_with_answer(Context& ctx, const ProgramHeader& program, const Held& held,
                                            int depth, std::size_t i, std::uint16_t type_word,
                                            std::uint8_t* result) {
    write_out(ctx, held, depth);
    std::uint8_t* slot = ctx.value_area + ctx.value_used;
    std::uint16_t size = 0;
    if (const Status status = convert_field_answer(ctx, type_word, slot, &size); status != kOk) return status;
    ctx.value_used = static_cast<std::uint16_t>(ctx.value_used + size);
    ctx.stack[++ctx.stack_depth] = OperandEntry{slot, size};
    return resume_program(ctx, program, i + 1, result);
}

// As resume, once the call at instruction i has left a value of another kind in the result area
// and its arguments are popped: the value is pushed as the walk pushes it.
[[gnu::noinline]] Status resume_with_value(Context& ctx, const ProgramHeader& program, const Held& held,
                                           int depth, std::size_t i, std::uint8_t* result) {
    write_out(ctx, held, depth);
    const Status status = push_value(ctx, ctx.result, value_size(ctx.result, kCodeAreaSize));
    return status == kOk ? resume_program(ctx, program, i + 1, result) : status;
}

// The formula's value alone on the held stack: written out as the walk leaves it, and to result.
Status finish(Context& ctx, const Instruction* code, const Held& held, std::size_t i, std::uint8_t* result) {
    write_out(ctx, held, 1);
    ctx.current_item = ctx.code_copy + (i ? code[i - 1].item : kCodeHeaderSize);
    if (!result) return kOk;
    if (held.kind[1] & kLiteral) write_result(ctx.code_copy + held.literal[1], result);
    else write_held(result, held.kind[1], held.number[1]);
    return kOk;
}

}  // namespace

// The held values never take more than 31 x 9 bytes of the value area, so the walk's room checks
// for a fetch and for an operator's value always pass here.
Status run_double_program(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    static_assert(kMaxOperands * 9 + kCodeAreaSize < kNodePoolSize);
    const Instruction* code = program.instructions();
    Held held;
    int depth = 0;
    reset_operands(ctx);
    for (std::size_t i = 0;; ++i) {
        const Instruction in = code[i];
        switch (in.op) {
            case Op::Push: {
                const std::uint8_t* item = ctx.code_copy + in.item;
                if (item[0] != kNumber && item[0] != kLogical) return resume(ctx, program, held, depth, i, result);
                ++depth;
                held.number[depth] = item[0] == kNumber ? payload_double(item) : item[1] != 0;
                held.kind[depth] = static_cast<std::uint8_t>(item[0] | kLiteral);
                held.literal[depth] = in.item;
                break;
            }
            case Op::Fetch: {
                std::uint16_t type_word = 0;
                const Status status = ask_for_field(ctx, ctx.code_copy + in.item, &type_word);
                if (status != kOk) return status;
                const std::uint8_t* raw = ctx.result + kRawBufferOffset;
                ++depth;
                if (type_word == kRawDoubleNumber) {
                    std::memcpy(&held.number[depth], raw, sizeof(double));
                    held.kind[depth] = kNumber;
                } else if (type_word == kRawByteLogical) {
                    held.number[depth] = raw[0] != 0;
                    held.kind[depth] = kLogical;
                } else {
                    return resume_with_answer(ctx, program, held, depth - 1, i, type_word, result);
                }
                break;
            }
            case Op::Add:
            case Op::Sub:
            case Op::Mul:
            case Op::Div: {
                const double b = held.number[depth];
                // Strings to join, other types and a division by zero are the handlers' to judge.
                if (!both_are(held, depth, kNumber) || (in.op == Op::Div && b == 0.0))
                    return resume(ctx, program, held, depth, i, result);
                --depth;
                held.number[depth] = double_arithmetic(in.op, held.number[depth], b);
                held.kind[depth] = kNumber;
                break;
            }
            case Op::Neg:
                if ((held.kind[depth] & ~kLiteral) != kNumber) return resume(ctx, program, held, depth, i, result);
                held.number[depth] = negated(held.number[depth]);
                held.kind[depth] = kNumber;
                break;
            case Op::Eq:
            case Op::Ne:
            case Op::Le:
            case Op::Ge:
            case Op::Lt:
            case Op::Gt:
                if (!both_are(held, depth, kNumber) && !both_are(held, depth, kLogical))
                    return resume(ctx, program, held, depth, i, result);
                --depth;
                held.number[depth] = holds(in.op, held.number[depth], held.number[depth + 1]);
                held.kind[depth] = kLogical;
                break;
            // On numbers AND and OR read a byte of the double: the walk's way, not done here.
            case Op::And:
            case Op::Or: {
                if (!both_are(held, depth, kLogical)) return resume(ctx, program, held, depth, i, result);
                const bool a = held.number[depth - 1] != 0;
                const bool b = held.number[depth] != 0;
                --depth;
                held.number[depth] = in.op == Op::And ? a && b : a || b;
                held.kind[depth] = kLogical;
                break;
            }
            case Op::Not: {
                const std::uint8_t type = held.kind[depth] & ~kLiteral;
                if (type != kNumber && type != kLogical) return resume(ctx, program, held, depth, i, result);
                held.number[depth] = held.number[depth] == 0.0;
                held.kind[depth] = kLogical;
                break;
            }
            case Op::End:
                return finish(ctx, code, held, i, result);
            case Op::Call: {
                // The handler reads its arguments where the walk keeps them; the values below
                // them stay held, and so does a number or a logical it gives.
                write_out(ctx, held, depth);
                if (const Status status = call_handler(ctx, code, i, depth, ctx.value_used); status != kOk)
                    return status;
                depth -= in.argc;
                if (hold_value(ctx.result, held, depth + 1)) {
                    ++depth;
                    break;
                }
                return resume_with_value(ctx, program, held, depth, i, result);
            }
            case Op::Handover:
            case Op::None:
                return resume(ctx, program, held, depth, i, result);
        }
    }
}

}  // namespace fcl
