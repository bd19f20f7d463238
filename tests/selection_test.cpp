// IF and SELECT refuse a chosen value that is none of the five value types. The compiler keeps
// such values out, so the formulas are built by hand around a field that names a function.
#include <gtest/gtest.h>

#include <cstring>

#include "fclib.h"
#include "formula_builder.h"
#include "functions/function_table.h"

namespace fcl::test {
namespace {

// Every field is the function-call value of ADD.
std::int32_t function_field(void*, const char*, void* raw, std::uint16_t* type) {
    *type = FCL_T_FUNCTION;
    if (raw) std::strcpy(static_cast<char*>(raw), "ADD");
    return 0;
}

TEST(Selection, ChosenValueOfNoValueTypeIsRefused) {
    struct Row {
        const char* name;
        int argc;
        bool number_first;
    };
    const Row rows[] = {{"IF", 3, false}, {"SELECT", 3, true}};
    for (const Row& row : rows) {
        FormulaBuilder formula(FCL_T_STRING);
        if (row.number_first) formula.number(1);
        else formula.logical(true);
        formula.reference(FCL_T_FIELD, "F").reference(FCL_T_FIELD, "G");
        formula.call(static_cast<std::uint8_t>(find_function(row.name, row.argc)));
        const auto code = formula.build();
        std::uint8_t result[FCL_MAX_VALUE] = {};
        EXPECT_EQ(FCLEXECUTE(function_field, nullptr, code.data(), result), FCL_E_TYPE) << row.name;
        EXPECT_EQ(result[0], FCL_T_STRING) << row.name;  // the blank value of the formula
        EXPECT_EQ(result[1], 0) << row.name;
    }
}

}  // namespace
}  // namespace fcl::test
