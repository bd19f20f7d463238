// The decimal backend's sums, differences and products of numbers of one or two limbs, which
// take their own path: limbs carried and borrowed across exponent gaps, products whose low
// limbs come out zero or whose exponent leaves the stored range, signs, and stored bytes this
// backend did not write (read as the count cut to 6, limbs above it ignored, limbs above
// 99999999 counted as 99999999, any non-zero sign byte negative). The expected digit strings
// follow from plain decimal arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "fclib.h"

#include "decimal_fixture.h"

namespace fcl::test {
namespace {

// Stored bytes: count, sign byte, exponent (a power of 10^8) and limbs, the lowest first.
struct Operand {
    unsigned count;
    unsigned sign;
    int exponent;
    std::uint32_t limb[6];
};

Bytes bytes_of(const Operand& x) {
    Bytes out{};
    out.b[0] = static_cast<unsigned char>(x.count);
    out.b[1] = static_cast<unsigned char>(x.sign);
    out.b[2] = static_cast<unsigned char>(static_cast<std::int8_t>(x.exponent));
    std::memcpy(out.b + 4, x.limb, sizeof x.limb);
    return out;
}

enum class Op { kAdd, kSub, kMul };

struct Case {
    Operand a;
    Op op;
    Operand b;
    const char* digits;  // the result as written in the payload form
};

constexpr std::uint32_t kNines = 99999999;
// The largest magnitude, 48 nines at exponent 127, with either sign.
const std::string kExtreme = std::string(48, '9') + "e1016";
const std::string kNegativeExtreme = "-" + kExtreme;
// 10^48 + 5 * 10^8: the sum of 99999999 * 10^40 + 5 * 10^8 + 1 and 10^40 + 1 cut to six limbs.
const std::string kCarriedSum = "1" + std::string(39, '0') + "5e8";
const std::string kNegativeCarriedSum = "-" + kCarriedSum;

class DecimalShortOperands : public DecimalBackendTest {
protected:
    static void apply(Op op, unsigned char* a, const unsigned char* b) {
        switch (op) {
            case Op::kAdd: NumAdd(a, b); break;
            case Op::kSub: NumSub(a, b); break;
            case Op::kMul: NumMul(a, b); break;
        }
    }

    // Each result is checked as text and, through the text read back, as the bytes the
    // backend writes for it.
    static void check(const Case& c, int row) {
        Bytes x = bytes_of(c.a);
        const Bytes y = bytes_of(c.b);
        apply(c.op, x.b, y.b);
        EXPECT_EQ(digits(x), c.digits) << "row " << row;
        Bytes back{};
        NumFromStr(back.b, c.digits);
        EXPECT_EQ(std::memcmp(x.b, back.b, sizeof x.b), 0) << "row " << row << " bytes";
    }
};

TEST_F(DecimalShortOperands, Products) {
    const Case cases[] = {
        {{2, 0, -1, {50000000, 12}}, Op::kMul, {1, 0, 0, {3}}, "3750000000e-8"},
        // 12.5 * 0.08: both low limbs of the product are zero.
        {{2, 0, -1, {50000000, 12}}, Op::kMul, {1, 0, -1, {8000000}}, "1"},
        // Four limbs: (10^16 - 1)^2 / 10^16.
        {{2, 0, -1, {kNines, kNines}}, Op::kMul, {2, 0, -1, {kNines, kNines}}, "99999999999999980000000000000001e-16"},
        {{1, 1, 0, {7}}, Op::kMul, {1, 0, 0, {6}}, "-42"},
        {{1, 1, 0, {7}}, Op::kMul, {1, 1, 0, {6}}, "42"},
        {{1, 2, 0, {7}}, Op::kMul, {1, 0, 0, {6}}, "-42"},
        // Below exponent -128 the product is truncated, to zero when nothing is left.
        {{2, 0, -100, {1, 5}}, Op::kMul, {1, 0, -29, {1}}, "5e-1024"},
        {{1, 0, -100, {5}}, Op::kMul, {1, 1, -100, {3}}, "0"},
        // Above 127 it saturates, keeping its sign; here only once its zero limb is dropped.
        {{1, 0, 100, {5}}, Op::kMul, {1, 1, 100, {3}}, kNegativeExtreme.c_str()},
        {{1, 0, 127, {50000000}}, Op::kMul, {1, 0, 0, {2}}, kExtreme.c_str()},
        {{1, 0, 126, {50000000}}, Op::kMul, {1, 0, 0, {2}}, "1e1016"},
        // Bytes this backend did not write.
        {{1, 0, 0, {6, 5}}, Op::kMul, {1, 0, 0, {7}}, "42"},
        {{2, 0, 0, {100000000, 1}}, Op::kMul, {1, 0, 0, {2}}, "399999998"},
        {{1, 0, 0, {2}}, Op::kMul, {2, 0, 0, {100000000, 1}}, "399999998"},
        {{2, 0, 0, {5, 0}}, Op::kMul, {1, 0, 0, {3}}, "15"},
        {{2, 0, 0, {0, 5}}, Op::kMul, {1, 0, 0, {3}}, "15e8"},
        {{0, 1, 5, {9, 9}}, Op::kMul, {1, 0, 0, {7}}, "0"},
        {{7, 0, 0, {1, 2, 3, 4, 5, 6}}, Op::kMul, {1, 0, 0, {2}}, "120000001000000008000000060000000400000002"},
    };
    int row = 0;
    for (const Case& c : cases) check(c, row++);
}

TEST_F(DecimalShortOperands, SumsAcrossExponents) {
    const Case cases[] = {
        {{2, 0, -1, {50000000, 37}}, Op::kAdd, {1, 0, 0, {1}}, "3850000000e-8"},
        {{1, 0, 0, {1}}, Op::kSub, {2, 0, -1, {50000000, 37}}, "-3650000000e-8"},
        {{1, 0, -1, {50000000}}, Op::kAdd, {1, 0, 0, {kNines}}, "9999999950000000e-8"},
        // The carry runs through two limbs into a fourth.
        {{2, 0, 0, {kNines, kNines}}, Op::kAdd, {2, 0, -1, {5, 1}}, "1000000000000000000000005e-8"},
        // The borrow runs through the gap.
        {{1, 0, 0, {1}}, Op::kSub, {1, 0, -1, {1}}, "99999999e-8"},
        {{1, 0, 0, {1}}, Op::kSub, {1, 0, -2, {1}}, "9999999999999999e-16"},
        {{1, 1, -2, {1}}, Op::kAdd, {1, 0, 0, {1}}, "9999999999999999e-16"},
        {{1, 0, 0, {1}}, Op::kAdd, {1, 0, -3, {1}}, "1000000000000000000000001e-24"},
        {{2, 0, 0, {1, 2}}, Op::kAdd, {1, 0, -3, {1}}, "200000001000000000000000000000001e-24"},
        {{1, 2, 0, {5}}, Op::kSub, {1, 0, -1, {50000000}}, "-550000000e-8"},
        {{1, 0, 0, {5}}, Op::kSub, {1, 1, -1, {50000000}}, "550000000e-8"},
        // One exponent: a zero lowest limb, and carries out of the sixth limb, which drop the
        // lowest (at exponent 127 the sum saturates).
        {{2, 0, -1, {50000000, 12}}, Op::kAdd, {1, 0, -1, {50000000}}, "13"},
        {{6, 0, 0, {1, 5, 0, 0, 0, kNines}}, Op::kAdd, {6, 0, 0, {1, 0, 0, 0, 0, 1}}, kCarriedSum.c_str()},
        {{6, 1, 0, {1, 5, 0, 0, 0, kNines}}, Op::kSub, {6, 0, 0, {1, 0, 0, 0, 0, 1}}, kNegativeCarriedSum.c_str()},
        {{6, 0, 127, {kNines, kNines, kNines, kNines, kNines, kNines}}, Op::kAdd,
         {6, 0, 127, {kNines, kNines, kNines, kNines, kNines, kNines}}, kExtreme.c_str()},
        // Bytes this backend did not write.
        {{1, 0, 0, {6, 5}}, Op::kAdd, {1, 0, -1, {50000000}}, "650000000e-8"},
        {{1, 0, -1, {0xFFFFFFFFu}}, Op::kAdd, {1, 0, 0, {1}}, "199999999e-8"},
        {{1, 0, 0, {1}}, Op::kAdd, {1, 0, -1, {0xFFFFFFFFu}}, "199999999e-8"},
        {{2, 0, 0, {3, 0}}, Op::kSub, {1, 0, 1, {1}}, "-99999997"},
    };
    int row = 0;
    for (const Case& c : cases) check(c, row++);
}

TEST_F(DecimalShortOperands, OperandsThatAreOneNumber) {
    Bytes x = bytes_of({2, 0, -1, {50000000, 12}});
    NumMul(x.b, x.b);
    EXPECT_EQ(digits(x), "15625000000e-8");
    NumSub(x.b, x.b);
    EXPECT_EQ(digits(x), "0");
    Bytes y = bytes_of({2, 1, -1, {50000000, 12}});
    NumAdd(y.b, y.b);
    EXPECT_EQ(digits(y), "-25");
}

}  // namespace
}  // namespace fcl::test
