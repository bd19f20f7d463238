// The walk, the field fetch, and the entry that chooses a run's route.
#include "executor/stack_machine.h"

#include <cstring>

#include "executor/program.h"
#include "functions/function_table.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "number/scaled_number.h"

namespace fcl {

namespace {

// A host that answers with a function call names the function: the item is the first record of
// that name (none: no value, status 1007).
std::uint16_t function_call_value(const std::uint8_t* raw, std::uint8_t* out) {
    const unsigned index = find_function(reinterpret_cast<const char*>(raw));
    if (index == 0) return 0;
    out[0] = kFunctionCall;
    out[1] = static_cast<std::uint8_t>(index);
    return 2;
}

// Fetches a field's value straight into the value area when a value of any size fits there,
// else through a local buffer, so that a full value area still reports 1006 after the host
// was asked.
Status fetch_and_push(Context& ctx, const std::uint8_t* item) {
    std::uint8_t value[kCodeAreaSize];
    const bool fits = ctx.stack_depth < kMaxOperands && ctx.value_used + kCodeAreaSize < kNodePoolSize;
    std::uint8_t* out = fits ? ctx.value_area + ctx.value_used : value;
    std::uint16_t type_word = 0;
    std::uint16_t size = 0;
    if (!ctx.callback) return kCallbackFailed;
    Status status = ask_for_field(ctx, ctx.callback, item, &type_word);
    if (status == kOk) status = convert_field_answer(ctx, type_word, out, &size);
    if (status != kOk || !fits) return status == kOk ? push_value(ctx, value, size) : status;
    ctx.value_used = static_cast<std::uint16_t>(ctx.value_used + size);
    ctx.stack[++ctx.stack_depth] = OperandEntry{out, size};
    return kOk;
}

Status call_function(Context& ctx, unsigned index) {
    const FunctionRecord* record = function_record(index);
    if (!record) return kUnknownName;
    if (ctx.stack_depth < record->argc) return kCodeError;
    const Status status = call_handler(ctx, index, record->argc, ctx.current_item);
    if (status != kOk) return status;
    for (unsigned k = 0; k < record->argc; ++k)
        ctx.value_used = static_cast<std::uint16_t>(ctx.value_used - ctx.stack[ctx.stack_depth--].bytes);
    return push_value(ctx, ctx.result, value_size(ctx.result, kCodeAreaSize));
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

// The whole formula in ctx.code_copy (length bytes) by the walk alone, from an empty stack.
Status run_walk(Context& ctx, std::size_t length, std::uint8_t* result) {
    reset_operands(ctx);
    ctx.current_item = ctx.code_copy + kCodeHeaderSize;
    return finish_walk(ctx, length, kCodeHeaderSize, result);
}

// A block whose length field cannot be a compiled formula is refused with 1007 before anything
// is copied, so nothing is read past the caller's block.
bool acceptable_length(std::size_t length) { return length > kCodeHeaderSize && length <= kMaxCodeSize; }

}  // namespace

Status convert_field_answer(Context& ctx, std::uint16_t type_word, std::uint8_t* out, std::uint16_t* size) {
    const std::uint8_t* raw = ctx.result + kRawBufferOffset;
    // The common answer of a number field: a raw double in double-number mode.
    if (type_word == ((FCL_RAW_DOUBLE << 8) | kNumber) && !text_numbers()) {
        out[0] = kNumber;
        std::memcpy(out + 1, raw, sizeof(double));
        *size = 9;
        return kOk;
    }
    *size = (type_word & 0xFF) == kFunctionCall ? function_call_value(raw, out)
                                                : convert_raw_value(type_word, raw, out, kCodeAreaSize, ctx);
    return *size ? kOk : kCodeError;
}

Status push_value(Context& ctx, const std::uint8_t* value, std::uint16_t size) {
    if (size == 0) return kCodeError;
    if (ctx.stack_depth >= kMaxOperands || ctx.value_used + size >= kNodePoolSize) return kStackFull;
    std::uint8_t* slot = ctx.value_area + ctx.value_used;
    std::memcpy(slot, value, size);
    ctx.value_used = static_cast<std::uint16_t>(ctx.value_used + size);
    ctx.stack[++ctx.stack_depth] = OperandEntry{slot, size};
    return kOk;
}

Status call_handler(Context& ctx, unsigned index, unsigned argc, const std::uint8_t* item_before) {
    const std::uint8_t* args[kMaxArgs];
    const OperandEntry* first = ctx.stack + ctx.stack_depth - argc + 1;
    for (unsigned k = 0; k < argc; ++k) args[k] = first[k].value;
    ctx.result[0] = static_cast<std::uint8_t>(argc);
    ctx.result[1] = 0;
    end_value_area(ctx, ctx.value_used);
    ctx.current_item = item_before;
    return call_record(*function_record(index), args, ctx.result, ctx);
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

Status run_formula(Context& ctx, FCLFIELDPROC callback, void* data, const std::uint8_t* code,
                   std::uint8_t* result) {
#ifdef FCLIB_PLAIN_EXECUTE
    return run_formula_walk(ctx, callback, data, code, result);
#else
    ctx.callback = callback;
    ctx.callback_data = data;
    const std::size_t length = code_length(code);
    if (!acceptable_length(length)) {
        if (result) write_blank_value(code[0], result);
        return kCodeError;
    }
    // The run loop holds numbers apart from their texts, which needs a backend whose text reads
    // back as the number written; without a callback the walk fails at the first field.
    const ProgramHeader* program = take_program(ctx, code, length);
    const Status status = program && callback && (!text_numbers() || backend().payload_round_trips)
                              ? run_program(ctx, *program, result)
                              : run_walk(ctx, length, result);
    if (status != kOk && result) write_blank_value(ctx.code_copy[0], result);
    return status;
#endif
}

Status run_formula_walk(Context& ctx, FCLFIELDPROC callback, void* data, const std::uint8_t* code,
                        std::uint8_t* result) {
    ctx.callback = callback;
    ctx.callback_data = data;
    const std::size_t length = code_length(code);
    Status status = kCodeError;
    if (acceptable_length(length)) {
        // The programs know their block by the copy the last run left: this run leaves another.
        forget_programs(ctx);
        std::memcpy(ctx.code_copy, code, length);
        status = run_walk(ctx, length, result);
    }
    if (status != kOk && result) write_blank_value(code[0], result);
    return status;
}

}  // namespace fcl
