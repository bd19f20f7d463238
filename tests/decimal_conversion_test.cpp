// The decimal backend's conversions at their boundaries. A double reads as its "%.15e" text
// reads, with printf writing the text; a digit string is written as printf writes its limbs,
// and a buffer too small for it gets the text cut to fit and nothing written past the cut.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fclib.h"
#include "number/backend.h"

#include "decimal_fixture.h"

namespace fcl::test {
namespace {

class DecimalConversion : public DecimalBackendTest {
protected:
    static std::vector<unsigned char> from_double(double value) {
        unsigned char bytes[28];
        NumFromDbl(bytes, value);
        return {bytes, bytes + 28};
    }

    static std::vector<unsigned char> from_printed(double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.15e", value);
        unsigned char bytes[28];
        NumFromStr(bytes, text);
        return {bytes, bytes + 28};
    }
};

TEST_F(DecimalConversion, DoublesReadAsTheirPrintedDigits) {
    const double two53 = std::ldexp(1.0, 53);
    const double values[] = {
        0.0, -0.0, 1.0, -3.0, 12.5, 0.25, -0.75, 1e8, 1e8 + 0.5, 12345678.5, 2e8, 1e15,
        // 2^53 and its neighbours: the last whole numbers a double holds one apart, and the
        // first it holds two apart.
        two53 - 1, two53, two53 + 2, -(two53 + 2), 9999999999999998.0, 1e16, 1e16 + 2, 1e17,
        // Whole parts and fraction bits together at exactly 16 digits, and at 17 (rounded).
        123456789012345.5, 12345678901234.25, 1234567890123.125, 99999999.00390625, 1234567890123.0625,
        999999999.00390625, 1e15 + 0.5, 1e15 + 1.5, 4503599627370495.5,
        // Fractions of eight binary digits and beyond them.
        std::ldexp(1.0, -8), std::ldexp(255.0, -8), std::ldexp(1.0, -9), std::ldexp(1.0, -22), std::ldexp(1.0, -23),
        std::ldexp(3.0, -22), std::ldexp(4194303.0, -22),
        // Inexact values, the extremes, subnormals and the non-finite.
        0.1, 19.99, -1234567.89, DBL_MIN, -DBL_MIN, DBL_TRUE_MIN, -DBL_TRUE_MIN, DBL_MIN / 3, DBL_MAX, -DBL_MAX,
        INFINITY, -INFINITY, NAN};
    for (const double value : values) EXPECT_EQ(from_double(value), from_printed(value)) << value;

    // k / 2^m around the places where the whole part gains a limb or the digits reach 16.
    const double wholes[] = {0, 1, 99999999, 100000000, 9999999999999, 99999999999999, 999999999999999, 4503599627370495};
    for (const double whole : wholes) {
        for (int m = 0; m <= 10; ++m) {
            for (const double k : {1.0, 3.0, std::ldexp(1.0, m) - 1}) {
                const double value = whole + std::ldexp(k, -m);
                EXPECT_EQ(from_double(value), from_printed(value)) << whole << " + " << k << " / 2^" << m;
                EXPECT_EQ(from_double(-value), from_printed(-value)) << -value;
            }
        }
    }
}

TEST_F(DecimalConversion, DigitStringsAtDigitCountBoundaries) {
    std::vector<std::uint32_t> highest;
    for (std::uint32_t power = 1; power <= 100000000; power *= 10) {
        highest.push_back(power - 1);
        if (power < 100000000) highest.push_back(power);
    }
    for (int bits = 1; bits <= 26; ++bits) highest.push_back((1u << bits) - 1);
    const std::uint32_t lower[] = {1, 10000, 99999999, 50000000};
    for (const std::uint32_t top : highest) {
        if (top == 0) continue;
        for (int count = 1; count <= 3; ++count) {
            for (const int exponent : {-3, -1, 0, 1, 127, -128}) {
                // The expected text from printf, read back in to make the number.
                char text[96];
                int length = std::snprintf(text, sizeof text, "%s%u", top % 2 != 0 ? "-" : "", top);
                for (int i = count - 2; i >= 0; --i)
                    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "%08u",
                                            lower[static_cast<std::size_t>(i) % 4]);
                if (exponent != 0)
                    std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "e%d", 8 * exponent);
                const std::string want = text;
                unsigned char number[28];
                NumFromStr(number, want.c_str());
                for (std::size_t size = 1; size <= want.size() + 1; ++size) {
                    char out[kNumberTextSize];
                    std::memset(out, '#', sizeof out);
                    backend().to_str(number, out, size, kStyleFull, -1);
                    const std::string cut = want.substr(0, size - 1);
                    ASSERT_EQ(std::string(out), cut) << want << " in " << size << " bytes";
                    for (std::size_t i = size; i < sizeof out; ++i) ASSERT_EQ(out[i], '#') << want << " in " << size;
                }
                char out[kNumberTextSize];
                std::memset(out, '#', sizeof out);
                backend().to_str(number, out, sizeof out, kStyleFull, -1);
                EXPECT_EQ(std::string(out), want);
                EXPECT_EQ(out[want.size() + 1], '#') << want;
            }
        }
    }
}

}  // namespace
}  // namespace fcl::test
