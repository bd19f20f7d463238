// Numbers written without printf, against what printf writes: a double's scientific form (every
// digit, rounding, exponent and cut) and its fixed digits behind FORMAT and STR, over values in
// and out of the exact fast paths and every precision; the zero-padded integers of date and
// time values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "functions/handler_support.h"
#include "platform/fcvt.h"
#include "platform/format_double.h"

namespace fcl::test {
namespace {

std::vector<double> sample_values() {
    std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 2.5, 0.125, 9.5, 99.5, 1234567.89, 0.1, 0.3, 1e-4,
                                  9.999999999999999e15, 1e16, 1e17, 1e22, 123456789012345678.0,
                                  std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    for (int power = -22; power <= 22; ++power) {
        const double ten = std::pow(10.0, power);
        values.insert(values.end(), {ten, std::nextafter(ten, 0.0), std::nextafter(ten, 1e300), -ten});
        for (int i = 0; i < 40; ++i) {
            const double value = mantissa(random) * ten;
            // Halves and quarters of whole numbers are exact ties at low precisions.
            values.insert(values.end(), {value, -value, std::floor(value) + 0.5, std::round(value * 4) / 4});
        }
    }
    for (int i = 0; i < 400; ++i) {
        const std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(value);
    }
    return values;
}

TEST(FormatScientific, WritesWhatPrintfWrites) {
    int differences = 0;
    for (const double value : sample_values()) {
        for (int decimals = 0; decimals <= 17 && differences < 10; ++decimals) {
            for (const std::size_t size : {std::size_t{32}, std::size_t{1}, std::size_t{4}, std::size_t{12}}) {
                char expected[32];
                char written[32];
                std::memset(expected, 'x', sizeof expected);
                std::memset(written, 'x', sizeof written);
                std::snprintf(expected, size, "%.*e", decimals, value);
                platform::format_scientific(written, size, decimals, value);
                const bool same = std::memcmp(expected, written, sizeof expected) == 0;
                EXPECT_TRUE(same) << "%." << decimals << "e of " << expected << " cut to " << size << ": " << written;
                if (!same) ++differences;
            }
        }
    }
}

// The fixed digits, point and sign put back together as "%.*f" of the magnitude writes them.
std::string fixed_text(const platform::FixedDigits& fixed, int decimals) {
    const std::string digits = fixed.digits;
    const std::string zeros(fixed.point < 0 ? static_cast<std::size_t>(-fixed.point) : 0, '0');
    const std::size_t point = fixed.point > 0 ? static_cast<std::size_t>(fixed.point) : 0;
    const std::string whole = point > 0 ? digits.substr(0, point) : "0";
    const std::string fraction = zeros + digits.substr(std::min(point, digits.size()));
    return decimals > 0 ? whole + "." + fraction : whole;
}

TEST(FixedDigits, AreWhatPrintfWrites) {
    int differences = 0;
    for (const double value : sample_values()) {
        if (!std::isfinite(value)) continue;
        for (const int decimals : {0, 1, 2, 3, 5, 8, 9, 15, 18, 19, 20, 25, 340}) {
            if (differences >= 10) return;
            static char expected[700];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, std::fabs(value));
            platform::FixedDigits fixed;
            if (std::strlen(expected) >= sizeof fixed.digits) continue;  // more digits than it holds
            platform::fcvt(value, decimals, fixed);
            const std::string written = fixed_text(fixed, decimals);
            const bool same = written == expected && fixed.negative == std::signbit(value);
            EXPECT_TRUE(same) << "%." << decimals << "f of " << value << ": " << expected << " against " << written;
            if (!same) ++differences;
        }
    }
}

TEST(ZeroPadded, IsWhatPrintfWrites) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    for (const std::int32_t value : {kMin, -12345, -123, -5, 0, 7, 42, 123, 9999, 12345, kMax}) {
        for (const int width : {0, 1, 2, 4, 6, 12}) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "%0*d", width, static_cast<int>(value));
            char written[32];
            *write_zero_padded(written, value, width) = '\0';
            EXPECT_STREQ(written, expected) << "%0" << width << "d of " << value;
        }
    }
}

}  // namespace
}  // namespace fcl::test
