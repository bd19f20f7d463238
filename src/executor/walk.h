// The generic walk over a compiled formula's items. The stack machine runs whole formulas with
// it; a decoded program hands a run over to it at an item or value the program does not cover.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

// The type bytes that start an item; anything else ends the formula.
inline bool is_item_kind(std::uint8_t byte) {
    switch (byte) {
        case kString: case kNumber: case kLogical: case kTime: case kDate:
        case kFieldRef: case kNameRef: case kFunctionCall:
            return true;
        default:
            return false;
    }
}

// A handler handed a value of another type than it reads (a host may answer a field with any
// type) reads on past the value: as text up to a NUL, as a double up to 7 bytes further. Zeros
// after the last value stop it there, whatever an earlier run (or a run that held its values
// elsewhere) left behind. Called before every handler.
inline void end_value_area(Context& ctx, std::size_t used) {
    constexpr std::uint64_t kZeros = 0;
    if (used + sizeof kZeros <= kNodePoolSize) std::memcpy(ctx.value_area + used, &kZeros, sizeof kZeros);
    else if (used < kNodePoolSize) std::memset(ctx.value_area + used, 0, kNodePoolSize - used);
}

// An empty operand stack and value area.
inline void reset_operands(Context& ctx) {
    ctx.stack_depth = 0;
    ctx.value_used = 0;
    ctx.value_area = ctx.pool;
}

// Pushes a produced value (size already measured) onto the operand stack via the value area.
Status push_value(Context& ctx, const std::uint8_t* value, std::uint16_t size);

// Runs the items of ctx.code_copy (length bytes) from pos to the formula's end on the operand
// stack as it stands; ctx.current_item is the item before pos. kOk leaves the value alone on
// the stack.
Status continue_walk(Context& ctx, std::size_t length, std::size_t pos);

// Copies the tagged value at value to result, when there is a result.
void write_result(const std::uint8_t* value, std::uint8_t* result);

// continue_walk, then on kOk the value to result.
Status finish_walk(Context& ctx, std::size_t length, std::size_t pos, std::uint8_t* result);

// The whole formula in ctx.code_copy (length bytes) by the walk alone, from an empty stack.
Status run_walk(Context& ctx, std::size_t length, std::uint8_t* result);

}  // namespace fcl
