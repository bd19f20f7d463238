// Powers of ten: the nearest double to every 10^n, which the correctly rounded strtod gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/power_of_ten.h"

namespace fcl::test {
namespace {

TEST(PowerOfTen, IsTheNearestDoubleForEveryExponent) {
    for (int n = -345; n <= 310; ++n) {
        char text[16];
        std::snprintf(text, sizeof text, "1e%d", n);
        EXPECT_EQ(platform::power_of_ten(n), std::strtod(text, nullptr)) << text;
    }
    EXPECT_EQ(platform::power_of_ten(309), HUGE_VAL);
    EXPECT_EQ(platform::power_of_ten(-2) * 123457.0, 1234.57);
}

}  // namespace
}  // namespace fcl::test
