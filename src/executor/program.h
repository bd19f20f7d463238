// Decoded programs: a compiled formula decoded once into one instruction an item, so that a run
// does not measure, classify and look up each item again. A program runs item for item as the
// walk does (the same handler calls, the same requests to the host, the same result), with the
// arithmetic, comparison and logical operators and IF done in place when their operands are
// numbers (or logicals) and through their handlers otherwise. Its generic steps work on the
// walk's own operand stack and value area; in text-number mode a number's text may be written
// late there (see program_run.cpp). A run first holds its numbers and logicals apart and writes
// them out only when a handler or the generic steps need them (program_held.cpp); a formula
// without other calls whose types are known beforehand runs by its plan instead
// (program_plan.cpp). Where the walk would stop with a failure at an item, the program hands the
// run to the walk at that item.
//
// Programs live in the context's program banks (the parser stacks, idle while formulas run),
// next to a copy of the block they were decoded from, which a run compares with its block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "interface/context.h"
#include "interface/number_mode.h"
#include "interface/types.h"
#include "number/backend.h"
#include "number/nan_rule.h"
#include "number/scaled_number.h"

namespace fcl {

enum class Op : std::uint8_t {
    None,  // the walk stops at the item: the program hands over there
    Push,  // a literal: the stack points at it in the code copy
    Fetch,
    Add,
    Sub,
    Mul,
    Div,
    Neg,
    Eq,
    Ne,
    Le,
    Ge,
    Lt,
    Gt,
    And,
    Or,
    Not,
    If,        // its second operand when the first is true, else its third
    Call,      // any other function: its handler
    End,       // the formula's value is alone on the stack
    Handover,  // the walk goes on from the item
};

struct Instruction {
    std::uint16_t item;  // offset of the item in the block (End, Handover: where the walk is)
    Op op;
    std::uint8_t index;  // operators and calls: the function index; fields with a plan: the planned type
    std::uint8_t argc;   // operands an operator or call takes
    std::uint8_t kept;   // a number literal's backend number: 1 + its place among the kept ones; 0 for none
};
static_assert(sizeof(Instruction) == 6);
// The most number literals a program keeps (a block has room for about 170).
constexpr std::size_t kMostKept = 255;

// The type of the value an operator done in place gives.
inline std::uint8_t type_given(Op op) { return op >= Op::Add && op <= Op::Neg ? kNumber : kLogical; }

// What the operators done in place give on doubles, or on an order (-1, 0, 1) of two values.
inline double double_arithmetic(Op op, double a, double b) {
    switch (op) {
        case Op::Add: return with_nan_rule(a, b, a + b);
        case Op::Sub: return with_nan_rule(a, b, a - b);
        case Op::Mul: return with_nan_rule(a, b, a * b);
        default: return with_nan_rule(a, b, a / b);
    }
}

inline bool order_holds(Op op, int order) {
    switch (op) {
        case Op::Eq: return order == 0;
        case Op::Ne: return order != 0;
        case Op::Le: return order <= 0;
        case Op::Ge: return order >= 0;
        case Op::Lt: return order < 0;
        default: return order > 0;
    }
}

// ADD, SUB, MUL or DIV of two short numbers (scaled_number.h): false where the exact value is not
// short too.
inline bool scaled_arithmetic(Op op, std::int64_t a, std::int64_t b, std::int64_t& r) {
    switch (op) {
        case Op::Add: return scaled::add(a, b, r);
        case Op::Sub: return scaled::sub(a, b, r);
        case Op::Mul: return scaled::mul(a, b, r);
        default: return scaled::div(a, b, r);
    }
}

// NEG: the sign bit alone changes, so NEG of 0 is -0.0.
inline double negated(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits ^= std::uint64_t{1} << 63;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

using scaled::kNotScaled;

// A number literal read once: its backend number, and the same number as a scaled one
// (scaled_number.h) when it is short, else kNotScaled.
struct KeptNumber {
    std::int64_t scaled;
    alignas(8) std::uint8_t number[kNumberSize];
};

// Field answers a run takes without converting them: a double-number number, a one-byte logical.
constexpr std::uint16_t kRawDoubleNumber = (FCL_RAW_DOUBLE << 8) | kNumber;
constexpr std::uint16_t kRawByteLogical = (FCL_RAW_U8 << 8) | kLogical;

// A program's plan: the same run as its instructions, for a formula of number and logical
// literals, fields and the operators done in place whose operand types are all known before it
// runs (a field's from what its operator takes), in double-number mode and in text-number mode
// where every number literal is a short scaled one (scaled_number.h). Each step takes its
// operand (a field, a literal, or the value spilled below the accumulator) and applies its
// operator to the accumulator, so a field or literal and the operator that takes it are one
// step and no step checks a type. A field answered with another type than planned (or, in
// text-number mode, with a number that is not short), a division by zero, or a text-number
// result that is not short hands the run to the generic steps at the instruction where the
// held run would (program_plan_run.cpp). Select is IF: its condition is spilled below the value
// chosen when it holds; in text-number mode IF is planned only where it cannot choose a number
// literal, whose own text the handler copies.
enum class PlanOp : std::uint8_t {
    Load, Spill, Add, Sub, Mul, Div, Eq, Ne, Le, Ge, Lt, Gt, And, Or, Neg, Not, Select, End
};
enum class Source : std::uint8_t { None, Field, Literal, Spilled };
// A step's operand and operator as one number, so that a run dispatches once per step.
constexpr std::size_t kPlanOps = static_cast<std::size_t>(PlanOp::End) + 1;
constexpr std::size_t kStepKinds = 4 * kPlanOps;
constexpr std::uint8_t step_kind(Source source, PlanOp op) {
    return static_cast<std::uint8_t>(static_cast<std::size_t>(source) * kPlanOps + static_cast<std::size_t>(op));
}
constexpr Source source_of_kind(std::size_t kind) { return static_cast<Source>(kind / kPlanOps); }
constexpr PlanOp op_of_kind(std::size_t kind) { return static_cast<PlanOp>(kind % kPlanOps); }
struct PlanStep {
    std::uint8_t kind;     // step_kind(source, op)
    std::uint8_t spare;    // keeps answer 2-aligned
    std::uint16_t answer;  // kRawByteLogical where the operands (Load: the value) are logicals, else kRawDoubleNumber
    // Field: the item's offset in the block; Literal: its Push instruction; otherwise the
    // instruction of the step's operator.
    std::uint16_t ref;

    bool logical() const { return answer == kRawByteLogical; }
    Source source() const { return source_of_kind(kind); }
    PlanOp op() const { return op_of_kind(kind); }
};
static_assert(sizeof(PlanStep) == 6);

constexpr std::size_t round_up8(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

// An entry: the header, the instructions, the block copy, the kept numbers (8-aligned), the plan.
struct ProgramHeader {
    std::uint16_t size;          // bytes of the entry, a multiple of 8
    std::uint16_t block_length;
    std::uint16_t count;         // instructions, the last one End or Handover
    std::uint8_t numbers;        // the numbers it was decoded for: numbers_key()
    std::uint8_t steps;          // plan steps, the last one End; 0 for no plan
    // Runs still to go straight to the generic steps (see note_handover); changed by runs.
    mutable std::uint8_t generic_runs;

    const Instruction* instructions() const { return reinterpret_cast<const Instruction*>(this + 1); }
    const std::uint8_t* block() const {
        return reinterpret_cast<const std::uint8_t*>(instructions() + count);
    }
    // The number literals, kept where the run holds backend numbers.
    const KeptNumber& kept_number(std::uint16_t kept) const {
        const std::size_t at = kept_numbers_at(count, block_length);
        return reinterpret_cast<const KeptNumber*>(reinterpret_cast<const std::uint8_t*>(this) + at)[kept - 1u];
    }
    const PlanStep* plan() const {
        const std::size_t at = size - round_up8(steps * sizeof(PlanStep));
        return reinterpret_cast<const PlanStep*>(reinterpret_cast<const std::uint8_t*>(this) + at);
    }
    static constexpr std::size_t kept_numbers_at(std::size_t count, std::size_t block_length) {
        return round_up8(sizeof(ProgramHeader) + count * sizeof(Instruction) + block_length);
    }
};
static_assert(sizeof(ProgramHeader) == 10 && alignof(Instruction) <= 2);

// A held run or a plan that hands over to the generic steps before it has done anything in place
// (every instruction before the hand-over a literal or a field: a text field first, say) only
// added its own start and hand-over to the run. The runs that follow go straight to the generic
// steps; after kGenericRuns of them one tries the held run again, so a formula whose fields
// answer with other types later on comes back to it.
constexpr std::uint8_t kGenericRuns = 15;
inline void note_handover(const ProgramHeader& program, int depth, std::size_t at) {
    if (static_cast<std::size_t>(depth) == at) program.generic_runs = kGenericRuns;
}

// What a program depends on besides its block: the number encoding (item sizes depend on it)
// and, in text-number mode, the backend (its kept numbers are that backend's).
inline std::uint8_t numbers_key() { return text_numbers() ? static_cast<std::uint8_t>(1 + backend().type) : 0; }

// Plans the program whose instructions (ending in End) are at code, for the block they were
// decoded from, into out (8-aligned) of room for at most `room` steps. Returns the steps, 0 when
// the formula has no plan or it does not fit. Fetch instructions get the type their field is
// planned to answer with in their `index`.
std::size_t plan_program(Instruction* code, std::size_t count, const std::uint8_t* block, PlanStep* out,
                         std::size_t room);

// Runs a program's plan (with a callback). Results and failures as run_program.
Status run_plan(Context& ctx, const ProgramHeader& program, std::uint8_t* result);

// The values a plan's run has spilled below its accumulator, bottom first.
template <class Number>
struct PlanSpills {
    Number numbers[kMaxOperands + 1];
    bool truths[kMaxOperands + 1];
};

// The values of a plan's run where it hands over, bottom first: the spilled ones, then the
// accumulator, then the operand it took, as the instructions up to `at` leave them on the stack.
// Numbers are doubles, or scaled numbers in text-number mode.
template <class Number>
struct PlanValues {
    const PlanSpills<Number>* spills;
    int spilled;
    Number accumulator;
    bool truth;
    Number operand;
    bool operand_truth;
};

// Goes on from instruction `at` as the held run would there, its stack holding `values`; with
// an answer of another type (has_answer) to the fetch at `at`, which the held run converts.
Status resume_plan(Context& ctx, const ProgramHeader& program, std::size_t at, const PlanValues<double>& values,
                   bool has_answer, std::uint16_t type_word, std::uint8_t* result);
Status resume_plan(Context& ctx, const ProgramHeader& program, std::size_t at,
                   const PlanValues<std::int64_t>& values, bool has_answer, std::uint16_t type_word,
                   std::uint8_t* result);

// Runs a program on numbers and logicals held apart from the operand stack and value area, in
// double-number mode and in text-number mode with a backend whose payload text reads back as
// the number written; at the first instruction or value it does not cover, it writes them out
// where the walk keeps them and goes on with resume_program. Results and failures as run_program.
Status run_held_program(Context& ctx, const ProgramHeader& program, std::uint8_t* result);

// The generic steps of a program from instruction `from` on, with the operand stack and value
// area as they stand in ctx.
Status resume_program(Context& ctx, const ProgramHeader& program, std::size_t from, std::uint8_t* result);

// Calls the handler of the call at instruction i as the walk does, its arguments the top ones
// of an operand stack `depth` deep with `used` bytes of the value area in use. The handler's
// value is left in ctx.result; popping the arguments and pushing it is the caller's.
Status call_handler(Context& ctx, const Instruction* code, std::size_t i, int depth, std::size_t used);

// Decodes a block of length bytes, for the current number encoding, into an entry at out
// (8-aligned) of at most room bytes. Returns the entry's size, 0 when not even a single Handover fits; *cut is
// set when the program stops early for want of room.
std::size_t decode_program(const std::uint8_t* block, std::size_t length, std::uint8_t* out, std::size_t room,
                           bool* cut);

// The generic steps of a whole program from an empty operand stack, for one of the runs that
// follow an early hand-over (note_handover).
Status run_generic(Context& ctx, const ProgramHeader& program, std::uint8_t* result);

// Runs a program of the block in ctx.code_copy from an empty operand stack, in text-number mode
// with a backend whose payload text must be read back at every step.
// kOk writes the value to result (when given); on a failure the result is left to the caller.
Status run_program(Context& ctx, const ProgramHeader& program, std::uint8_t* result);

// Copies a run's block (length bytes) into ctx.code_copy and returns its program, decoded into
// the context's program banks on first sight; null when it cannot be kept there.
const ProgramHeader* take_program(Context& ctx, const std::uint8_t* block, std::size_t length);

// Drops every program of the context: a compile has used the banks.
void forget_programs(Context& ctx);

}  // namespace fcl
