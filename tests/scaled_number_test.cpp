// Short numbers held as whole numbers of 10^-8 must be the very numbers the decimal backend makes
// of the same doubles, texts, sums and products, byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decimal_fixture.h"
#include "number/backend.h"
#include "number/scaled_number.h"

namespace fcl::test {
namespace {

class ScaledNumberTest : public DecimalBackendTest {
protected:
    static Bytes from_units(std::int64_t s) {
        Bytes x{};
        backend().from_units(x.b, s);
        return x;
    }
    static Bytes from_double(double value) {
        Bytes x{};
        NumFromDbl(x.b, value);
        return x;
    }
};

// Doubles around every decade boundary and the limits, money amounts, binary fractions and
// random bits: whenever a double is taken as short, it is the backend's own number of it.
TEST_F(ScaledNumberTest, ShortDoublesAreTheBackendsNumbers) {
    std::mt19937_64 rng(7);
    int taken = 0;
    const auto check = [&](double value) {
        std::int64_t s = 0;
        if (!scaled::from_double(value, s)) return;
        ++taken;
        ASSERT_EQ(digits(from_units(s)), digits(from_double(value))) << value;
    };
    for (int e = -9; e <= 9; ++e) {
        double edge = std::pow(10.0, e);
        for (int step = 0; step < 40; ++step) edge = std::nextafter(edge, 0.0);
        for (int step = 0; step < 80; ++step, edge = std::nextafter(edge, 1e300)) {
            check(edge);
            check(-edge);
        }
    }
    for (int i = 0; i < 200000; ++i) {
        const auto k = static_cast<std::int64_t>(rng() % 20000000000) - 10000000000;
        check(static_cast<double>(k) / 100);
        check(static_cast<double>(k) / 1e8);
        check(static_cast<double>(k) / 256);
        check(std::bit_cast<double>(rng()));
        check(static_cast<double>(rng() % 10000000000000000) * std::pow(10.0, static_cast<int>(rng() % 24) - 16));
    }
    EXPECT_GT(taken, 500000);
}

TEST_F(ScaledNumberTest, DoublesTakenAndLeft) {
    struct Case {
        double value;
        bool taken;
        std::int64_t s;
    };
    const Case cases[] = {
        {19.99, true, 1999000000},        {12.5, true, 1250000000},   {-3, true, -300000000},
        {0.1 + 0.2, true, 30000000},      {-0.0, true, 0},            {12345678.12345678, true, 1234567812345678},
        {1e-8, true, 1},                  {1.0 / 3, false, 0},        {1e8, false, 0},
        {99999999.99999999, false, 0},  // the double is nearer 1e8, its sixteen digits 1.000000000000000e8
        {123456789.5, false, 0},          {5e-9, false, 0},           {NAN, false, 0},
        {INFINITY, false, 0},             {0.123456789, false, 0},
    };
    for (const Case& c : cases) {
        std::int64_t s = 0;
        EXPECT_EQ(scaled::from_double(c.value, s), c.taken) << c.value;
        EXPECT_EQ(s, c.s) << c.value;  // refused: left alone
    }
}

TEST_F(ScaledNumberTest, Texts) {
    struct Case {
        const char* text;
        bool taken;
        std::int64_t s;
    };
    const Case cases[] = {
        {"110000000e-8", true, 110000000}, {"-12.5", true, -1250000000}, {"+007.50", true, 750000000},
        {"1e-8", true, 1},                 {"99999999.99999999", true, 9999999999999999},
        {"1e8", false, 0},                 {"0.000000001", false, 0},   {"12a", false, 0},
        {"", false, 0},                    {".", false, 0},             {"1e", false, 0},
        {"1.5.5", false, 0},               {"10000000000e-10", true, 100000000},
    };
    for (const Case& c : cases) {
        std::int64_t s = 0;
        EXPECT_EQ(scaled::from_text(c.text, s), c.taken) << c.text;
        EXPECT_EQ(s, c.s) << c.text;
    }
}

// Number texts of every shape: whenever one is taken as short, it is the number the backend
// reads from it.
TEST_F(ScaledNumberTest, ShortTextsAreTheBackendsNumbers) {
    std::mt19937_64 rng(5);
    const auto digits_of = [&](int count) {
        std::string run;
        for (int i = 0; i < count; ++i) run += static_cast<char>('0' + rng() % 10);
        return run;
    };
    const char* const signs[] = {"", "-", "+"};
    int taken = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text = signs[rng() % 3];
        if (rng() % 4 == 0) text += std::string(rng() % 4, '0');
        text += digits_of(static_cast<int>(rng() % 11));
        if (rng() % 2) text += "." + digits_of(static_cast<int>(rng() % 11));
        if (rng() % 4 == 0)
            text += "eE"[rng() % 2] + std::string(signs[rng() % 3]) + digits_of(static_cast<int>(rng() % 3));
        if (rng() % 20 == 0) text += " x.-e"[rng() % 5];
        std::int64_t s = 0;
        if (!scaled::from_text(text.c_str(), s)) continue;
        ++taken;
        Bytes x{};
        NumFromStr(x.b, text.c_str());
        ASSERT_EQ(digits(from_units(s)), digits(x)) << text;
    }
    EXPECT_GT(taken, 50000);
}

// Sums, differences, products and quotients that stay short are the backend's; the others are refused.
TEST_F(ScaledNumberTest, ArithmeticIsTheBackends) {
    std::mt19937_64 rng(11);
    const std::int64_t scales[] = {1, 100, 1000000, 100000000, 10000000000};
    int refused = 0;
    int taken[4] = {};
    for (int i = 0; i < 100000; ++i) {
        const auto pick = [&] {
            // Of 1 to 16 digits, so that many products and quotients fit too.
            std::uint64_t bound = 10;
            for (auto digits = rng() % 16; digits > 0; --digits) bound *= 10;
            const auto s = static_cast<std::int64_t>(rng() % bound);
            const std::int64_t scale = scales[rng() % 5];
            const std::int64_t rounded = s / scale * scale;  // with trailing zeros, often exact
            return rng() & 1 ? -rounded : rounded;
        };
        const std::int64_t a = pick();
        const std::int64_t b = pick();
        const Bytes y = from_units(b);
        using Held = bool (*)(std::int64_t, std::int64_t, std::int64_t&);
        const auto expect = [&](int k, Held held, void (*op)(void*, const void*)) {
            std::int64_t r = 0;
            if (!held(a, b, r)) {
                ++refused;
                return;
            }
            ++taken[k];
            Bytes x = from_units(a);
            op(x.b, y.b);
            ASSERT_EQ(digits(from_units(r)), digits(x)) << a << " " << b;
        };
        expect(0, scaled::add, NumAdd);
        expect(1, scaled::sub, NumSub);
        expect(2, scaled::mul, NumMul);
        if (b != 0) expect(3, scaled::div, NumDiv);
    }
    EXPECT_GT(refused, 1000);
    for (const int count : taken) EXPECT_GT(count, 10000);
    std::int64_t r = 0;
    EXPECT_FALSE(scaled::mul(12345678, 10000001, r));  // 0.12345678 * 0.10000001 has 16 fraction digits
    EXPECT_FALSE(scaled::mul(100000001, 1, r));        // 1.00000001 * 0.00000001 has 16 too
    EXPECT_FALSE(scaled::mul(1000000000000, -1000000000000, r));  // 10^4 * -10^4 has nine integer digits
    EXPECT_FALSE(scaled::add(scaled::kLimit - 1, 1, r));
    EXPECT_FALSE(scaled::div(100000000, 300000000, r));  // 1 / 3
    EXPECT_FALSE(scaled::div(100000000, 0, r));
    ASSERT_TRUE(scaled::div(-750000000, 200000000, r));
    EXPECT_EQ(r, -375000000);
}

// A short number's payload text written straight from its units is the text of the backend's
// number of them, under either backend.
TEST_F(ScaledNumberTest, UnitsTextIsTheBackendsText) {
    std::mt19937_64 rng(13);
    std::vector<std::int64_t> units = {0, 1, -1, scaled::kUnit - 1, scaled::kUnit, -scaled::kUnit - 1,
                                       scaled::kLimit - 1, 1 - scaled::kLimit, 120 * scaled::kUnit, 350000000};
    for (int i = 0; i < 100000; ++i) {
        const auto s = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(scaled::kLimit));
        const std::int64_t scale = std::int64_t{1} << (rng() % 4 * 9);  // 1, 512, 2^18, 2^27: zeros in either limb
        units.push_back(rng() & 1 ? -(s / scale * scale) : s % (scale * 1000));
    }
    for (const std::int32_t type : {kDecimalBackendType, 0}) {
        NumSetup(type);
        for (const std::int64_t s : units) {
            char direct[kUnitsTextSize];
            const std::size_t length = backend().units_to_str(s, direct);
            char text[FCL_NUM_TEXT_MAX];
            const Bytes x = from_units(s);
            NumToStr(x.b, text, FCL_NUM_FULL, -1);
            ASSERT_STREQ(direct, text) << s << " under backend " << type;
            ASSERT_EQ(length, std::strlen(text)) << s;
        }
    }
}

// The function index a compiled call of `formula` ends with.
unsigned call_index(const char* formula) {
    unsigned char code[FCL_MAX_CODE];
    std::uint16_t length = 0;
    EXPECT_EQ(FCLCOMPILE(nullptr, nullptr, formula, code, &length), 0) << formula;
    return code[length - 2];
}

// The payload FCLEXECUTE gives for a block calling function `index` on literals whose payload
// texts are `texts` (numbers; the last a string where `picture` says so), in text-number mode.
std::string call_payload(unsigned index, const std::vector<std::string>& texts, bool picture = false) {
    std::vector<unsigned char> block = {FCL_T_NUMBER, 0x10, 0, 0};
    for (const std::string& text : texts) {
        block.push_back(picture && &text == &texts.back() ? FCL_T_STRING : FCL_T_NUMBER);
        block.insert(block.end(), text.begin(), text.end());
        block.push_back(0);
    }
    block.insert(block.end(), {FCL_T_FUNCTION, static_cast<unsigned char>(index), 0});
    block[2] = static_cast<unsigned char>(block.size());
    block[3] = static_cast<unsigned char>(block.size() >> 8);
    unsigned char result[FCL_MAX_VALUE] = {};
    const std::uint16_t status = FCLEXECUTE(nullptr, nullptr, block.data(), result);
    return status ? "status " + std::to_string(status) : std::string(reinterpret_cast<const char*>(result + 1));
}

// ROUND, INT, ABS, MOD and the comparisons take short numbers' own route on their units, STR a
// short number's double and FORMAT its plain text; the same number written with more digits than
// a short number has (trailing zeros) takes the backend's steps. Both must give the same payload.
TEST_F(ScaledNumberTest, ShortNumbersTakeTheBackendsSteps) {
    FCLSETMODE(1);
    const unsigned round = call_index("ROUND(1, 2)");
    const unsigned whole = call_index("INT(1)");
    const unsigned absolute = call_index("ABS(1)");
    const unsigned str = call_index("STR(1, 2, 3)");
    const unsigned format = call_index("FORMAT(1, \"9\")");
    std::mt19937_64 rng(17);
    const std::int64_t exact = std::int64_t{1} << 53;  // the most units a double holds exactly
    std::vector<std::int64_t> numbers = {0,     1,         -1,        50000000, -50000000, scaled::kUnit,
                                         exact, exact + 1, -exact - 1, scaled::kLimit - 1, 1 - scaled::kLimit};
    for (int i = 0; i < 20000; ++i) {
        const auto magnitude = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(scaled::kLimit));
        const std::int64_t scale = std::int64_t{1} << (rng() % 4 * 9);  // whole numbers and halves too
        numbers.push_back((rng() & 1 ? -1 : 1) * (magnitude / scale * scale));
    }
    // The payload text of a short number, and the same number with twenty more fraction zeros.
    const auto texts = [](std::int64_t units) {
        char text[kUnitsTextSize];
        backend().units_to_str(units, text);
        const std::int64_t size = units < 0 ? -units : units;
        const std::string fraction = std::to_string(size % scaled::kUnit + scaled::kUnit).substr(1);
        const std::string padded = (units < 0 ? "-" : "") + std::to_string(size / scaled::kUnit) + "." + fraction;
        return std::pair<std::string, std::string>(text, padded + std::string(20, '0'));
    };
    const unsigned remainder = call_index("MOD(1, 2)");
    const unsigned between = call_index("BETWEEN(1, 2, 3)");
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto [text, padded] = texts(numbers[i]);
        const std::int64_t other = numbers[(i * 7 + 3) % numbers.size()] >> (rng() % 40);  // small ones too
        const auto [divisor, divisor_padded] = texts(other);
        ASSERT_EQ(call_payload(remainder, {text, divisor}), call_payload(remainder, {padded, divisor_padded}))
            << padded << " % " << divisor_padded;
        ASSERT_EQ(call_payload(between, {text, divisor, text}), call_payload(between, {padded, divisor_padded, padded}))
            << padded << " between " << divisor_padded;
        ASSERT_EQ(call_payload(between, {text, text, divisor}), call_payload(between, {padded, padded, divisor_padded}))
            << padded << " between, to " << divisor_padded;
        const std::string n = std::to_string(static_cast<int>(rng() % 23) - 12);
        ASSERT_EQ(call_payload(round, {text, n}), call_payload(round, {padded, n})) << padded << ", " << n;
        ASSERT_EQ(call_payload(whole, {text}), call_payload(whole, {padded})) << padded;
        ASSERT_EQ(call_payload(absolute, {text}), call_payload(absolute, {padded})) << padded;
        ASSERT_EQ(call_payload(str, {text, "40", "20"}), call_payload(str, {padded, "40", "20"})) << padded;
        for (const char* picture : {"-ZZZZZZZZZZZZZZ9.99999999", "-ZZZ,ZZ9.99"})
            ASSERT_EQ(call_payload(format, {text, picture}, true), call_payload(format, {padded, picture}, true))
                << padded << " " << picture;
    }
    FCLSETMODE(0);
}

}  // namespace
}  // namespace fcl::test
