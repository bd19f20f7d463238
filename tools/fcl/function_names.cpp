#include "function_names.h"

#include <cstring>

#include "functions/function_list.h"

namespace fcltool {

namespace {

using namespace fcl;  // the type masks the function list is written with

template <typename... Masks>
constexpr std::uint8_t count_of(Masks...) {
    return sizeof...(Masks);
}

#define FCL_NAME(name, handler, typing, result, summary, ...) \
    {#name, #handler, count_of(__VA_ARGS__), result, {__VA_ARGS__}, summary},
constexpr FunctionName kNames[] = {FCL_FUNCTION_LIST(FCL_NAME)};
#undef FCL_NAME
static_assert(sizeof kNames / sizeof kNames[0] == kFunctionCount);

struct AggregateHandler {
    const char* handler;
    PlainAggregate plain;  // None for the P forms
};

constexpr AggregateHandler kAggregates[] = {
    {"count", PlainAggregate::Count}, {"sum", PlainAggregate::Sum},   {"avg", PlainAggregate::Avg},
    {"min", PlainAggregate::Min},     {"max", PlainAggregate::Max},   {"pcount", PlainAggregate::None},
    {"psum", PlainAggregate::None},   {"pavg", PlainAggregate::None}, {"pmin", PlainAggregate::None},
    {"pmax", PlainAggregate::None},
};

const AggregateHandler* aggregate_of(unsigned index) {
    const FunctionName* function = function_name(index);
    if (!function) return nullptr;
    for (const auto& entry : kAggregates)
        if (std::strcmp(entry.handler, function->handler) == 0) return &entry;
    return nullptr;
}

}  // namespace

const FunctionName* function_name(unsigned index) {
    return index >= 1 && index <= kFunctionCount ? &kNames[index - 1] : nullptr;
}

PlainAggregate plain_aggregate(unsigned index) {
    const AggregateHandler* aggregate = aggregate_of(index);
    return aggregate ? aggregate->plain : PlainAggregate::None;
}

bool is_aggregate(unsigned index) { return aggregate_of(index) != nullptr; }

}  // namespace fcltool
