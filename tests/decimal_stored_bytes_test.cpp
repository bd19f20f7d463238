// The decimal backend on number bytes it did not write, and on sums and differences whose
// carries and borrows run through every limb. The expected texts follow from the reading
// rules (the count is cut to 6, limbs above it are ignored, limbs above 99999999 count as
// 99999999, any non-zero sign byte is negative, and the result is normalised) and from
// plain decimal arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "fclib.h"

#include "decimal_fixture.h"

namespace fcl::test {
namespace {

Bytes stored(unsigned count, unsigned sign, int exponent, std::uint32_t l0, std::uint32_t l1 = 0, std::uint32_t l2 = 0,
             std::uint32_t l3 = 0, std::uint32_t l4 = 0, std::uint32_t l5 = 0) {
    Bytes x{};
    x.b[0] = static_cast<unsigned char>(count);
    x.b[1] = static_cast<unsigned char>(sign);
    x.b[2] = static_cast<unsigned char>(static_cast<std::int8_t>(exponent));
    const std::uint32_t limbs[6] = {l0, l1, l2, l3, l4, l5};
    std::memcpy(x.b + 4, limbs, sizeof limbs);
    return x;
}

class DecimalStoredBytes : public DecimalBackendTest {
protected:
    static Bytes read(const char* text) {
        Bytes x{};
        NumFromStr(x.b, text);
        return x;
    }
};

TEST_F(DecimalStoredBytes, ForeignBytesReadByTheStatedRules) {
    const std::uint32_t kLimbCeiling = 100000000;  // one more than a limb may hold
    const struct {
        Bytes in;
        const char* text;
    } cases[] = {
        {stored(1, 0, 0, kLimbCeiling), "99999999"},
        {stored(2, 0, 0, 5, kLimbCeiling), "9999999900000005"},
        {stored(3, 0, 0, kLimbCeiling, 0x80000000u, 7), "79999999999999999"},
        {stored(1, 0, 0, 0xFFFFFFFFu), "99999999"},
        {stored(6, 0, 0, 1, 1, 1, 1, 1, kLimbCeiling), "999999990000000100000001000000010000000100000001"},
        {stored(2, 0, 0, 0, 3), "3e8"},
        {stored(3, 0, 0, 4, 5, 0), "500000004"},
        {stored(6, 0, -2, 0, 0, 0, 0, 0, 1), "1e24"},
        {stored(1, 0, 0, 6, 1), "6"},
        {stored(1, 0, 0, 5, 0xFFFFFFFFu), "5"},
        {stored(2, 0, 0, 6, 1, 0, 0, 0, 9), "100000006"},
        {stored(7, 0, 0, 1, 2, 3, 4, 5, 6), "60000000500000004000000030000000200000001"},
        {stored(255, 0, 0, 1, 2, 3, 4, 5, 6), "60000000500000004000000030000000200000001"},
        {stored(0, 1, 5, 9, 9), "0"},
        {stored(2, 1, 3, 0, 0), "0"},
        {stored(1, 2, 0, 7), "-7"},
        {stored(1, 0, -128, 1), "1e-1024"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(digits(c.in), c.text) << "count " << int{c.in.b[0]};
        // Adding zero stores the number as read, which is the form its text reads back as.
        Bytes sum = c.in;
        const Bytes zero{};
        NumAdd(sum.b, zero.b);
        const Bytes back = read(c.text);
        EXPECT_EQ(std::memcmp(sum.b, back.b, sizeof sum.b), 0) << c.text;
    }
}

TEST_F(DecimalStoredBytes, CarriesAndBorrowsRunThroughEveryLimb) {
    const std::string nines(40, '9');
    const struct {
        const char* a;
        bool subtract;
        const char* b;
        std::string text;
    } cases[] = {
        // 48 nines and one unit of the lowest limb: the carry leaves the top limb.
        {"9999999999999999999999999999999999999999.99999999", false, "0.00000001", "1e40"},
        {"1e40", true, "1", nines},
        {"1", true, "1e40", "-" + nines},
        {"-1e40", false, "1", "-" + nines},
        {"99999999.99999999", false, "0.00000001", "1e8"},
        {"100000000", true, "0.00000001", "9999999999999999e-8"},
        {"12345678.9", true, "12345678.9", "0"},
        {"-12345678.9", false, "12345678.9", "0"},
    };
    for (const auto& c : cases) {
        Bytes x = read(c.a);
        const Bytes y = read(c.b);
        if (c.subtract)
            NumSub(x.b, y.b);
        else
            NumAdd(x.b, y.b);
        EXPECT_EQ(digits(x), c.text) << c.a << (c.subtract ? " - " : " + ") << c.b;
    }
}

}  // namespace
}  // namespace fcl::test
