// The decimal backend through the exported Num functions: arithmetic, text and double
// conversion, the normal form, the exponent range and numbers at odd addresses.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fclib.h"
#include "number/backend.h"

namespace fcl::test {
namespace {

constexpr std::int32_t kScientific = 2147483647;

// 48 nines: 40 before the point and 8 after.
const std::string kNines48(48, '9');
const std::string kLargestText = std::string(40, '9') + "." + std::string(8, '9');
const std::string kSaturated = kNines48 + "e1016";

struct Dec {
    alignas(4) unsigned char bytes[28];
};

class Decimal : public ::testing::Test {
protected:
    void SetUp() override {
        saved_type_ = NumType();
        NumSetup(5);
    }
    void TearDown() override { NumSetup(saved_type_); }

    static Dec num(const std::string& text) {
        Dec x;
        NumFromStr(x.bytes, text.c_str());
        return x;
    }
    // The raw text of ToStr, without the shaping of NumToStr.
    static std::string raw(const Dec& x, std::int32_t style) {
        char out[kNumberTextSize];
        backend().to_str(x.bytes, out, sizeof out, style, -1);
        return out;
    }
    static std::string payload(const Dec& x) { return raw(x, kStyleFull); }
    static std::vector<unsigned char> bytes(const Dec& x) { return {x.bytes, x.bytes + 28}; }
    // The stored layout: count, sign, exponent, reserved byte, six little-endian limbs.
    static std::vector<unsigned char> layout(int count, int sign, int exponent, std::vector<std::uint32_t> limbs) {
        std::vector<unsigned char> out(28, 0);
        out[0] = static_cast<unsigned char>(count);
        out[1] = static_cast<unsigned char>(sign);
        out[2] = static_cast<unsigned char>(static_cast<std::int8_t>(exponent));
        for (std::size_t i = 0; i < limbs.size(); ++i) std::memcpy(&out[4 + 4 * i], &limbs[i], 4);
        return out;
    }

private:
    std::int32_t saved_type_ = 5;
};

TEST_F(Decimal, ArithmeticFollowsTheLimbRules) {
    struct Row {
        std::string a;
        char op;
        std::string b;
        std::string want;  // the payload text of the result
    };
    const Row rows[] = {
        {"1.5", '+', "1.5", "3"},
        {"99999999", '+', "1", "1e8"},
        {"5", '-', "5", "0"},
        {"-1.25", '+', "0.25", "-1"},
        {"0", '-', "5", "-5"},
        {"3", '-', "5", "-2"},
        {"1234567.89", '+', "98.7654", "123466665540000e-8"},
        // 10^40 + 1 fits six limbs; 10^-8 would need a seventh and is truncated away.
        {"1e40", '+', "1", "1" + std::string(39, '0') + "1"},
        {"1e40", '+', "1e-8", "1e40"},
        {"1e40", '-', "1e-8", "1e40"},
        // The carry out of limb 5 drops the lowest limb.
        {kLargestText, '+', "1e-8", "1e40"},
        {"1.5", '*', "1.5", "225000000e-8"},
        {"123456789", '*', "987654321", "121932631112635269"},
        {"99999999.99999999", '*', "99999999.99999999", "99999999999999980000000000000001e-16"},
        {"0", '*', "5", "0"},
        // Seven product limbs: the lowest is dropped and the zero limb above it leaves too.
        {"10000000000000000000000000000000099999999", '*', "100000002", "100000002000000000000000000000001e16"},
        // 2/3: the divisor 3 is scaled by 10000, so 44 sixes and the lowest limb 66660000.
        {"2", '/', "3", "666666666666666666666666666666666666666666660000e-48"},
        {"1", '/', "7", "142857142857142857142857142857142857142857140000e-48"},
        {"1", '/', "12345", "81004455245038477116241393276630214661806399e-48"},
        {"10", '/', "4", "250000000e-8"},
        {"-7", '/', "2", "-350000000e-8"},
        {"123.456", '/', "0.001", "123456"},
        {"1234567.89", '/', "98.7654", "125000039487512833441670868543032276485480000e-40"},
        {"-1", '/', "-3", "333333333333333333333333333333333333333333330000e-48"},
        {"7", '/', "0", "0"},
        {"0", '/', "7", "0"},
    };
    for (const Row& row : rows) {
        Dec a = num(row.a);
        const Dec b = num(row.b);
        switch (row.op) {
            case '+': NumAdd(a.bytes, b.bytes); break;
            case '-': NumSub(a.bytes, b.bytes); break;
            case '*': NumMul(a.bytes, b.bytes); break;
            default: NumDiv(a.bytes, b.bytes); break;
        }
        EXPECT_EQ(payload(a), row.want) << row.a << ' ' << row.op << ' ' << row.b;
        EXPECT_EQ(bytes(a), bytes(num(row.want))) << row.a << ' ' << row.op << ' ' << row.b;
    }
}

TEST_F(Decimal, ResultsAreInNormalForm) {
    struct Row {
        Dec value;
        std::vector<unsigned char> want;
    };
    Dec difference = num("5");
    const Dec five = num("5");
    NumSub(difference.bytes, five.bytes);
    Dec half = num("0.5");
    NumInt(half.bytes);
    Dec zero = num("0");
    NumNeg(zero.bytes);
    Dec two_thirds = num("2");
    const Dec three = num("3");
    NumDiv(two_thirds.bytes, three.bytes);
    const Row rows[] = {
        {difference, layout(0, 0, 0, {})},
        {half, layout(0, 0, 0, {})},
        {zero, layout(0, 0, 0, {})},
        {num("-0"), layout(0, 0, 0, {})},
        {num("1.5"), layout(2, 0, -1, {50000000, 1})},
        {num("120"), layout(1, 0, 0, {120})},
        {num("100000000"), layout(1, 0, 1, {1})},
        {num("-0.05"), layout(1, 1, -1, {5000000})},
        {two_thirds, layout(6, 0, -6, {66660000, 66666666, 66666666, 66666666, 66666666, 66666666})},
    };
    for (const Row& row : rows) EXPECT_EQ(bytes(row.value), row.want) << payload(row.value);
}

TEST_F(Decimal, FromStrReadsTheLeadingNumber) {
    struct Row {
        std::string text;
        std::string want;  // payload
    };
    const Row rows[] = {
        {"150000000e-8", "150000000e-8"},
        {"1.5", "150000000e-8"},
        {"1.50", "150000000e-8"},
        {" +1.5", "150000000e-8"},
        {"1.500000000000000e+00", "150000000e-8"},
        {"abc", "0"},
        {"12abc", "12"},
        {"-0", "0"},
        {"", "0"},
        {"-", "0"},
        {".", "0"},
        {"\t1", "0"},  // only the blank is skipped
        {"  -12.5", "-1250000000e-8"},
        {"-.5", "-50000000e-8"},
        {"1.e2", "100"},
        {"1e3", "1000"},
        {"1E3", "1000"},
        {"1e 3", "1000"},  // the exponent is read as atoi reads
        {"1e-3", "100000e-8"},
        {"1e16", "1e16"},
        {"12.5e1", "125"},
        {"1.5e-9", "15000000e-16"},
        {"e5", "0"},
        {"0e5", "0"},
        {"0.000000000000000001", "1000000e-24"},
        // A 50-digit integer keeps its 42 leading digits; the last 8 count as zeros.
        {"12345678901234567890123456789012345678901234567890", "123456789012345678901234567890123456789012e8"},
        // The lowest limb kept from a long integer is zero: it leaves with the dropped one.
        {"1" + std::string(48, '0') + "12345678", "1e56"},
        // An integer part of one limb leaves five limbs, 40 digits, for the fraction.
        {"1.123456789012345678901234567890123456789012345678",
         "11234567890123456789012345678901234567890e-40"},
        {"0.1234567890123456789012345678901234567890123456789",
         "123456789012345678901234567890123456789012345678e-48"},
        // Every leading all-zero group lowers the exponent: all 48 digits are kept.
        {"0." + std::string(16, '0') + "1234567890123456789012345678901234567890123456789",
         "123456789012345678901234567890123456789012345678e-64"},
        {"00012.5000", "1250000000e-8"},
    };
    for (const Row& row : rows) EXPECT_EQ(payload(num(row.text)), row.want) << '"' << row.text << '"';
}

TEST_F(Decimal, ExponentLeavingItsByteSaturatesOrTruncates) {
    struct Row {
        std::string a;
        char op;
        std::string b;
        std::string want;
    };
    const Row rows[] = {
        {"1e1023", ' ', "", "10000000e1016"},
        {"1e1024", ' ', "", kSaturated},
        {"-1e99999999999999999999", ' ', "", "-" + kSaturated},
        {"1e-1024", ' ', "", "1e-1024"},
        {"1e-1025", ' ', "", "0"},
        {"1e-99999999999999999999", ' ', "", "0"},
        {"1e1016", '*', "1e1016", kSaturated},
        {"-1e1016", '*', "1e1016", "-" + kSaturated},
        {"1e-1000", '*', "1e-1000", "0"},
        {"1e1000", '/', "1e-1000", kSaturated},
        {"1e-1000", '/', "1e1000", "0"},
        {"1e-1024", '/', "10", "0"},
        {kSaturated, '+', kSaturated, kSaturated},
        {"-" + kSaturated, '-', kSaturated, "-" + kSaturated},
        {kSaturated, '-', kSaturated, "0"},
    };
    for (const Row& row : rows) {
        Dec a = num(row.a);
        const Dec b = num(row.b);
        if (row.op == '*') NumMul(a.bytes, b.bytes);
        if (row.op == '/') NumDiv(a.bytes, b.bytes);
        if (row.op == '+') NumAdd(a.bytes, b.bytes);
        if (row.op == '-') NumSub(a.bytes, b.bytes);
        EXPECT_EQ(payload(a), row.want) << row.a << ' ' << row.op << ' ' << row.b;
    }
}

TEST_F(Decimal, FromDblReadsTheSixteenDigitText) {
    struct Row {
        double value;
        std::string want;  // plain form
    };
    const Row rows[] = {
        {0.1, "0.1"},
        {1.0 / 3.0, "0.3333333333333333"},
        {123456789.123456789, "123456789.1234568"},
        {-2.5, "-2.5"},
        {0.0, "0"},
        {-0.0, "0"},
        {1e20, "100000000000000000000"},
        {std::numeric_limits<double>::quiet_NaN(), "0"},
        {std::numeric_limits<double>::infinity(), "0"},
        {-std::numeric_limits<double>::infinity(), "0"},
    };
    for (const Row& row : rows) {
        Dec x;
        NumFromDbl(x.bytes, row.value);
        EXPECT_EQ(raw(x, 0), row.want) << row.value;
    }
}

TEST_F(Decimal, FromIntIsExact) {
    struct Row {
        std::int32_t value;
        std::string want;  // payload
    };
    const Row rows[] = {
        {0, "0"},
        {-1, "-1"},
        {2147483647, "2147483647"},
        {-2147483647 - 1, "-2147483648"},
        {100000000, "1e8"},
        {-200000000, "-2e8"},
        {1000000000, "10e8"},
        {99999999, "99999999"},
    };
    for (const Row& row : rows) {
        Dec x;
        NumFromInt(x.bytes, row.value);
        EXPECT_EQ(payload(x), row.want) << row.value;
        EXPECT_EQ(bytes(x), bytes(num(row.want))) << row.value;
    }
}

TEST_F(Decimal, ToStrWritesThreeForms) {
    struct Row {
        std::string value;
        std::int32_t style;
        std::string want;
    };
    const Row rows[] = {
        {"1.5", 1, "150000000e-8"},
        {"1.5", 0, "1.5"},
        {"1.5", kScientific, "1.5e0"},
        {"1.5", 7, "150000000e-8"},
        {"1.5", -5, "1.5"},
        {"100000000", 1, "1e8"},
        {"100000000", 0, "100000000"},
        {"100000000", kScientific, "1e8"},
        {"0.05", 0, "0.05"},
        {"0.05", 1, "5000000e-8"},
        {"0.05", kScientific, "5e-2"},
        {"-2", 1, "-2"},
        {"-2", 0, "-2"},
        {"-2", kScientific, "-2e0"},
        {"0", 1, "0"},
        {"0", 0, "0"},
        {"0", kScientific, "0"},
        {"123.456", kScientific, "1.23456e2"},
        {"-1234567.89", 0, "-1234567.89"},
        {"0.000000000000000001", 0, "0.000000000000000001"},
        {"0.000000000000000001", kScientific, "1e-18"},
        {"120000000.5", 0, "120000000.5"},
        {"1e20", 0, "100000000000000000000"},
        {kLargestText, 0, kLargestText},
        {kLargestText, kScientific, "9." + std::string(47, '9') + "e39"},
    };
    for (const Row& row : rows) EXPECT_EQ(raw(num(row.value), row.style), row.want) << row.value << ' ' << row.style;
}

TEST_F(Decimal, ToStrStaysInsideTheBuffer) {
    char out[8];
    std::memset(out, 'x', sizeof out);
    const Dec x = num("1.5");
    backend().to_str(x.bytes, out, 5, 1, -1);
    EXPECT_STREQ(out, "1500");
    EXPECT_EQ(out[5], 'x');
    backend().to_str(x.bytes, out, 0, 1, -1);
    EXPECT_EQ(out[0], '1');
    // A plain form longer than the text area is written as the exact digit string.
    char text[FCL_NUM_TEXT_MAX];
    EXPECT_STREQ(NumToStr(num("1e1016").bytes, text, 0, 0), "1e1016");
    EXPECT_STREQ(NumToStr(num("-1e-1024").bytes, text, -1, 0), "-1e-1024");
    EXPECT_EQ(std::string(NumToStr(num("1e700").bytes, text, 0, 0)), "1" + std::string(700, '0'));
}

TEST_F(Decimal, NumToStrShapesThePlainForm) {
    struct Row {
        std::string value;
        std::int32_t style, digits;
        std::string want;
    };
    const Row rows[] = {
        {"-0.001", 0, 0, "0"},
        {"1.5", 0, 2, "1.50"},
        {"1.5", 0, 0, "1"},
        {"1.5", -1, 2, "1.5"},
        {"2", 0, 2, "2.00"},
        {"1.23456", 0, 3, "1.234"},
        {"-1.5", -1, 0, "-1"},
        {"-0.5", 0, 0, "0"},
        {"1.5", 1, 3, "150000000e-8"},
        {"1.5", kScientific, 0, "1.5e0"},
    };
    for (const Row& row : rows) {
        char out[FCL_NUM_TEXT_MAX];
        EXPECT_EQ(std::string(NumToStr(num(row.value).bytes, out, row.style, row.digits)), row.want)
            << row.value << ' ' << row.style << ' ' << row.digits;
    }
}

TEST_F(Decimal, CompOrdersBySignPositionAndLimbs) {
    struct Row {
        std::string a, b;
        std::int32_t want;
    };
    const Row rows[] = {
        {"1.5", "1.50000000", 0}, {"1", "2", -1},      {"-1", "-2", 1},         {"0", "-1", 1},
        {"0", "1", -1},           {"0", "0", 0},       {"-0", "0", 0},          {"1e8", "99999999", 1},
        {"0.5", "0.50000001", -1}, {"-3", "2", -1},    {"1e40", "1e-8", 1},     {"-1e40", "-1e-8", -1},
        {"12.5", "12.5000000001", -1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(NumComp(num(row.a).bytes, num(row.b).bytes), row.want) << row.a << " vs " << row.b;
        EXPECT_EQ(NumComp(num(row.b).bytes, num(row.a).bytes), -row.want) << row.b << " vs " << row.a;
    }
    EXPECT_EQ(NumCompInt(num("3").bytes, 3), 0);
    EXPECT_EQ(NumCompInt(num("3").bytes, 4), -1);
    EXPECT_EQ(NumCompInt(num("-2147483648").bytes, -2147483647 - 1), 0);
}

TEST_F(Decimal, UnarySlots) {
    struct Row {
        std::string value;
        void (*slot)(void*);
        std::string want;  // payload
    };
    const Row rows[] = {
        {"-2.75", NumInt, "-2"},         {"0.5", NumInt, "0"},           {"100000000.5", NumInt, "1e8"},
        {"123.456", NumInt, "123"},      {"-0.001", NumInt, "0"},        {"1e40", NumInt, "1e40"},
        {"-2.75", NumFrac, "-75000000e-8"}, {"3", NumFrac, "0"},          {"12.5", NumFrac, "50000000e-8"},
        {"0", NumNeg, "0"},              {"1.5", NumNeg, "-150000000e-8"}, {"-1.5", NumNeg, "150000000e-8"},
        {"7", NumZero, "0"},             {"7", NumMax, kNines48 + "e-8"}, {"7", NumMin, "-" + kNines48 + "e-8"},
    };
    for (const Row& row : rows) {
        Dec x = num(row.value);
        row.slot(x.bytes);
        EXPECT_EQ(payload(x), row.want) << row.value;
        EXPECT_EQ(bytes(x), bytes(num(row.want))) << row.value;
    }
    EXPECT_EQ(NumIsZero(num("0").bytes), 1);
    EXPECT_EQ(NumIsZero(num("1e-1024").bytes), 0);
    Dec x = num("1.5");
    NumInc(x.bytes, 2);
    EXPECT_EQ(payload(x), "350000000e-8");
    NumDec(x.bytes, 4);
    EXPECT_EQ(payload(x), "-50000000e-8");
    Dec copy;
    NumCopy(copy.bytes, x.bytes);
    EXPECT_EQ(bytes(copy), bytes(x));
}

// Hosts hand numbers over at any address.
TEST_F(Decimal, NumbersAtOddAddresses) {
    alignas(8) unsigned char area[100];
    for (const std::size_t offset : {1u, 3u, 5u, 7u}) {
        unsigned char* a = area + offset;
        unsigned char* b = area + offset + 40;
        NumFromStr(a, "1234567.89");
        NumFromStr(b, "98.7654");
        NumMul(a, b);
        NumDiv(a, b);
        NumAdd(a, b);
        NumSub(a, b);
        EXPECT_EQ(NumComp(a, b), 1);
        NumNeg(a);
        NumInt(a);
        NumFromInt(b, -1234567);
        EXPECT_EQ(NumComp(a, b), 0) << offset;
        NumFromDbl(b, 0.5);
        EXPECT_EQ(NumIsZero(b), 0);
        char out[FCL_NUM_TEXT_MAX];
        EXPECT_STREQ(NumToStr(a, out, 1, -1), "-1234567");
    }
}

// Bytes this backend did not write are read defensively and never cause a fault.
TEST_F(Decimal, ForeignBytesAreReadDefensively) {
    struct Row {
        std::vector<unsigned char> bytes;
        std::string want;  // payload as read
    };
    std::vector<unsigned char> all_ones(28, 0xFF);
    all_ones[2] = 0;
    const Row rows[] = {
        {all_ones, "-" + kNines48},                                   // count 255, limbs too large
        {layout(3, 0, 0, {0, 0, 0}), "0"},                            // limbs all zero
        {layout(3, 9, 0, {0, 5, 0}), "-5e8"},                         // zero limbs at both ends
        {layout(1, 0, 0, {7, 8, 9}), "7"},                            // limbs above the count
    };
    for (const Row& row : rows) {
        Dec x;
        std::memcpy(x.bytes, row.bytes.data(), 28);
        EXPECT_EQ(payload(x), row.want);
        Dec one = num("1");
        NumDiv(one.bytes, x.bytes);
        NumMul(x.bytes, x.bytes);
        NumAdd(x.bytes, one.bytes);
        EXPECT_EQ(bytes(x), bytes(num(payload(x))));
    }
}

}  // namespace
}  // namespace fcl::test
