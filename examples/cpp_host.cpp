// A C++ host over fclib.hpp: it compiles its columns once, reports a formula that does not
// compile with the failing token, and runs the others over records grouped by category, where
// SUM([Amount]) is a running total that starts again with each group (fcl::Records). See
// examples/README.md for the compile line.
#include <cstdio>
#include <string>
#include <vector>

#include <fclib.hpp>

namespace {

struct Order {
    std::string category;
    std::string item;
    double amount;
};

// A value as the host prints it.
std::string text_of(const fcl::Value& value) {
    switch (value.type()) {
        case fcl::Type::Number: return value.number_text();
        case fcl::Type::Logical: return value.logical() ? "true" : "false";
        case fcl::Type::Time: return value.time();
        case fcl::Type::Date: return value.date();
        case fcl::Type::String: break;
    }
    return value.str();
}

}  // namespace

int main() {
    const std::vector<Order> orders = {
        {"Stationery", "Pen", 1200}, {"Stationery", "Notebook", 1560}, {"Books", "Cookbook", 1650},
        {"Books", "Guide", 2860},    {"Books", "Novel", 2310},
    };
    const Order* order = &orders[0];
    // The fields of the current order, for compiling (their types) and running (their values).
    const auto fields = [&order](std::string_view name) -> std::optional<fcl::Value> {
        if (name == "Category") return fcl::Value::from_string(order->category);
        if (name == "Item") return fcl::Value::from_string(order->item);
        if (name == "Amount") return fcl::Value::from_number(order->amount);
        return std::nullopt;
    };

    fcl::Context context;
    const char* const texts[] = {"LEFT([Item] + SPC(9), 9)", "[Amount] > 2000", "SUM([Amount])", "[Amount] +* 2"};
    std::vector<fcl::Formula> columns;
    for (const char* text : texts) {
        fcl::Result<fcl::Formula> formula = context.compile(text, fields);
        if (formula) {
            columns.push_back(*formula);
            continue;
        }
        const fcl::Error& error = formula.error();
        std::printf("\"%s\": %s at offset %d (\"%s\")\n", text, error.message.c_str(), error.offset,
                    error.token.c_str());
    }

    int32_t fixed = 0;
    FCLINIT(0, &fixed);  // the aggregates' work areas: ten slots each, all zero
    fcl::Records records;
    for (std::size_t i = 0; i < orders.size(); ++i) {
        order = &orders[i];
        records.next(i + 1 == orders.size() || orders[i + 1].category != order->category);
        std::string line = order->category;
        for (const fcl::Formula& column : columns) {
            const fcl::Result<fcl::Value> value = context.execute(column, fields, records);
            if (!value) {
                std::printf("%s\n", value.error().message.c_str());
                return 1;
            }
            line += " | " + text_of(*value);
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}
