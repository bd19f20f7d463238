// A C++ host built against an installed fclib, through the C++ layer.
#include <cstdio>

#include <fclib.hpp>

int main() {
    fcl::Context context;
    const auto fields = [](std::string_view name) -> std::optional<fcl::Value> {
        if (name == "Qty") return fcl::Value::from_number(4);
        return std::nullopt;
    };
    const auto formula = context.compile("[Qty] * 2.5", fields);
    if (!formula) return 1;
    const auto value = context.execute(*formula, fields);
    if (!value || value->number() != 10.0) return 1;
    std::printf("fclib %s: %g\n", FCL_VERSION, value->number());
    return 0;
}
