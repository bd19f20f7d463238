#include "function_names.h"

#include "functions/function_list.h"

namespace fcltool {

namespace {

using namespace fcl;  // the type masks the function list is written with

template <typename... Masks>
constexpr std::uint8_t count_of(Masks...) {
    return sizeof...(Masks);
}

#define FCL_NAME(name, handler, fixed, aggregate, typing, result, summary, ...) \
    {#name, #handler, count_of(__VA_ARGS__), result, {__VA_ARGS__}, summary},
constexpr FunctionName kNames[] = {FCL_FUNCTION_LIST(FCL_NAME)};
#undef FCL_NAME
static_assert(sizeof kNames / sizeof kNames[0] == kFunctionCount);

}  // namespace

const FunctionName* function_name(unsigned index) {
    return index >= 1 && index <= kFunctionCount ? &kNames[index - 1] : nullptr;
}

PlainAggregate plain_aggregate(unsigned index) {
    if (fcl::aggregation(index) != fcl::Aggregation::Running) return PlainAggregate::None;
    switch (fcl::aggregate_kind(index)) {
        case AggregateKind::Count: return PlainAggregate::Count;
        case AggregateKind::Sum: return PlainAggregate::Sum;
        case AggregateKind::Avg: return PlainAggregate::Avg;
        case AggregateKind::Min: return PlainAggregate::Min;
        case AggregateKind::Max: break;
    }
    return PlainAggregate::Max;
}

bool is_aggregate(unsigned index) { return fcl::is_aggregate(index); }

}  // namespace fcltool
