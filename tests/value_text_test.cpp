// fcl's text of a double result against the C++ library's "%.15g" rounding, which it takes a
// shorter way to where it can.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "../tools/fcl/value_text.h"
#include "fclib.h"

namespace {

std::string fcl_text(double number) {
    unsigned char value[9] = {FCL_T_NUMBER};
    std::memcpy(value + 1, &number, sizeof number);
    std::string text;
    fcltool::append_value_text(text, value, false, false);
    return text;
}

std::string fifteen_digits(double number) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, number, std::chars_format::general, 15).ptr);
}

TEST(ValueText, DoublesAsFifteenSignificantDigits) {
    // Bounds of the fixed form, results one step off a short decimal, values whose shortest
    // text has sixteen or seventeen digits, subnormals.
    const double chosen[] = {0.0,  1e15, 999999999999999.0, 9999999999999998.0, 1e-4, 1e-5, 0.00012345,
                             0.3,  216.00000000000003, 123456789012345.6, 1.7976931348623157e308,
                             5e-324, 2.2250738585072014e-308, 4.9406564584124654e-310};
    for (const double number : chosen) {
        EXPECT_EQ(fcl_text(number), fifteen_digits(number)) << number;
        EXPECT_EQ(fcl_text(-number), fifteen_digits(-number)) << -number;
    }
    std::mt19937_64 random(15);
    std::uniform_int_distribution<int> exponent(-25, 25);
    std::uniform_real_distribution<double> unit(1.0, 10.0);
    for (int i = 0; i < 100000; ++i) {
        const double number = unit(random) * std::pow(10.0, exponent(random));
        const std::uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        for (const double n : {number, std::round(number * 100) / 100, std::round(number) * 0.1, any}) {
            if (!std::isfinite(n)) continue;
            ASSERT_EQ(fcl_text(n), fifteen_digits(n)) << n;
        }
    }
}

}  // namespace
