// The function table: 142 records, one per overload, in the order that compiled formulas rely on.
#pragma once

#include <cstdint>
#include <string_view>

#include "functions/function_list.h"
#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

constexpr int kMaxArgs = 11;
constexpr int kAnyArgc = -1;

// A handler reads its argc arguments (first argument first; each a tagged value), writes one
// tagged value at the start of result and returns a status. On entry result[0..1] hold argc.
// fixed is the record's fixed argument: which of the records that share the handler it runs.
using Handler = Status (*)(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int fixed);

struct FunctionRecord {
    char name[16];
    Handler handler;
    int fixed;
    Typing typing;
    std::uint16_t argc;
    std::uint16_t result_mask;
    std::uint16_t arg_masks[kMaxArgs];
};

extern const FunctionRecord kFunctionTable[kFunctionCount];

// Calls a record's handler on its arguments: the one way the executor calls a handler.
inline Status call_record(const FunctionRecord& record, const std::uint8_t* const* args, std::uint8_t* result,
                          Context& ctx) {
    return record.handler(args, result, ctx, record.fixed);
}

// Record of a 1-based function index, or null when the index is outside 1..142.
inline const FunctionRecord* function_record(unsigned index) {
    return (index >= 1 && index <= kFunctionCount) ? &kFunctionTable[index - 1] : nullptr;
}

// Names are matched without regard to the case of ASCII letters.
inline char fold_case(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// 1-based index of the first record, in table order, whose name equals name and, unless argc is
// kAnyArgc, whose argc equals argc; 0 when there is none.
unsigned find_function(const char* name, int argc = kAnyArgc);

// The records' names in record order, and the first record of a name, at compile time: for
// the operators, whose records the lexer knows without a search.
#define FCL_RECORD_NAME(name, ...) #name,
inline constexpr std::string_view kFunctionNames[] = {FCL_FUNCTION_LIST(FCL_RECORD_NAME)};
#undef FCL_RECORD_NAME

consteval unsigned first_record_named(std::string_view name) {
    for (unsigned index = 1; index <= kFunctionCount; ++index)
        if (kFunctionNames[index - 1] == name) return index;
    return 0;
}

// Argument count a handler was called with (the executor stores it in the result area).
inline std::uint16_t call_argc(const std::uint8_t* result) {
    return static_cast<std::uint16_t>(result[0] | (result[1] << 8));
}

}  // namespace fcl
