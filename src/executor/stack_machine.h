// The stack machine: runs one compiled formula in a context and yields one tagged value.
//
// Two routes run a formula. The run loop (program.h) runs its decoded program; the walk runs
// the block's items one by one, every operator and function through its handler, on the
// operand stack and value area of the context. The walk is the reference: the run loop gives
// the same result bytes, statuses and requests to the host, and hands a run over to the walk
// wherever it does not cover what comes next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "interface/context.h"
#include "interface/types.h"
#include "number/backend.h"

namespace fcl {

// Always writes one tagged value to result (the formula's value, or on failure the blank
// value of its result type) and returns the status.
Status run_formula(Context& ctx, FCLFIELDPROC callback, void* data, const std::uint8_t* code,
                   std::uint8_t* result);

// The same run by the walk alone. The reference the tests and the differential fuzzer hold the
// run loop to; builds with FCLIB_PLAIN_EXECUTE run every formula this way.
Status run_formula_walk(Context& ctx, FCLFIELDPROC callback, void* data, const std::uint8_t* code,
                        std::uint8_t* result);

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
// after the last value stop it there, whatever an earlier run left behind. Called before every
// handler.
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

// The raw buffer's first bytes, zero-filled before every request. They hold all that a
// handler the run loop does without could have left there (a short number's text: the loop
// does in-place only what gives a short number, a logical or nothing), so an answer the host
// writes short (a text without its NUL, a number with fewer bytes than its format) reads the
// same bytes whichever route runs the formula.
constexpr std::size_t kClearedRawBytes = 32;
static_assert(kUnitsTextSize + 1 <= kRawBufferOffset + kClearedRawBytes);

// Asks the host, through callback (not null), for the reference at item; the answer's type is
// left in *type_word. 1005 when the callback fails.
inline Status ask_for_field(Context& ctx, FCLFIELDPROC callback, const std::uint8_t* item, std::uint16_t* type_word) {
    std::uint8_t* raw = ctx.result + kRawBufferOffset;
    ctx.result[0] = 0;  // no valid value until the host answers
    std::memset(raw, 0, kClearedRawBytes);
    *type_word = item[0];
    if (call_host(callback, ctx.callback_data, reinterpret_cast<const char*>(item + 1), raw, type_word) != 0)
        return kCallbackFailed;
    // A text that fills the whole buffer ends at its last byte.
    raw[kRawBufferSize - 1] = 0;
    return kOk;
}

// Converts the answer ask_for_field left into out (kCodeAreaSize bytes) and sets *size; 1007
// when it is no value.
Status convert_field_answer(Context& ctx, std::uint16_t type_word, std::uint8_t* out, std::uint16_t* size);

// Pushes a value of size bytes (already measured) onto the operand stack via the value area.
Status push_value(Context& ctx, const std::uint8_t* value, std::uint16_t size);

// Calls the handler of the call `index` with argc arguments, the top ones of the operand stack
// as it stands in ctx (`item_before`: the item before the call, which the aggregates read). The
// handler's value is left in ctx.result; popping the arguments and pushing it is the caller's.
Status call_handler(Context& ctx, unsigned index, unsigned argc, const std::uint8_t* item_before);

// Runs the items of ctx.code_copy (length bytes) from pos to the formula's end on the operand
// stack as it stands; on kOk the formula's value, alone on the stack, goes to result (when
// given).
Status finish_walk(Context& ctx, std::size_t length, std::size_t pos, std::uint8_t* result);

// Copies the tagged value at value to result, when there is a result.
void write_result(const std::uint8_t* value, std::uint8_t* result);

}  // namespace fcl
