// Programs that hold their numbers and logicals apart from the value area: in registers and a
// small local stack, numbers as doubles (double-number mode) or as short scaled numbers and
// backend numbers (text-number mode with a backend whose payload text reads back as the number
// written), literals by their place in the code copy. Nothing is written to the operand stack
// or the value area until something needs them there. For a handler the held values are
// written out exactly where the walk would have put them (a number as its text in text-number
// mode), and a logical it gives, or a double-number mode number, is held again. At a field
// answered with another type, an operand not done in place, a value area that could be near
// full, or a failure, they are written out and the program's generic steps go on from that
// instruction. At the end the formula's value goes to the result, and the operand stack is
// left empty. The scratch bytes in the value and result areas are not cleaned up either
// (nothing reads them: every handler call first zeroes the bytes after the last value).
#include <cstring>

#include "executor/field_fetch.h"
#include "executor/program.h"
#include "executor/walk.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "number/scaled_number.h"

namespace fcl {

namespace {

// Double-number mode: a number is its double.
struct DoubleNumbers {
    using Number = double;
    // The most a held number takes in the value area.
    static constexpr std::size_t kMostBytes = 9;
    // A number literal's held number writes out as the literal's own bytes.
    static constexpr bool kLiteralsWriteBack = true;
    // A field's number costs the generic steps no more than it costs here: nine bytes.
    static constexpr bool kFieldNumbersCheaper = false;

    static void literal(const ProgramHeader&, const Instruction&, const std::uint8_t* item, Number& n) {
        n = payload_double(item);
    }
    static bool answer(std::uint16_t type_word, const std::uint8_t* raw, Number& n) {
        if (type_word != kRawDoubleNumber) return false;
        std::memcpy(&n, raw, sizeof n);
        return true;
    }
    // A division by zero is the handler's to report.
    template <Op op>
    static bool arithmetic(Number& a, const Number& b) {
        if (op == Op::Div && b == 0.0) return false;
        a = double_arithmetic(op, a, b);
        return true;
    }
    static bool negate(Number& a) {
        a = negated(a);
        return true;
    }
    // The comparison handlers' order: a NaN equals everything.
    static int order(const Number& a, const Number& b) { return b > a ? -1 : (b < a ? 1 : 0); }
    static bool is_zero(const Number& a) { return a == 0.0; }
    static std::uint16_t write(std::uint8_t* out, const Number& a) {
        out[0] = kNumber;
        std::memcpy(out + 1, &a, sizeof a);
        return 9;
    }
    // A handler's number, written back, is the value it wrote.
    static bool hold_result(const std::uint8_t* value, Number& n) {
        n = payload_double(value);
        return true;
    }
};

// Text-number mode: a number is held scaled while it is short (scaled_number.h), else as its
// backend number; either way its text is written only where it is read. The backend is exact
// (its payload text reads back as the number written), so a short sum, difference, product or
// quotient is the very number the backend gives, and from_units() makes that number of a scaled
// one.
struct BackendNumbers {
    struct Number {
        std::int64_t scaled;  // kNotScaled when `bytes` hold the number
        alignas(8) std::uint8_t bytes[kNumberSize];
    };
    static constexpr std::size_t kMostBytes = kMaxStringText + 2;  // write_number_backend's longest
    // A literal's text is the block's, which its number need not write back as.
    static constexpr bool kLiteralsWriteBack = false;
    // A field's number is held scaled here; the generic steps make a backend number of it.
    static constexpr bool kFieldNumbersCheaper = true;

    // Read once, when the program was decoded.
    static void literal(const ProgramHeader& program, const Instruction& in, const std::uint8_t*, Number& n) {
        const KeptNumber& kept = program.kept_number(in.kept);
        n.scaled = kept.scaled;
        if (n.scaled == kNotScaled) std::memcpy(n.bytes, kept.number, sizeof n.bytes);
    }
    static bool answer(std::uint16_t type_word, const std::uint8_t* raw, Number& n) {
        return number_answer(type_word, raw, &n.scaled, n.bytes);
    }
    // The number as a backend number from here on.
    static std::uint8_t* unscaled(Number& n) {
        if (n.scaled != kNotScaled) {
            backend().from_units(n.bytes, n.scaled);
            n.scaled = kNotScaled;
        }
        return n.bytes;
    }
    template <Op op>
    static bool arithmetic(Number& a, Number& b) {
        std::int64_t r;
        if (a.scaled != kNotScaled && b.scaled != kNotScaled && scaled_arithmetic(op, a.scaled, b.scaled, r)) {
            a.scaled = r;
            return true;
        }
        const Backend& n = backend();
        std::uint8_t* x = unscaled(a);
        const std::uint8_t* y = unscaled(b);
        if constexpr (op == Op::Add) n.add(x, y);
        else if constexpr (op == Op::Sub) n.sub(x, y);
        else if constexpr (op == Op::Mul) n.mul(x, y);
        else if (n.is_zero(y)) return false;
        else n.div(x, y);
        return true;
    }
    // NEG multiplies by -1 through the backend, exactly: a scaled number changes its sign, a
    // backend number is left to the handler.
    static bool negate(Number& a) {
        if (a.scaled == kNotScaled) return false;
        a.scaled = -a.scaled;
        return true;
    }
    static int order(Number& a, Number& b) {
        if (a.scaled != kNotScaled && b.scaled != kNotScaled) return (a.scaled > b.scaled) - (a.scaled < b.scaled);
        return backend().comp(unscaled(a), unscaled(b));
    }
    static bool is_zero(Number& a) { return a.scaled != kNotScaled ? a.scaled == 0 : backend().is_zero(a.bytes) != 0; }
    static std::uint16_t write(std::uint8_t* out, const Number& a) {
        if (a.scaled == kNotScaled) return write_number_backend(out, a.bytes);
        return write_units_backend(out, a.scaled);
    }
    // A handler's number text stays as the handler wrote it.
    static bool hold_result(const std::uint8_t*, Number&) { return false; }
};

constexpr std::uint8_t kLiteral = 0x80;
static_assert((kNumber | kLogical) < kLiteral);

// The held stack. Entry d: a number in number[d] or a logical in truth[d]; kind[d] is its type,
// with kLiteral added for a literal, which stays in the code copy at literal[d].
template <class Numbers>
struct Held {
    typename Numbers::Number number[kMaxOperands + 1];
    bool truth[kMaxOperands + 1];
    std::uint8_t kind[kMaxOperands + 1];
    std::uint16_t literal[kMaxOperands + 1];

    bool both_are(int depth, std::uint8_t type) const { return ((kind[depth - 1] | kind[depth]) & ~kLiteral) == type; }

    // An arithmetic operator on the top two numbers; false, with nothing changed, when it is not
    // done here (strings to join and other types are the handlers' to judge).
    template <Op op>
    bool arithmetic(int& depth) {
        if (!both_are(depth, kNumber) || !room_for(depth - 2, Numbers::kMostBytes) ||
            !Numbers::template arithmetic<op>(number[depth - 1], number[depth]))
            return false;
        kind[--depth] = kNumber;
        return true;
    }

    // IF on the top three: the condition a logical, the value chosen a number or logical that
    // writes out as IF's handler copies it. False, with nothing changed, where not done here.
    bool choose(int depth) {
        const int condition = depth - 2;
        if ((kind[condition] & ~kLiteral) != kLogical || !room_for(condition - 1, Numbers::kMostBytes)) return false;
        const int chosen = truth[condition] ? depth - 1 : depth;
        const std::uint8_t type = kind[chosen] & ~kLiteral;
        if (type == kNumber && (Numbers::kLiteralsWriteBack || !(kind[chosen] & kLiteral))) {
            number[condition] = number[chosen];
        } else if (type == kLogical) {
            truth[condition] = truth[chosen];
        } else {
            return false;
        }
        kind[condition] = type;
        return true;
    }

    // Whether the walk surely finds room for a value of `bytes` on the `depth` values below: held
    // values may stand for more than the value area holds only where texts are written out.
    bool room_for(int depth, std::size_t bytes) const {
        if constexpr (Numbers::kMostBytes * kMaxOperands + kCodeAreaSize < kNodePoolSize) return true;
        std::size_t used = bytes;
        for (int d = 1; d <= depth; ++d)
            if (!(kind[d] & kLiteral)) used += kind[d] == kNumber ? Numbers::kMostBytes : 2;
        return used < kNodePoolSize;
    }

    // Whether one of the values up to depth is a number that is no literal.
    bool holds_number(int depth) const {
        for (int d = 1; d <= depth; ++d)
            if (kind[d] == kNumber) return true;
        return false;
    }

    // Holds a handler's value where write_out would write it back as it is.
    bool hold_value(const std::uint8_t* value, int depth) {
        if (value[0] == kNumber) {
            if (!Numbers::hold_result(value, number[depth])) return false;
        } else if (value[0] == kLogical && value[1] <= 1) {
            truth[depth] = value[1] != 0;
        } else {
            return false;
        }
        kind[depth] = value[0];
        return true;
    }

    // Writes the held values onto the operand stack and into the value area, where the walk keeps them.
    void write_out(Context& ctx, int depth) const {
        std::uint16_t at = 0;
        for (int d = 1; d <= depth; ++d) {
            if (kind[d] & kLiteral) {
                ctx.stack[d] = OperandEntry{ctx.code_copy + literal[d], 0};
                continue;
            }
            std::uint8_t* place = ctx.value_area + at;
            std::uint16_t bytes = 2;
            if (kind[d] == kNumber) {
                bytes = Numbers::write(place, number[d]);
            } else {
                place[0] = kLogical;
                place[1] = truth[d] ? 1 : 0;
            }
            ctx.stack[d] = OperandEntry{place, bytes};
            at = static_cast<std::uint16_t>(at + bytes);
        }
        ctx.stack_depth = static_cast<std::uint16_t>(depth);
        ctx.value_used = at;
    }
};

// A hand-over at instruction i with depth values held before it, for note_handover; not where
// a field's number held here costs less than it would in the generic steps.
template <class Numbers>
void note(const ProgramHeader& program, const Held<Numbers>& held, int depth, std::size_t i) {
    if (!(Numbers::kFieldNumbersCheaper && held.holds_number(depth))) note_handover(program, depth, i);
}

// The generic steps from instruction i on, the held values written out first.
template <class Numbers>
[[gnu::noinline]] Status resume(Context& ctx, const ProgramHeader& program, const Held<Numbers>& held, int depth,
                                std::size_t i, std::uint8_t* result) {
    note(program, held, depth, i);
    held.write_out(ctx, depth);
    return resume_program(ctx, program, i, result);
}

// As resume, once the fetch at instruction i has an answer of another kind to convert.
template <class Numbers>
[[gnu::noinline]] Status resume_with_answer(Context& ctx, const ProgramHeader& program, const Held<Numbers>& held,
                                            int depth, std::size_t i, std::uint16_t type_word,
                                            std::uint8_t* result) {
    note(program, held, depth, i);
    held.write_out(ctx, depth);
    std::uint8_t* slot = ctx.value_area + ctx.value_used;
    std::uint16_t size = 0;
    if (const Status status = convert_field_answer(ctx, type_word, slot, &size); status != kOk) return status;
    ctx.value_used = static_cast<std::uint16_t>(ctx.value_used + size);
    ctx.stack[++ctx.stack_depth] = OperandEntry{slot, size};
    return resume_program(ctx, program, i + 1, result);
}

// As resume, once the call at instruction i has left a value of another kind in the result area
// and its arguments are popped: the value is pushed as the walk pushes it.
template <class Numbers>
[[gnu::noinline]] Status resume_with_value(Context& ctx, const ProgramHeader& program, const Held<Numbers>& held,
                                           int depth, std::size_t i, std::uint8_t* result) {
    // The call's arguments are still held above depth.
    note(program, held, depth + program.instructions()[i].argc, i);
    held.write_out(ctx, depth);
    const Status status = push_value(ctx, ctx.result, value_size(ctx.result, kCodeAreaSize));
    return status == kOk ? resume_program(ctx, program, i + 1, result) : status;
}

// The formula's value alone on the held stack, to result. The operand stack is left empty:
// nothing reads it after a run, and writing the value out there as the walk leaves it would
// cost about as much as writing it to result.
template <class Numbers>
Status finish(Context& ctx, const Held<Numbers>& held, std::uint8_t* result) {
    reset_operands(ctx);
    if (!result) return kOk;
    if (held.kind[1] & kLiteral) {
        write_result(ctx.code_copy + held.literal[1], result);
    } else if (held.kind[1] == kLogical) {
        result[0] = kLogical;
        result[1] = held.truth[1] ? 1 : 0;
    } else {
        Numbers::write(result, held.number[1]);
    }
    return kOk;
}

template <class Numbers>
Status run_held(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    const Instruction* code = program.instructions();
    Held<Numbers> held;
    int depth = 0;
    reset_operands(ctx);
    for (std::size_t i = 0;; ++i) {
        const Instruction in = code[i];
        switch (in.op) {
            case Op::Push: {
                const std::uint8_t* item = ctx.code_copy + in.item;
                if (item[0] == kNumber) Numbers::literal(program, in, item, held.number[depth + 1]);
                else if (item[0] == kLogical) held.truth[depth + 1] = item[1] != 0;
                else return resume(ctx, program, held, depth, i, result);
                ++depth;
                held.kind[depth] = static_cast<std::uint8_t>(item[0] | kLiteral);
                held.literal[depth] = in.item;
                break;
            }
            case Op::Fetch: {
                // The walk's room rule: a value of any size must fit, else it takes its slower route.
                if (!held.room_for(depth, kCodeAreaSize)) return resume(ctx, program, held, depth, i, result);
                std::uint16_t type_word = 0;
                const Status status = ask_for_field(ctx, ctx.code_copy + in.item, &type_word);
                if (status != kOk) return status;
                const std::uint8_t* raw = ctx.result + kRawBufferOffset;
                if (Numbers::answer(type_word, raw, held.number[depth + 1])) {
                    held.kind[++depth] = kNumber;
                } else if (type_word == kRawByteLogical) {
                    held.truth[++depth] = raw[0] != 0;
                    held.kind[depth] = kLogical;
                } else {
                    return resume_with_answer(ctx, program, held, depth, i, type_word, result);
                }
                break;
            }
            // One case an operator, so that each is its own short path.
            case Op::Add:
                if (!held.template arithmetic<Op::Add>(depth)) return resume(ctx, program, held, depth, i, result);
                break;
            case Op::Sub:
                if (!held.template arithmetic<Op::Sub>(depth)) return resume(ctx, program, held, depth, i, result);
                break;
            case Op::Mul:
                if (!held.template arithmetic<Op::Mul>(depth)) return resume(ctx, program, held, depth, i, result);
                break;
            case Op::Div:
                if (!held.template arithmetic<Op::Div>(depth)) return resume(ctx, program, held, depth, i, result);
                break;
            case Op::Neg:
                if ((held.kind[depth] & ~kLiteral) != kNumber || !Numbers::negate(held.number[depth]))
                    return resume(ctx, program, held, depth, i, result);
                held.kind[depth] = kNumber;
                break;
            case Op::Eq:
            case Op::Ne:
            case Op::Le:
            case Op::Ge:
            case Op::Lt:
            case Op::Gt: {
                int order = 0;
                if (held.both_are(depth, kNumber)) order = Numbers::order(held.number[depth - 1], held.number[depth]);
                else if (held.both_are(depth, kLogical)) order = held.truth[depth - 1] - held.truth[depth];
                else return resume(ctx, program, held, depth, i, result);
                held.truth[--depth] = order_holds(in.op, order);
                held.kind[depth] = kLogical;
                break;
            }
            // On numbers AND and OR read a byte of the value: the walk's way, not done here.
            case Op::And:
            case Op::Or: {
                if (!held.both_are(depth, kLogical)) return resume(ctx, program, held, depth, i, result);
                const bool a = held.truth[depth - 1];
                const bool b = held.truth[depth];
                held.truth[--depth] = in.op == Op::And ? a && b : a || b;
                held.kind[depth] = kLogical;
                break;
            }
            case Op::Not: {
                const std::uint8_t type = held.kind[depth] & ~kLiteral;
                if (type == kNumber) held.truth[depth] = Numbers::is_zero(held.number[depth]);
                else if (type == kLogical) held.truth[depth] = !held.truth[depth];
                else return resume(ctx, program, held, depth, i, result);
                held.kind[depth] = kLogical;
                break;
            }
            case Op::If:
                if (held.choose(depth)) {
                    depth -= 2;
                    break;
                }
                [[fallthrough]];
            case Op::Call: {
                // The handler reads its arguments where the walk keeps them; the values below
                // them stay held, and so may the value it gives.
                held.write_out(ctx, depth);
                if (const Status status = call_handler(ctx, code, i, depth, ctx.value_used); status != kOk)
                    return status;
                depth -= in.argc;
                if (!held.room_for(depth, Numbers::kMostBytes) || !held.hold_value(ctx.result, depth + 1))
                    return resume_with_value(ctx, program, held, depth, i, result);
                ++depth;
                break;
            }
            case Op::End:
                return finish(ctx, held, result);
            case Op::Handover:
            case Op::None:
                return resume(ctx, program, held, depth, i, result);
        }
    }
}

}  // namespace

Status run_held_program(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    if (!text_numbers()) return run_held<DoubleNumbers>(ctx, program, result);
    return run_held<BackendNumbers>(ctx, program, result);
}

namespace {

// A plan's number as the held run holds it.
void hold_planned(double value, DoubleNumbers::Number& n) { n = value; }
void hold_planned(std::int64_t value, BackendNumbers::Number& n) { n.scaled = value; }

// The held stack at `at` takes its types from the instructions before it (a field's from the
// plan) and its values from the plan's run.
template <class Numbers, class Number>
Status resume_planned(Context& ctx, const ProgramHeader& program, std::size_t at, const PlanValues<Number>& values,
                      bool has_answer, std::uint16_t type_word, std::uint8_t* result) {
    // A plan's run leaves the operand stack alone until it hands over.
    reset_operands(ctx);
    const Instruction* code = program.instructions();
    Held<Numbers> held;
    int depth = 0;
    for (std::size_t i = 0; i < at; ++i) {
        const Instruction in = code[i];
        if (in.op == Op::Push) {
            held.kind[++depth] = static_cast<std::uint8_t>(ctx.code_copy[in.item] | kLiteral);
            held.literal[depth] = in.item;
        } else if (in.op == Op::Fetch) {
            held.kind[++depth] = in.index;
        } else {
            depth -= in.argc - 1;
            // IF gives the type of the values it chooses from.
            held.kind[depth] = in.op == Op::If ? held.kind[depth + 1] & ~kLiteral : type_given(in.op);
        }
    }
    for (int d = 1; d <= depth; ++d) {
        const int below = d - 1;
        const bool spilled = below < values.spilled;
        const bool accumulator = below == values.spilled;
        const Number number = spilled ? values.spills->numbers[below] : accumulator ? values.accumulator : values.operand;
        hold_planned(number, held.number[d]);
        held.truth[d] = spilled ? values.spills->truths[below] : accumulator ? values.truth : values.operand_truth;
    }
    if (has_answer) return resume_with_answer(ctx, program, held, depth, at, type_word, result);
    return resume(ctx, program, held, depth, at, result);
}

}  // namespace

Status resume_plan(Context& ctx, const ProgramHeader& program, std::size_t at, const PlanValues<double>& values,
                   bool has_answer, std::uint16_t type_word, std::uint8_t* result) {
    return resume_planned<DoubleNumbers>(ctx, program, at, values, has_answer, type_word, result);
}

Status resume_plan(Context& ctx, const ProgramHeader& program, std::size_t at, const PlanValues<std::int64_t>& values,
                   bool has_answer, std::uint16_t type_word, std::uint8_t* result) {
    return resume_planned<BackendNumbers>(ctx, program, at, values, has_answer, type_word, result);
}

}  // namespace fcl
