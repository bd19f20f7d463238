// The Num entry points: backend selection, shaping of NumToStr, and the double backend.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "fclib.h"

namespace fcl::test {
namespace {

class DoubleBackend : public ::testing::Test {
protected:
    void SetUp() override { NumSetup(1); }
    void TearDown() override { NumSetup(5); }

    static double value(const unsigned char* number) {
        double x;
        std::memcpy(&x, number, sizeof x);
        return x;
    }
    static void set(unsigned char* number, double x) { std::memcpy(number, &x, sizeof x); }
    static std::string text(double x, int32_t style, int32_t digits) {
        unsigned char number[8];
        set(number, x);
        char out[1024];
        NumToStr(number, out, style, digits);
        return out;
    }
};

TEST(NumSetup, SelectsBackendAndType) {
    struct Row {
        int32_t argument, type, size;
    };
    for (const Row row : {Row{5, 5, 28}, Row{1, 1, 8}, Row{7, 0, 8}, Row{0, 0, 8}, Row{-3, 0, 8}}) {
        NumSetup(row.argument);
        EXPECT_EQ(NumType(), row.type) << row.argument;
        EXPECT_EQ(NumSize(), row.size) << row.argument;
    }
    NumSetup(5);
}

TEST_F(DoubleBackend, ToStrFormsAndShaping) {
    struct Row {
        double x;
        int32_t style, digits;
        const char* want;
    };
    const Row rows[] = {
        {1.5, 1, -1, "1.500000000000000e+00"},
        {1.5, 7, 3, "1.500000000000000e+00"},
        {1.5, 0, 2, "1.50"},
        {1.5, -1, 2, "1.5"},
        {1.5, 0, -1, "1.5"},
        {1.25, 0, 0, "1"},
        {-0.001, 0, 0, "0"},
        {-0.4, -1, 0, "0"},
        {2.0, -1, -1, "2"},
        {1234.5678, 0, 3, "1234.568"},
    };
    for (const Row& row : rows) EXPECT_EQ(text(row.x, row.style, row.digits), row.want) << row.x << " " << row.style;
}

TEST_F(DoubleBackend, ToStrToNullReturnsNull) {
    unsigned char number[8];
    set(number, 1.0);
    EXPECT_EQ(NumToStr(number, nullptr, 1, -1), nullptr);
}

TEST_F(DoubleBackend, HugeDecimalsStayBounded) {
    EXPECT_LT(text(1e308, 0, 100000).size(), static_cast<size_t>(FCL_NUM_TEXT_MAX));
}

TEST_F(DoubleBackend, NanAndNegativeZero) {
    unsigned char nan[8], one[8], zero[8];
    set(nan, std::numeric_limits<double>::quiet_NaN());
    set(one, 1.0);
    set(zero, -0.0);
    EXPECT_EQ(NumComp(nan, one), 0);
    EXPECT_EQ(NumComp(one, nan), 0);
    EXPECT_EQ(NumIsZero(zero), 1);
    NumNeg(zero);
    EXPECT_FALSE(std::signbit(value(zero)));
    NumZero(zero);
    NumNeg(zero);
    EXPECT_TRUE(std::signbit(value(zero)));
}

TEST_F(DoubleBackend, SlotsFollowDoubleArithmetic) {
    unsigned char a[8], b[8];
    set(a, -2.5);
    NumInt(a);
    EXPECT_EQ(value(a), -2.0);
    set(a, 2.5);
    NumInt(a);
    EXPECT_EQ(value(a), 2.0);
    set(a, 1.0);
    set(b, 0.0);
    NumDiv(a, b);
    EXPECT_TRUE(std::isinf(value(a)));
    NumMin(a);
    EXPECT_EQ(value(a), 2.2250738585072014e-308);
    NumMax(a);
    EXPECT_EQ(value(a), 1.7976931348623157e308);
    NumFromStr(a, "12.5xyz");
    EXPECT_EQ(value(a), 12.5);
    NumFromInt(a, -2147483647 - 1);
    EXPECT_EQ(value(a), -2147483648.0);
    set(a, -2.75);
    NumFrac(a);
    EXPECT_EQ(value(a), -0.75);
    set(a, 3.0);
    EXPECT_EQ(NumCompInt(a, 3), 0);
    EXPECT_EQ(NumCompInt(a, 4), -1);
    NumInc(a, 2);
    EXPECT_EQ(value(a), 5.0);
    NumDec(a, 7);
    EXPECT_EQ(value(a), -2.0);
    NumCopy(b, a);
    EXPECT_EQ(value(b), -2.0);
    set(b, 4.0);
    NumMul(a, b);
    NumSub(a, b);
    NumAdd(a, b);
    EXPECT_EQ(value(a), -8.0);
}

}  // namespace
}  // namespace fcl::test
