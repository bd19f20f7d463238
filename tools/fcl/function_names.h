// Names and argument counts of the library's 142 function records, by function index.
//
// The public header does not expose the function table, so the tool keeps its own copy of
// the names: compiled formulas call functions by index and that order is fixed, so this list
// is part of the compiled-formula format the tool reads.
#pragma once

#include <cstdint>

namespace fcltool {

constexpr unsigned kFunctionCount = 142;

struct FunctionName {
    const char* name;
    std::uint8_t argc;
};

// The record at a 1-based index, or null outside 1..142.
const FunctionName* function_name(unsigned index);

// Kinds of the aggregates that keep running totals in the library's slots.
enum class PlainAggregate { None, Count, Sum, Avg, Min, Max };

PlainAggregate plain_aggregate(unsigned index);

// True for every aggregate, plain or P form: they read the item before the call.
bool is_aggregate(unsigned index);

}  // namespace fcltool
