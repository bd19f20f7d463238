#include "executor/stack_machine.h"

#include <cstring>

#include "executor/field_fetch.h"
#include "executor/program.h"
#include "executor/walk.h"
#include "functions/function_table.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"

namespace fcl {

namespace {

// Fetches a field's value straight into the value area when a value of any size fits there,
// else through a local buffer, so that a full value area still reports 1006.
Status fetch_and_push(Context& ctx, const std::uint8_t* item) {
    std::uint16_t size = 0;
    if (ctx.stack_depth < kMaxOperands && ctx.value_used + kCodeAreaSize < kNodePoolSize) {
        std::uint8_t* slot = ctx.value_area + ctx.value_used;
        const Status status = fetch_field(ctx, item, slot, &size);
        if (status != kOk) return status;
        ctx.value_used = static_cast<std::uint16_t>(ctx.value_used + size);
        ctx.stack[++ctx.stack_depth] = OperandEntry{slot, size};
        return kOk;
    }
    std::uint8_t value[kCodeAreaSize];
    const Status status = fetch_field(ctx, item, value, &size);
    return status == kOk ? push_value(ctx, value, size) : status;
}

Status call_function(Context& ctx, unsigned index) {
    const FunctionRecord* record = function_record(index);
    if (!record) return kUnknownName;
    const std::uint16_t argc = record->argc;
    const std::uint8_t* args[kMaxArgs];
    for (std::uint16_t k = 0; k < argc; ++k) {
        if (ctx.stack_depth <= k) return kCodeError;
        args[argc - 1 - k] = ctx.stack[ctx.stack_depth - k].value;
    }
    ctx.result[0] = static_cast<std::uint8_t>(argc & 0xFF);
    ctx.result[1] = static_cast<std::uint8_t>(argc >> 8);
    end_value_area(ctx, ctx.value_used);
    const Status status = call_record(*record, args, ctx.result, ctx);
    if (status != kOk) return status;
    for (std::uint16_t k = 0; k < argc && ctx.stack_depth > 0; ++k)
        ctx.value_used = static_cast<std::uint16_t>(ctx.value_used - ctx.stack[ctx.stack_depth--].bytes);
    return push_value(ctx, ctx.result, value_size(ctx.result, kCodeAreaSize));
}

}  // namespace

Status push_value(Context& ctx, const std::uint8_t* value, std::uint16_t size) {
    if (size == 0) return kCodeError;
    if (ctx.stack_depth >= kMaxOperands || ctx.value_used + size >= kNodePoolSize) return kStackFull;
    std::uint8_t* slot = ctx.value_area + ctx.value_used;
    std::memcpy(slot, value, size);
    ctx.value_used = static_cast<std::uint16_t>(ctx.value_used + size);
    ctx.stack[++ctx.stack_depth] = OperandEntry{slot, size};
    return kOk;
}

Status continue_walk(Context& ctx, std::size_t length, std::size_t pos) {
    while (pos < length && is_item_kind(ctx.code_copy[pos])) {
        const std::uint8_t* item = ctx.code_copy + pos;
        const std::uint16_t size = value_size(item, length - pos);
        if (size == 0) return kCodeError;  // an item cut off by the formula's end
        Status status = kOk;
        if (item[0] == kFunctionCall) {
            status = call_function(ctx, item[1]);
        } else if (item[0] == kFieldRef || item[0] == kNameRef) {
            status = fetch_and_push(ctx, item);
        } else if (ctx.stack_depth >= kMaxOperands) {
            status = kStackFull;
        } else {
            ctx.stack[++ctx.stack_depth] = OperandEntry{item, 0};
        }
        if (status != kOk) return status;
        ctx.current_item = item;
        pos += size;
    }
    return ctx.stack_depth == 1 ? kOk : kCodeError;
}

void write_result(const std::uint8_t* value, std::uint8_t* result) {
    if (!result) return;
    // Most formulas end in a double or a logical: fixed sizes, no need to measure.
    if (value[0] == kLogical) std::memcpy(result, value, 2);
    else if (value[0] == kNumber && !text_numbers()) std::memcpy(result, value, 9);
    else std::memcpy(result, value, value_size(value, kCodeAreaSize));
}

Status finish_walk(Context& ctx, std::size_t length, std::size_t pos, std::uint8_t* result) {
    const Status status = continue_walk(ctx, length, pos);
    if (status == kOk) write_result(ctx.stack[1].value, result);
    return status;
}

Status run_walk(Context& ctx, std::size_t length, std::uint8_t* result) {
    reset_operands(ctx);
    ctx.current_item = ctx.code_copy + kCodeHeaderSize;
    return finish_walk(ctx, length, kCodeHeaderSize, result);
}

Status run_formula(Context& ctx, FCLFIELDPROC callback, void* data, const std::uint8_t* code,
                   std::uint8_t* result) {
    ctx.callback = callback;
    ctx.callback_data = data;
    const std::size_t length = code_length(code);
    // A block whose length field cannot be a compiled formula is refused with 1007
    // before anything is copied, so nothing is read past the caller's block.
    if (length <= kCodeHeaderSize || length > kMaxCodeSize) {
        if (result) write_blank_value(code[0], result);
        return kCodeError;
    }
    // A run takes the formula's decoded program; it decodes on first sight.
    const ProgramHeader* program = take_program(ctx, code, length);
    // Numbers are held apart wherever a number's text need not be read back at every step; a
    // plan holds them in the fewest steps.
    const bool held = !text_numbers() || backend().payload_round_trips;
    const Status status = !program                             ? run_walk(ctx, length, result)
                          : !held                              ? run_program(ctx, *program, result)
                          : program->generic_runs              ? run_generic(ctx, *program, result)
                          : program->steps && callback         ? run_plan(ctx, *program, result)
                                                               : run_held_program(ctx, *program, result);
    if (status != kOk && result) write_blank_value(ctx.code_copy[0], result);
    return status;
}

Status run_formula_walk(Context& ctx, FCLFIELDPROC callback, void* data, const std::uint8_t* code,
                        std::uint8_t* result) {
    ctx.callback = callback;
    ctx.callback_data = data;
    const std::size_t length = code_length(code);
    Status status = kCodeError;
    if (length > kCodeHeaderSize && length <= kMaxCodeSize) {
        // The programs remember their blocks by the copy a run leaves: this run leaves another.
        forget_programs(ctx);
        std::memcpy(ctx.code_copy, code, length);
        status = run_walk(ctx, length, result);
    }
    if (status != kOk && result) write_blank_value(code[0], result);
    return status;
}

}  // namespace fcl
