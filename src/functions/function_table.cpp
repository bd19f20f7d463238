// The function table, made from the function list.
#include "functions/function_table.h"

#include <string_view>

#include "functions/handlers.h"

namespace fcl {

namespace {

template <typename... Masks>
constexpr std::uint16_t count_of(Masks...) {
    return sizeof...(Masks);
}

}  // namespace

#define FCL_RECORD(name, handler, fixed, aggregate, typing, result, summary, ...) \
    {#name, handlers::handler, static_cast<int>(fixed), Typing::typing, count_of(__VA_ARGS__), result, {__VA_ARGS__}},
constexpr FunctionRecord kFunctionTable[kFunctionCount] = {FCL_FUNCTION_LIST(FCL_RECORD)};
#undef FCL_RECORD

// The aggregate column, which the library itself does not read, agrees with the handlers:
// Running records run the plain aggregates, PerCall records their P forms. (Handlers are told
// apart by name: sanitizer builds do not compare function addresses at compile time.)
constexpr bool agrees(Aggregation column, std::string_view handler) {
    return (column == Aggregation::Running) == (handler == "aggregate") &&
           (column == Aggregation::PerCall) == (handler == "p_aggregate");
}
#define FCL_CHECK_AGGREGATION(name, handler, fixed, column, ...) \
    static_assert(agrees(Aggregation::column, #handler), "aggregate column of " #name);
FCL_FUNCTION_LIST(FCL_CHECK_AGGREGATION)
#undef FCL_CHECK_AGGREGATION

unsigned find_function(const char* name, int argc) {
    for (unsigned index = 1; index <= kFunctionCount; ++index) {
        const FunctionRecord& record = kFunctionTable[index - 1];
        if (argc != kAnyArgc && record.argc != argc) continue;
        std::size_t i = 0;
        while (i < sizeof record.name && record.name[i] != '\0' && record.name[i] == fold_case(name[i])) ++i;
        if (i < sizeof record.name && record.name[i] == '\0' && name[i] == '\0') return index;
    }
    return 0;
}

}  // namespace fcl
