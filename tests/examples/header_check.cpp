// Compiled, not run, by the tests: fclib.hpp at the C++ level they name (C++17 compiles with
// every warning an error; C++14 stops at the header's own #error).
#include <fclib.hpp>

double check(fcl::Context& context, const fcl::Records& records) {
    const auto fields = [](std::string_view) { return std::optional<fcl::Value>(fcl::Value::from_number(1)); };
    const fcl::Result<fcl::Formula> formula = context.compile("SUM([A])", fields);
    if (!formula) return -1;
    return context.execute(*formula, fields, records).value_or(fcl::Value()).number();
}
