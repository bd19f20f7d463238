// The library's 142 function records, by function index, as the tool shows them.
//
// The public header does not expose the function table; the tool reads the same function list
// the library's table is made from, so names, argument counts, types and summaries always agree
// with the function indexes inside compiled formulas.
#pragma once

#include <cstdint>

namespace fcltool {

constexpr unsigned kFunctionCount = 142;
constexpr unsigned kMaxArgs = 11;

struct FunctionName {
    const char* name;
    const char* handler;  // the handler's name: records that share one share it
    std::uint8_t argc;
    std::uint16_t result_mask;
    std::uint16_t arg_masks[kMaxArgs];
    const char* summary;
};

// The record at a 1-based index, or null outside 1..142.
const FunctionName* function_name(unsigned index);

// Kinds of the aggregates that keep running totals in the library's slots.
enum class PlainAggregate { None, Count, Sum, Avg, Min, Max };

PlainAggregate plain_aggregate(unsigned index);

// True for every aggregate, plain or P form: they read the item before the call.
bool is_aggregate(unsigned index);

}  // namespace fcltool
