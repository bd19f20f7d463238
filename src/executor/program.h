// The run loop's programs.
//
// A compiled formula is decoded once into a program: one Instruction per item, in item order,
// then End (the formula's value is alone on the stack) or Walk (the walk goes on from that
// item: a call without its arguments, an unknown function, an item past the operand stack's
// 31 entries, or a block that does not fit). A run looks its block up among the context's
// programs (program_cache.cpp), which compares the block with the program's copy of it, and
// runs the instructions in one loop (program_run.cpp).
//
// Instruction (6 bytes):
//   item   offset of the item in the block (End, Walk: where the walk would be)
//   op     Push (a literal), Fetch (a field or name), an operator the loop does itself
//          (Add..Div, Neg, Eq..Gt, And, Or, Not, If), Call (any other function), End, Walk
//   index  the function record of an operator or call
//   argc   the operands it takes
//   kept   text-number mode: 1 + the place of a number literal's kept number, else 0
//
// Operands. Entry d of the run's stack is in place, where the walk keeps it (a value in the
// context's value area, or a literal in the code copy, with its OperandEntry), or held in the
// loop's own arrays: a number (a double; in text-number mode a short scaled number, whose text
// is at most kUnitsTextSize bytes) or a logical. A held entry is written out only when a
// handler, the walk or the result needs it in place. Invariants of a run:
//   - every entry in the value area lies below every held entry not in place, and the value
//     area holds exactly what the walk's would, up to the first entry not in place; so writing
//     the held entries out in order puts each where the walk would have pushed it;
//   - each operator first tries its own case on held or in-place operands of the types it
//     knows, and holds its value; anything else runs the operator's handler as the walk calls
//     it, every entry written out first, and its value is pushed as the walk pushes it (a
//     double or a logical is held instead: written out, the same bytes in the same place);
//   - a value is held only while the value area is far from full, so a push the walk would
//     refuse (1006) is always one the loop makes exactly, through the handler's route;
//   - the loop does in place only what a handler would have written at most a short number's
//     text for, so the result area, where the host's raw buffer lies, differs from the walk's
//     only in bytes cleared before every request (stack_machine.h);
//   - each instruction ends in a jump to the next one's code, through a table made from
//     FCL_INSTRUCTION_LIST.
//
// Programs live in the context's program banks (its parser stacks, idle while formulas run).
#pragma once

#include <cstddef>
#include <cstdint>

#include "interface/context.h"
#include "interface/number_mode.h"
#include "interface/types.h"
#include "number/backend.h"
#include "number/scaled_number.h"

namespace fcl {

// The instructions; the run loop's jump table is made from this list.
#define FCL_INSTRUCTION_LIST(X) \
    X(Push) X(Fetch) X(Add) X(Sub) X(Mul) X(Div) X(Neg) X(Eq) X(Ne) X(Le) X(Ge) X(Lt) X(Gt) X(And) X(Or) X(Not) \
    X(If) X(Call) X(End) X(Walk)

enum class Op : std::uint8_t {
#define FCL_OP(name) name,
    FCL_INSTRUCTION_LIST(FCL_OP)
#undef FCL_OP
};

struct Instruction {
    std::uint16_t item;
    Op op;
    std::uint8_t index;
    std::uint8_t argc;
    std::uint8_t kept;
};
static_assert(sizeof(Instruction) == 6);

// The most number literals a program keeps (a block has room for about 170).
constexpr std::size_t kMostKept = 255;

// A number literal read once (text-number mode): its backend number, and the same number as a
// scaled one when the backend makes the very same bytes of that, else kNotScaled.
struct KeptNumber {
    std::int64_t scaled;
    alignas(8) std::uint8_t number[kNumberSize];
};

constexpr std::size_t round_up8(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

// An entry of a program bank: this header, the instructions, the block copy, the kept numbers
// (8-aligned).
struct ProgramHeader {
    std::uint16_t size;  // bytes of the entry, a multiple of 8
    std::uint16_t block_length;
    std::uint16_t count;  // instructions, the last one End or Walk
    std::uint8_t numbers;  // the numbers it was decoded for: numbers_key()
    std::uint8_t spare;

    const Instruction* instructions() const { return reinterpret_cast<const Instruction*>(this + 1); }
    const std::uint8_t* block() const { return reinterpret_cast<const std::uint8_t*>(instructions() + count); }
    const KeptNumber& kept_number(std::uint8_t kept) const {
        const auto* at = reinterpret_cast<const std::uint8_t*>(this) + kept_numbers_at(count, block_length);
        return reinterpret_cast<const KeptNumber*>(at)[kept - 1u];
    }
    static constexpr std::size_t kept_numbers_at(std::size_t count, std::size_t block_length) {
        return round_up8(sizeof(ProgramHeader) + count * sizeof(Instruction) + block_length);
    }
};
static_assert(sizeof(ProgramHeader) == 8 && alignof(Instruction) <= 2);

// What a program depends on besides its block: the number encoding (item sizes depend on it)
// and, in text-number mode, the backend (its kept numbers are that backend's).
inline std::uint8_t numbers_key() { return text_numbers() ? static_cast<std::uint8_t>(1 + backend().type) : 0; }

// Copies a run's block (length bytes) into ctx.code_copy and returns its program, decoded into
// the context's program banks on first sight; null when it cannot be kept there.
const ProgramHeader* take_program(Context& ctx, const std::uint8_t* block, std::size_t length);

// Drops every program of the context: a compile has used the banks.
void forget_programs(Context& ctx);

// Runs a program of the block in ctx.code_copy, in double-number mode or in text-number mode
// with a backend whose payload text reads back as the number written. kOk writes the value to
// result (when given); on a failure the result is left to the caller.
Status run_program(Context& ctx, const ProgramHeader& program, std::uint8_t* result);

}  // namespace fcl
