// Running a plan (program.h) on an accumulator and a stack of spilled values. Where a step
// cannot go on, the values it holds are the held run's stack at that instruction, and
// resume_plan goes on from there as the held run would.
#include <cstring>

#include "executor/field_fetch.h"
#include "executor/program.h"
#include "executor/scaled_number.h"
#include "executor/walk.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"

namespace fcl {

namespace {

// Double-number mode: numbers are doubles, a field's number its raw double.
struct PlanDoubles {
    using Number = double;
    static bool take(const PlanStep& step, std::uint16_t type_word, const std::uint8_t* raw, Number& n, bool& truth) {
        if (type_word != step.answer) return false;
        // Both readings, so that neither operand stays live across the next call.
        truth = raw[0] != 0;
        std::memcpy(&n, raw, sizeof n);
        return true;
    }
    static Number literal(const Context& ctx, const ProgramHeader&, const Instruction& push) {
        return payload_double(ctx.code_copy + push.item);
    }
    // Left as it was where not done here: a division by zero is the handler's to report.
    template <Op op>
    static bool arithmetic(Number& a, Number b) {
        if (op == Op::Div && b == 0.0) return false;
        a = double_arithmetic(op, a, b);
        return true;
    }
    // The comparison handlers' order: a NaN equals everything.
    static int order(Number a, Number b) { return b > a ? -1 : (b < a ? 1 : 0); }
    static Number negated(Number a) { return fcl::negated(a); }
    static void write(std::uint8_t* result, Number a) {
        result[0] = kNumber;
        std::memcpy(result + 1, &a, sizeof a);
    }
};

// Text-number mode: numbers are scaled ones (scaled_number.h); a field's number is taken when
// it is a short double or number text, as the held run holds it.
struct PlanScaled {
    using Number = std::int64_t;
    static bool take(const PlanStep& step, std::uint16_t type_word, const std::uint8_t* raw, Number& n, bool& truth) {
        if (step.logical()) {
            truth = raw[0] != 0;
            return type_word == kRawByteLogical;
        }
        if (type_word == kRawDoubleNumber) {
            double value;
            std::memcpy(&value, raw, sizeof value);
            return scaled::from_double(value, n);
        }
        return type_word == ((FCL_RAW_TEXT << 8) | kNumber) && scaled::from_text(reinterpret_cast<const char*>(raw), n);
    }
    // Planned only where every number literal is kept scaled.
    static Number literal(const Context&, const ProgramHeader& program, const Instruction& push) {
        return program.kept_number(push.kept).scaled;
    }
    // Exact where done, so the very number the backend gives; left as it was where not.
    template <Op op>
    static bool arithmetic(Number& a, Number b) {
        Number r = 0;
        bool done = false;
        if constexpr (op == Op::Add) done = scaled::add(a, b, r);
        else if constexpr (op == Op::Sub) done = scaled::sub(a, b, r);
        else if constexpr (op == Op::Mul) done = scaled::mul(a, b, r);
        else done = scaled::div(a, b, r);
        if (done) a = r;
        return done;
    }
    static int order(Number a, Number b) { return (a > b) - (a < b); }
    static Number negated(Number a) { return -a; }
    static void write(std::uint8_t* result, Number a) { write_units_backend(result, a); }
};

// The instruction that fetches a step's field (the planner made sure there is one).
std::size_t field_instruction(const ProgramHeader& program, std::uint16_t item) {
    const Instruction* code = program.instructions();
    std::size_t i = 0;
    while (i + 1 < program.count && (code[i].op != Op::Fetch || code[i].item != item)) ++i;
    return i;
}

// The instruction of a step's operator: a field's or literal's is the one after it.
std::size_t operator_instruction(const ProgramHeader& program, const PlanStep& step) {
    const std::size_t after = step.op == PlanOp::Load ? 0 : 1;
    if (step.source == Source::Field) return field_instruction(program, step.ref) + after;
    if (step.source == Source::Literal) return step.ref + after;
    return step.ref;
}

// The comparison handlers' order of two logicals: false before true.
int order_of(bool p, bool q) { return p - q; }

template <class Numbers>
Status run_with(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    using Number = typename Numbers::Number;
    // Read once: no call on this context can change it while it runs.
    const FCLFIELDPROC callback = ctx.callback;
    reset_operands(ctx);
    Number numbers[kMaxOperands + 1];
    bool truths[kMaxOperands + 1];
    int spilled = 0;
    Number accumulator = 0;
    Number operand = 0;
    bool truth = false;
    bool operand_truth = false;
    // The values held, with the operand the step took. A fetch hands over none: nothing is held
    // above the accumulator there, and passing the operand would keep it across the host's call.
    const auto hand_over = [&](std::size_t at, bool has_answer, std::uint16_t type_word, Number taken,
                               bool taken_truth) {
        const PlanValues<Number> values{numbers, truths, spilled, accumulator, truth, taken, taken_truth};
        return resume_plan(ctx, program, at, values, has_answer, type_word, result);
    };
    // An operation not done here, its operands as they were.
    const PlanStep* step = program.plan();
    const auto refused = [&] {
        return hand_over(operator_instruction(program, *step), false, 0, operand, operand_truth);
    };
    const auto compare = [&] {
        return step->logical() ? order_of(truth, operand_truth) : Numbers::order(accumulator, operand);
    };
    for (;; ++step) {
        const Source source = step->source;
        if (source == Source::Field) {
            std::uint16_t type_word = 0;
            if (const Status status = ask_for_field(ctx, callback, ctx.code_copy + step->ref, &type_word);
                status != kOk)
                return status;
            if (!Numbers::take(*step, type_word, ctx.result + kRawBufferOffset, operand, operand_truth))
                return hand_over(field_instruction(program, step->ref), true, type_word, 0, false);
        } else if (source == Source::Literal) {
            const Instruction& push = program.instructions()[step->ref];
            if (step->logical()) operand_truth = ctx.code_copy[push.item + 1] != 0;
            else operand = Numbers::literal(ctx, program, push);
        } else if (source == Source::Spilled) {
            // The spilled value is the left operand, the accumulator the right one.
            --spilled;
            operand = accumulator;
            operand_truth = truth;
            accumulator = numbers[spilled];
            truth = truths[spilled];
        }
        switch (step->op) {
            case PlanOp::Load:
                accumulator = operand;
                truth = operand_truth;
                break;
            case PlanOp::Spill:
                numbers[spilled] = accumulator;
                truths[spilled] = truth;
                ++spilled;
                break;
            case PlanOp::Add: if (Numbers::template arithmetic<Op::Add>(accumulator, operand)) break; return refused();
            case PlanOp::Sub: if (Numbers::template arithmetic<Op::Sub>(accumulator, operand)) break; return refused();
            case PlanOp::Mul: if (Numbers::template arithmetic<Op::Mul>(accumulator, operand)) break; return refused();
            case PlanOp::Div: if (Numbers::template arithmetic<Op::Div>(accumulator, operand)) break; return refused();
            case PlanOp::Eq: truth = compare() == 0; break;
            case PlanOp::Ne: truth = compare() != 0; break;
            case PlanOp::Le: truth = compare() <= 0; break;
            case PlanOp::Ge: truth = compare() >= 0; break;
            case PlanOp::Lt: truth = compare() < 0; break;
            case PlanOp::Gt: truth = compare() > 0; break;
            case PlanOp::And: truth = truth && operand_truth; break;
            case PlanOp::Or: truth = truth || operand_truth; break;
            case PlanOp::Neg: accumulator = Numbers::negated(accumulator); break;
            case PlanOp::Not: truth = step->logical() ? !truth : accumulator == 0; break;
            case PlanOp::End:
                if (!result) return kOk;
                if (source == Source::Literal) {
                    write_result(ctx.code_copy + program.instructions()[step->ref].item, result);
                } else if (step->logical()) {
                    result[0] = kLogical;
                    result[1] = truth ? 1 : 0;
                } else {
                    Numbers::write(result, accumulator);
                }
                return kOk;
        }
    }
}

}  // namespace

Status run_plan(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    if (!text_numbers()) return run_with<PlanDoubles>(ctx, program, result);
    return run_with<PlanScaled>(ctx, program, result);
}

}  // namespace fcl
