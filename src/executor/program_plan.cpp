// Plans of programs (program.h): the types of a program's values, then the steps that keep its
// run's order of requests to the host. A field is fetched by the step of the operator that
// takes it when that operator comes next, and by a Load of its own before any other item
// otherwise; a literal is taken the same way.
#include "executor/program.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"

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
    {Op::Or, PlanOp::Or, kLogical},  {Op::Not, PlanOp::Not, kSame},     {Op::If, PlanOp::Select, kSame},
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
                if (depth == kMaxOperands) return false;
                stack[++depth] = static_cast<int>(j);
                continue;
            }
            const int argc = in.op == Op::End ? 1 : in.argc;
            const Rule* rule = rule_of(in.op);
            if ((!rule && in.op != Op::End) || argc < 1 || argc > (in.op == Op::If ? 3 : 2) || depth < argc)
                return false;
            if (in.op == Op::If && !condition(code, stack[depth - 2], stack[depth - 1], stack[depth])) return false;
            left_[j] = argc >= 2 ? stack[depth - 1] : -1;
            right_[j] = stack[depth];
            depth -= argc;
            if (!settle(rule ? rule->takes : kSame, in.op == Op::Not ? kLogical : kNumber, j)) return false;
            type_[j] = in.op == Op::If ? type_[right_[j]] : type_given(in.op);
            stack[++depth] = static_cast<int>(j);
        }
        return true;
    }
    std::uint8_t of(int j) const { return type_[j]; }
    int left(std::size_t j) const { return left_[j]; }
    int right(std::size_t j) const { return right_[j]; }

private:
    // IF's condition must be a logical (a field is planned as one). In text-number mode a number
    // literal it chooses keeps its own text, which a plan does not hold.
    bool condition(const Instruction* code, int test, int when_true, int when_false) {
        if (!type_[test]) type_[test] = kLogical;
        const auto number_literal = [&](int k) { return code[k].op == Op::Push && type_[k] == kNumber; };
        return type_[test] == kLogical &&
               !(text_numbers() && (number_literal(when_true) || number_literal(when_false)));
    }

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
    // accumulator is free) or the accumulator (the left one spilled). IF's condition is the
    // value spilled below its left operand.
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
        step.kind = step_kind(source, op);
        step.answer = typed >= 0 && typing_.of(typed) == kLogical ? kRawByteLogical : kRawDoubleNumber;
        step.ref = static_cast<std::uint16_t>(source == Source::Field ? code_[item].item : item >= 0 ? item : at);
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

}  // namespace fcl
