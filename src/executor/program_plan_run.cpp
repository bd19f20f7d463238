// Running a plan (program.h) on an accumulator and a stack of spilled values. Where a step
// cannot go on, the values it holds are the held run's stack at that instruction, and
// resume_plan goes on from there as the held run would.
#include <cstring>
#include <type_traits>
#include <utility>

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

// What a step's operator takes from its operand.
enum class Takes { Numbers, Logicals, Either };
constexpr Takes takes(PlanOp op) {
    if ((op >= PlanOp::Add && op <= PlanOp::Div) || op == PlanOp::Neg) return Takes::Numbers;
    if (op == PlanOp::And || op == PlanOp::Or) return Takes::Logicals;
    return Takes::Either;
}

// Whether a step's operand is a logical: known from its operator, or else from the plan.
template <Takes kind>
bool takes_logical(const PlanStep& step) {
    if constexpr (kind == Takes::Either) return step.logical();
    return kind == Takes::Logicals;
}

// The instruction operator of an arithmetic or comparison step.
constexpr Op instruction_op(PlanOp op) {
    constexpr Op kOps[] = {Op::Add, Op::Sub, Op::Mul, Op::Div, Op::Eq, Op::Ne, Op::Le, Op::Ge, Op::Lt, Op::Gt};
    return kOps[static_cast<std::size_t>(op) - static_cast<std::size_t>(PlanOp::Add)];
}

// The steps the planner writes: an operand is taken by a Load, a binary operator, or an End of
// a literal; Spill, NEG and NOT work on the accumulator alone.
constexpr bool planned(Source source, PlanOp op) {
    switch (op) {
        case PlanOp::Load: return source == Source::Field || source == Source::Literal;
        case PlanOp::Spill:
        case PlanOp::Neg:
        case PlanOp::Not: return source == Source::None;
        case PlanOp::End: return source == Source::None || source == Source::Literal;
        default: return source != Source::None;
    }
}

// Double-number mode: numbers are doubles, a field's number its raw double.
struct PlanDoubles {
    using Number = double;
    template <Takes kind>
    static bool take(const PlanStep& step, std::uint16_t type_word, const std::uint8_t* raw, Number& n, bool& truth) {
        if (type_word != step.answer) return false;
        if constexpr (kind != Takes::Logicals) std::memcpy(&n, raw, sizeof n);
        if constexpr (kind != Takes::Numbers) truth = raw[0] != 0;
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
    template <Takes kind>
    static bool take(const PlanStep& step, std::uint16_t type_word, const std::uint8_t* raw, Number& n, bool& truth) {
        if (takes_logical<kind>(step)) {
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
        const bool done = scaled_arithmetic(op, a, b, r);
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
    const std::size_t after = step.op() == PlanOp::Load ? 0 : 1;
    if (step.source() == Source::Field) return field_instruction(program, step.ref) + after;
    if (step.source() == Source::Literal) return step.ref + after;
    return step.ref;
}

// The comparison handlers' order of two logicals: false before true.
int order_of(bool p, bool q) { return p - q; }

// Runs the step of kind `kind` through step(std::integral_constant<kind>): one comparison of
// the kind with each planned one, which the compiler turns into a single jump.
template <class Step, std::size_t... kinds>
[[gnu::always_inline]] inline bool dispatch(std::size_t kind, const Step& step, std::index_sequence<kinds...>) {
    bool goes_on = false;
    static_cast<void>(
        ((kind == kinds && (goes_on = step(std::integral_constant<std::size_t, kinds>{}), true)) || ...));
    return goes_on;
}

template <class Numbers>
Status run_with(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    using Number = typename Numbers::Number;
    PlanSpills<Number> spills;
    int spilled = 0;
    Number accumulator = 0;
    bool truth = false;
    const PlanStep* step = program.plan();
    // What the run returns once a step does not go on; a kind no step has ends it with 1007.
    Status stop = kCodeError;
    // The values held, with the operand the step took. A fetch hands over none: nothing is held
    // above the accumulator there, and passing the operand would keep it across the host's call.
    const auto hand_over = [&](std::size_t at, bool has_answer, std::uint16_t type_word, Number taken,
                               bool taken_truth) {
        const PlanValues<Number> values{&spills, spilled, accumulator, truth, taken, taken_truth};
        stop = resume_plan(ctx, program, at, values, has_answer, type_word, result);
        return false;
    };
    // One step: its operand, then its operator on the accumulator. False where the run ends.
    const auto run_step = [&]<std::size_t kind>(std::integral_constant<std::size_t, kind>) {
        constexpr Source source = source_of_kind(kind);
        constexpr PlanOp op = op_of_kind(kind);
        if constexpr (!planned(source, op)) {
            return false;
        } else {
            constexpr Takes operand_kind = takes(op);
            Number operand = 0;
            bool operand_truth = false;
            if constexpr (source == Source::Field) {
                std::uint16_t type_word = 0;
                if (const Status status = ask_for_field(ctx, ctx.callback, ctx.code_copy + step->ref, &type_word);
                    status != kOk) {
                    stop = status;
                    return false;
                }
                if (!Numbers::template take<operand_kind>(*step, type_word, ctx.result + kRawBufferOffset, operand,
                                                          operand_truth))
                    return hand_over(field_instruction(program, step->ref), true, type_word, 0, false);
            } else if constexpr (source == Source::Literal && op != PlanOp::End) {
                const Instruction& push = program.instructions()[step->ref];
                if (takes_logical<operand_kind>(*step)) operand_truth = ctx.code_copy[push.item + 1] != 0;
                else operand = Numbers::literal(ctx, program, push);
            } else if constexpr (source == Source::Spilled) {
                // The spilled value is the left operand, the accumulator the right one.
                --spilled;
                operand = accumulator;
                operand_truth = truth;
                accumulator = spills.numbers[spilled];
                truth = spills.truths[spilled];
            }
            if constexpr (op == PlanOp::Load) {
                accumulator = operand;
                truth = operand_truth;
            } else if constexpr (op == PlanOp::Spill) {
                spills.numbers[spilled] = accumulator;
                spills.truths[spilled] = truth;
                ++spilled;
            } else if constexpr (op >= PlanOp::Add && op <= PlanOp::Div) {
                if (!Numbers::template arithmetic<instruction_op(op)>(accumulator, operand))
                    return hand_over(operator_instruction(program, *step), false, 0, operand, operand_truth);
            } else if constexpr (op >= PlanOp::Eq && op <= PlanOp::Gt) {
                const int order = step->logical() ? order_of(truth, operand_truth)
                                                  : Numbers::order(accumulator, operand);
                truth = order_holds(instruction_op(op), order);
            } else if constexpr (op == PlanOp::And) {
                truth = truth && operand_truth;
            } else if constexpr (op == PlanOp::Or) {
                truth = truth || operand_truth;
            } else if constexpr (op == PlanOp::Neg) {
                accumulator = Numbers::negated(accumulator);
            } else if constexpr (op == PlanOp::Not) {
                truth = step->logical() ? !truth : accumulator == 0;
            } else if constexpr (op == PlanOp::Select) {
                // The accumulator holds the value chosen when the condition holds, the operand the other.
                if (!spills.truths[--spilled]) {
                    accumulator = operand;
                    truth = operand_truth;
                }
            } else {
                stop = kOk;
                if (!result) return false;
                if constexpr (source == Source::Literal) {
                    write_result(ctx.code_copy + program.instructions()[step->ref].item, result);
                } else if (step->logical()) {
                    result[0] = kLogical;
                    result[1] = truth ? 1 : 0;
                } else {
                    Numbers::write(result, accumulator);
                }
                return false;
            }
            // Each step moves on itself, so that it jumps straight back to the dispatch.
            ++step;
            return true;
        }
    };
    while (dispatch(step->kind, run_step, std::make_index_sequence<kStepKinds>{})) {
    }
    return stop;
}

}  // namespace

Status run_plan(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    if (!text_numbers()) return run_with<PlanDoubles>(ctx, program, result);
    return run_with<PlanScaled>(ctx, program, result);
}

}  // namespace fcl
