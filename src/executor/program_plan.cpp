// Plans of double-number programs (program.h): building one from a program's instructions, and
// running it on an accumulator and a stack of spilled values.
//
// The plan keeps the run's order of requests to the host: a field is fetched by the step of the
// operator that takes it when that operator comes next, and by a Load of its own before any
// other item otherwise. Where a step cannot go on, the values it holds are the held run's stack
// at that instruction, and resume_plan goes on from there as the held run would.
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

// How an operator done in place is planned: its step, and the type its operands must have
// (kSame: either number or logical, both the same).
constexpr std::uint8_t kSame = 0xFF;
struct Rule {
    Op op;
    PlanOp step;
    std::uint8_t takes;
};
constexpr Rule kRules[] = {
    {Op::Add, PlanOp::Add, kNumber}, {Op::Sub, PlanOp::Sub, kNumber},   {Op::Mul, PlanOp::Mul, kNumber},
    {Op::Div, PlanOp::Div, kNumber}, {Op::Neg, PlanOp::Neg, kNumber},   {Op::Eq, PlanOp::Eq, kSame},
    {Op::Ne, PlanOp::Ne, kSame},     {Op::Le, PlanOp::Le, kSame},       {Op::Ge, PlanOp::Ge, kSame},
    {Op::Lt, PlanOp::Lt, kSame},     {Op::Gt, PlanOp::Gt, kSame},       {Op::And, PlanOp::And, kLogical},
    {Op::Or, PlanOp::Or, kLogical},  {Op::Not, PlanOp::Not, kSame},
};

const Rule* rule_of(Op op) {
    for (const Rule& rule : kRules)
        if (rule.op == op) return &rule;
    return nullptr;
}

// Items in a block of the largest size, each at least two bytes, and the End after them.
constexpr std::size_t kMostInstructions = kMaxCodeSize / 2 + 1;

// The operands of each instruction (an operator's one or two, End's one) and the type of each
// instruction's value: a literal's own, an operator's from what it gives, a field's from what
// its operator takes (a number where that could be either and nothing else says).
class Typing {
public:
    bool type(const Instruction* code, std::size_t count, const std::uint8_t* block) {
        if (count > kMostInstructions) return false;
        int stack[kMaxOperands + 1];
        int depth = 0;
        for (std::size_t j = 0; j < count; ++j) {
            const Instruction& in = code[j];
            if (in.op == Op::Push || in.op == Op::Fetch) {
                type_[j] = in.op == Op::Push ? block[in.item] : 0;
                if (in.op == Op::Push && type_[j] != kNumber && type_[j] != kLogical) return false;
                stack[++depth] = static_cast<int>(j);
                continue;
            }
            const int argc = in.op == Op::End ? 1 : in.argc;
            const Rule* rule = rule_of(in.op);
            if ((!rule && in.op != Op::End) || argc < 1 || argc > 2 || depth < argc) return false;
            left_[j] = argc == 2 ? stack[depth - 1] : -1;
            right_[j] = stack[depth];
            depth -= argc;
            if (!settle(rule ? rule->takes : kSame, in.op == Op::Not ? kLogical : kNumber, j)) return false;
            type_[j] = type_given(in.op);
            stack[++depth] = static_cast<int>(j);
        }
        return true;
    }
    std::uint8_t of(int j) const { return type_[j]; }
    int left(std::size_t j) const { return left_[j]; }
    int right(std::size_t j) const { return right_[j]; }

private:
    // Gives an operator's fields their types and checks its operands'. `field` is what a field
    // alone under a kSame operator is planned as.
    bool settle(std::uint8_t takes, std::uint8_t field, std::size_t j) {
        const int a = left_[j];
        const int b = right_[j];
        if (takes == kSame) takes = a >= 0 && type_[a] ? type_[a] : type_[b] ? type_[b] : field;
        for (const int operand : {a, b}) {
            if (operand < 0) continue;
            if (!type_[operand]) type_[operand] = takes;
            if (type_[operand] != takes) return false;
        }
        return true;
    }

    std::uint8_t type_[kMostInstructions];
    int left_[kMostInstructions];
    int right_[kMostInstructions];
};

// Writes the steps, tracking where each value is: the item not yet taken (a field or literal
// on top), the accumulator, or spilled below it.
class Planner {
public:
    Planner(const Instruction* code, const Typing& typing, PlanStep* out, std::size_t room)
        : code_(code), typing_(typing), out_(out), room_(room) {}

    bool plan(std::size_t count) {
        for (std::size_t j = 0; j < count; ++j) {
            const Op op = code_[j].op;
            if (op == Op::Push || op == Op::Fetch) {
                if (!take_pending()) return false;
                pending_ = static_cast<int>(j);
            } else if (op == Op::End) {
                if (pending_ >= 0 && code_[pending_].op == Op::Push)
                    return emit(PlanOp::End, Source::Literal, pending_, j);
                return take_pending() && emit(PlanOp::End, Source::None, -1, j);
            } else if (typing_.left(j) < 0) {
                if (!take_pending() || !emit(rule_of(op)->step, Source::None, -1, j)) return false;
            } else if (!binary(rule_of(op)->step, j)) {
                return false;
            }
        }
        return false;  // no End
    }
    std::size_t steps() const { return steps_; }

private:
    // The right operand is the pending item (the left one the accumulator, or spilled when the
    // accumulator is free) or the accumulator (the left one spilled).
    bool binary(PlanOp step, std::size_t j) {
        if (pending_ >= 0 && live_) {
            const int item = pending_;
            pending_ = -1;
            return emit(step, source_of(item), item, j);
        }
        return take_pending() && live_ && emit(step, Source::Spilled, -1, j);
    }

    // Loads the pending item into the accumulator, spilling what it holds.
    bool take_pending() {
        if (pending_ < 0) return true;
        const int item = pending_;
        pending_ = -1;
        if (live_ && !emit(PlanOp::Spill, Source::None, -1, 0)) return false;
        live_ = true;
        return emit(PlanOp::Load, source_of(item), item, static_cast<std::size_t>(item));
    }

    Source source_of(int item) const { return code_[item].op == Op::Fetch ? Source::Field : Source::Literal; }

    // A step whose operands have the type of `item`'s value, or else of the operator's operand.
    bool emit(PlanOp op, Source source, int item, std::size_t at) {
        if (steps_ == room_) return false;
        const int typed = item >= 0 ? item : op == PlanOp::Spill ? -1 : typing_.right(at);
        PlanStep step{};
        step.op = op;
        step.source = source;
        step.answer = typed >= 0 && typing_.of(typed) == kLogical ? kRawByteLogical : kRawDoubleNumber;
        step.item = item >= 0 ? code_[item].item : 0;
        step.at = static_cast<std::uint16_t>(at);
        out_[steps_++] = step;
        return true;
    }

    const Instruction* code_;
    const Typing& typing_;
    PlanStep* out_;
    std::size_t room_;
    std::size_t steps_ = 0;
    int pending_ = -1;
    bool live_ = false;
};

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
    static Number literal(const Context& ctx, const ProgramHeader&, const PlanStep& step) {
        return payload_double(ctx.code_copy + step.item);
    }
    template <Op op>
    static bool arithmetic(Number& a, Number b) {
        // A division by zero is the handler's to report.
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
    // Planned only where every number literal is kept scaled; its Push is the step's item.
    static Number literal(const Context&, const ProgramHeader& program, const PlanStep& step) {
        const std::size_t push = step.op == PlanOp::Load ? step.at : step.at - 1u;
        return program.kept_number(program.instructions()[push].kept).scaled;
    }
    // Exact where done, so the very number the backend gives.
    template <Op op>
    static bool arithmetic(Number& a, Number b) {
        if constexpr (op == Op::Add) return scaled::add(a, b, a);
        else if constexpr (op == Op::Sub) return scaled::sub(a, b, a);
        else if constexpr (op == Op::Mul) return scaled::mul(a, b, a);
        else return scaled::div(a, b, a);
    }
    static int order(Number a, Number b) { return (a > b) - (a < b); }
    static Number negated(Number a) { return -a; }
    static void write(std::uint8_t* result, Number a) { write_units_backend(result, a); }
};

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
    // At a fetch nothing is held above the accumulator, and the operand is not read: left out,
    // so that it is not kept across the host's call.
    const auto hand_over = [&](std::size_t at, bool has_answer, std::uint16_t type_word, Number taken, bool taken_truth) {
        const PlanValues<Number> values{numbers, truths, spilled, accumulator, truth, taken, taken_truth};
        return resume_plan(ctx, program, at, values, has_answer, type_word, result);
    };
    const auto compare = [&](const PlanStep& step) {
        return step.logical() ? order_of(truth, operand_truth) : Numbers::order(accumulator, operand);
    };
    for (const PlanStep* step = program.plan();; ++step) {
        if (step->source == Source::Field) {
            std::uint16_t type_word = 0;
            if (const Status status = ask_for_field(ctx, callback, ctx.code_copy + step->item, &type_word);
                status != kOk)
                return status;
            if (!Numbers::take(*step, type_word, ctx.result + kRawBufferOffset, operand, operand_truth))
                return hand_over(step->op == PlanOp::Load ? step->at : step->at - 1u, true, type_word, 0, false);
        } else if (step->source == Source::Literal) {
            if (step->logical()) operand_truth = ctx.code_copy[step->item + 1] != 0;
            else operand = Numbers::literal(ctx, program, *step);
        } else if (step->source == Source::Spilled) {
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
            // An operation not done here leaves both operands as they were.
            case PlanOp::Add:
                if (Number a = accumulator; Numbers::template arithmetic<Op::Add>(a, operand)) accumulator = a;
                else return hand_over(step->at, false, 0, operand, operand_truth);
                break;
            case PlanOp::Sub:
                if (Number a = accumulator; Numbers::template arithmetic<Op::Sub>(a, operand)) accumulator = a;
                else return hand_over(step->at, false, 0, operand, operand_truth);
                break;
            case PlanOp::Mul:
                if (Number a = accumulator; Numbers::template arithmetic<Op::Mul>(a, operand)) accumulator = a;
                else return hand_over(step->at, false, 0, operand, operand_truth);
                break;
            case PlanOp::Div:
                if (Number a = accumulator; Numbers::template arithmetic<Op::Div>(a, operand)) accumulator = a;
                else return hand_over(step->at, false, 0, operand, operand_truth);
                break;
            case PlanOp::Eq: truth = compare(*step) == 0; break;
            case PlanOp::Ne: truth = compare(*step) != 0; break;
            case PlanOp::Le: truth = compare(*step) <= 0; break;
            case PlanOp::Ge: truth = compare(*step) >= 0; break;
            case PlanOp::Lt: truth = compare(*step) < 0; break;
            case PlanOp::Gt: truth = compare(*step) > 0; break;
            case PlanOp::And: truth = truth && operand_truth; break;
            case PlanOp::Or: truth = truth || operand_truth; break;
            case PlanOp::Neg: accumulator = Numbers::negated(accumulator); break;
            case PlanOp::Not: truth = step->logical() ? !truth : accumulator == 0; break;
            case PlanOp::End:
                if (!result) return kOk;
                if (step->source == Source::Literal) {
                    write_result(ctx.code_copy + step->item, result);
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

std::size_t plan_program(Instruction* code, std::size_t count, const std::uint8_t* block, PlanStep* out,
                         std::size_t room) {
    Typing typing;
    if (!typing.type(code, count, block)) return 0;
    Planner planner(code, typing, out, room);
    if (!planner.plan(count)) return 0;
    for (std::size_t j = 0; j < count; ++j)
        if (code[j].op == Op::Fetch) code[j].index = typing.of(static_cast<int>(j));
    return planner.steps();
}

Status run_plan(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    if (!text_numbers()) return run_with<PlanDoubles>(ctx, program, result);
    return run_with<PlanScaled>(ctx, program, result);
}

}  // namespace fcl
