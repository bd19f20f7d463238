// The decimal backend against an independent model: exact big-integer arithmetic in base
// 10^9, followed by the truncation to whole limbs that the decimal rules state. Thousands of
// random operations with a fixed seed must agree byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fclib.h"
#include "number/backend.h"

#include "decimal_fixture.h"

namespace fcl::test {
namespace {

// A non-negative integer, base 10^9 little-endian, without leading zero digits.
struct Big {
    static constexpr std::uint32_t kRadix = 1000000000;
    std::vector<std::uint32_t> d;

    bool zero() const { return d.empty(); }
    void trim() {
        while (!d.empty() && d.back() == 0) d.pop_back();
    }
    static Big from_decimal(const std::string& text) {
        Big x;
        for (std::size_t end = text.size(); end > 0; end = end > 9 ? end - 9 : 0) {
            const std::size_t begin = end > 9 ? end - 9 : 0;
            x.d.push_back(static_cast<std::uint32_t>(std::stoul(text.substr(begin, end - begin))));
        }
        x.trim();
        return x;
    }
    std::string decimal() const {
        if (d.empty()) return "0";
        std::string text = std::to_string(d.back());
        for (std::size_t i = d.size() - 1; i-- > 0;) {
            const std::string part = std::to_string(d[i]);
            text += std::string(9 - part.size(), '0') + part;
        }
        return text;
    }
};

int compare(const Big& a, const Big& b) {
    if (a.d.size() != b.d.size()) return a.d.size() < b.d.size() ? -1 : 1;
    for (std::size_t i = a.d.size(); i-- > 0;)
        if (a.d[i] != b.d[i]) return a.d[i] < b.d[i] ? -1 : 1;
    return 0;
}

Big operator+(const Big& a, const Big& b) {
    Big s;
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < std::max(a.d.size(), b.d.size()) || carry; ++i) {
        const std::uint64_t t = carry + (i < a.d.size() ? a.d[i] : 0) + (i < b.d.size() ? b.d[i] : 0);
        s.d.push_back(static_cast<std::uint32_t>(t % Big::kRadix));
        carry = t / Big::kRadix;
    }
    s.trim();
    return s;
}

// a - b for a >= b.
Big operator-(const Big& a, const Big& b) {
    Big s;
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < a.d.size(); ++i) {
        std::int64_t t = static_cast<std::int64_t>(a.d[i]) - borrow - (i < b.d.size() ? b.d[i] : 0);
        borrow = t < 0 ? 1 : 0;
        if (t < 0) t += Big::kRadix;
        s.d.push_back(static_cast<std::uint32_t>(t));
    }
    s.trim();
    return s;
}

Big operator*(const Big& a, const Big& b) {
    Big p;
    p.d.assign(a.d.size() + b.d.size() + 1, 0);
    for (std::size_t i = 0; i < a.d.size(); ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < b.d.size() || carry; ++j) {
            const std::uint64_t t = p.d[i + j] + carry + (j < b.d.size() ? std::uint64_t{a.d[i]} * b.d[j] : 0);
            p.d[i + j] = static_cast<std::uint32_t>(t % Big::kRadix);
            carry = t / Big::kRadix;
        }
    }
    p.trim();
    return p;
}

Big times_small(const Big& a, std::uint32_t m) {
    Big b;
    b.d.push_back(m);
    b.trim();
    return a * b;
}

// floor(a / b), one base-10^9 digit at a time, each found by binary search.
Big operator/(const Big& a, const Big& b) {
    Big q, r;
    q.d.assign(a.d.size(), 0);
    for (std::size_t i = a.d.size(); i-- > 0;) {
        r.d.insert(r.d.begin(), a.d[i]);
        r.trim();
        std::uint32_t low = 0, high = Big::kRadix - 1;
        while (low < high) {
            const std::uint32_t mid = low + (high - low + 1) / 2;
            if (compare(times_small(b, mid), r) <= 0)
                low = mid;
            else
                high = mid - 1;
        }
        q.d[i] = low;
        r = r - times_small(b, low);
    }
    q.trim();
    return q;
}

Big pow10(long digits) { return Big::from_decimal("1" + std::string(static_cast<std::size_t>(digits), '0')); }
Big limb_power(long limbs) { return pow10(8 * limbs); }

// A decimal number: (-1)^negative * m * 10^(8 e).
struct Model {
    bool negative = false;
    Big m;
    long e = 0;
};

long limb_count(const Big& m) { return static_cast<long>((m.decimal().size() + 7) / 8); }

// Drops the lowest `limbs` limbs of m (truncation toward zero).
void drop_limbs(Model& x, long limbs) {
    const std::string digits = x.m.decimal();
    const std::size_t cut = static_cast<std::size_t>(8 * limbs);
    x.m = Big::from_decimal(cut >= digits.size() ? "0" : digits.substr(0, digits.size() - cut));
    x.e += limbs;
}

void normalise(Model& x) {
    if (x.m.zero()) {
        x = Model{};
        return;
    }
    std::string digits = x.m.decimal();
    long zero_limbs = 0;
    while (digits.size() >= 8 && digits.compare(digits.size() - 8, 8, "00000000") == 0) {
        digits.resize(digits.size() - 8);
        ++zero_limbs;
    }
    x.m = Big::from_decimal(digits);
    x.e += zero_limbs;
}

// Truncates to the six highest limbs, then normalises.
void keep_six(Model& x) {
    normalise(x);
    const long count = x.m.zero() ? 0 : limb_count(x.m);
    if (count > 6) drop_limbs(x, count - 6);
    normalise(x);
}

// The exponent byte: below -128 truncate at that limb, above 127 saturate.
void settle(Model& x) {
    if (x.m.zero()) return;
    if (x.e < -128) {
        drop_limbs(x, -128 - x.e);
        normalise(x);
    }
    if (!x.m.zero() && x.e > 127) {
        x.m = Big::from_decimal(std::string(48, '9'));
        x.e = 127;
    }
}

// m brought to exponent `target`, truncating when it must rise.
Big at_exponent(const Model& x, long target) {
    if (target <= x.e) return x.m * limb_power(x.e - target);
    Model copy = x;
    drop_limbs(copy, target - x.e);
    return copy.m;
}

Model negated(Model x) {
    if (!x.m.zero()) x.negative = !x.negative;
    return x;
}

// The operand with the larger exponent moves down as far as its free limbs allow (not
// below the other's exponent); both are then taken at that exponent, the other truncated.
Model model_add(const Model& a, const Model& b) {
    if (b.m.zero()) return a;
    if (a.m.zero()) return b;
    const Model& high = a.e >= b.e ? a : b;
    const Model& low = a.e >= b.e ? b : a;
    const long target = high.e - std::min(6 - limb_count(high.m), high.e - low.e);
    const Big ma = at_exponent(a, target);
    const Big mb = at_exponent(b, target);
    Model sum;
    sum.e = target;
    if (a.negative == b.negative) {
        sum.m = ma + mb;
        sum.negative = a.negative;
    } else {
        const bool a_larger = compare(ma, mb) >= 0;
        sum.m = a_larger ? ma - mb : mb - ma;
        sum.negative = a_larger ? a.negative : b.negative;
    }
    if (compare(sum.m, limb_power(6)) >= 0) drop_limbs(sum, 1);
    normalise(sum);
    settle(sum);
    return sum;
}

Model model_mul(const Model& a, const Model& b) {
    if (a.m.zero() || b.m.zero()) return Model{};
    Model p{a.negative != b.negative, a.m * b.m, a.e + b.e};
    keep_six(p);
    settle(p);
    return p;
}

// Six limbs of a / (b s), truncated, from its first non-zero limb, where s is 10000 when
// b's top limb is below 1000; then multiplied by s and truncated to six limbs again.
Model model_div(const Model& a, const Model& b) {
    if (a.m.zero() || b.m.zero()) return Model{};
    const std::string b_digits = b.m.decimal();
    const std::size_t top_digits = b_digits.size() - 8 * static_cast<std::size_t>(limb_count(b.m) - 1);
    const bool scaled = std::stoul(b_digits.substr(0, top_digits)) < 1000;
    const Big divisor = scaled ? times_small(b.m, 10000) : b.m;
    // f: divisor * B^f <= a.m < divisor * B^(f+1), with B = 10^8.
    auto at_least = [&](long f) {
        return f >= 0 ? compare(a.m, divisor * limb_power(f)) >= 0 : compare(a.m * limb_power(-f), divisor) >= 0;
    };
    long f = limb_count(a.m) - limb_count(divisor);
    while (!at_least(f)) --f;
    while (at_least(f + 1)) ++f;
    const Big quotient = 5 - f >= 0 ? (a.m * limb_power(5 - f)) / divisor : a.m / (divisor * limb_power(f - 5));
    Model q{a.negative != b.negative, scaled ? times_small(quotient, 10000) : quotient, a.e - b.e + f - 5};
    keep_six(q);
    settle(q);
    return q;
}

Model model_int(const Model& x) {
    if (x.e >= 0) return x;
    Model t = x;
    drop_limbs(t, -t.e);
    t.e = 0;
    normalise(t);
    return t;
}

int model_comp(const Model& a, const Model& b) {
    if (a.negative != b.negative) return a.negative ? -1 : 1;
    const long low = std::min(a.e, b.e);
    const int order = compare(a.m * limb_power(a.e - low), b.m * limb_power(b.e - low));
    return a.negative ? -order : order;
}

// The number text read as the decimal reader does: the digits on the limb grid of the
// point, truncated to six limbs from the first non-zero one, then the "e" exponent: x / 8
// whole limbs, the rest of 10^x by multiplication or division.
Model model_read(const std::string& text) {
    std::size_t p = 0;
    while (p < text.size() && text[p] == ' ') ++p;
    const bool minus = p < text.size() && text[p] == '-';
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) ++p;
    auto digit_run = [&]() {
        const std::size_t begin = p;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9') ++p;
        return text.substr(begin, p - begin);
    };
    std::string integer = digit_run();
    std::string fraction;
    if (p < text.size() && text[p] == '.') {
        ++p;
        fraction = digit_run();
    }
    integer = std::string((8 - integer.size() % 8) % 8, '0') + integer;
    fraction += std::string((8 - fraction.size() % 8) % 8, '0');
    Model x{minus, Big::from_decimal(integer + fraction), -static_cast<long>(fraction.size() / 8)};
    keep_six(x);
    if (x.m.zero()) return Model{};
    x.negative = minus;
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
        const long power = std::atol(text.c_str() + p + 1);
        x.e += power / 8;
        const long rest = (power < 0 ? -power : power) % 8;
        if (rest != 0) {
            const Model scale{false, pow10(rest), 0};
            x = power > 0 ? model_mul(x, scale) : model_div(x, scale);
        }
    }
    settle(x);
    return x;
}

std::string model_digit_string(const Model& x) {
    if (x.m.zero()) return "0";
    std::string text = (x.negative ? "-" : "") + x.m.decimal();
    if (x.e != 0) text += "e" + std::to_string(8 * x.e);
    return text;
}

std::string model_plain(const Model& x) {
    if (x.m.zero()) return "0";
    std::string digits = x.m.decimal();
    std::string text;
    if (x.e >= 0) {
        text = digits + std::string(static_cast<std::size_t>(8 * x.e), '0');
    } else {
        const std::size_t fraction = static_cast<std::size_t>(-8 * x.e);
        if (digits.size() <= fraction) digits = std::string(fraction + 1 - digits.size(), '0') + digits;
        text = digits.substr(0, digits.size() - fraction) + "." + digits.substr(digits.size() - fraction);
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return (x.negative ? "-" : "") + text;
}

std::string model_scientific(const Model& x) {
    if (x.m.zero()) return "0";
    const std::string digits = x.m.decimal();
    std::string mantissa = digits.substr(0, 1);
    std::string rest = digits.substr(1);
    while (!rest.empty() && rest.back() == '0') rest.pop_back();
    if (!rest.empty()) mantissa += "." + rest;
    return (x.negative ? "-" : "") + mantissa + "e" + std::to_string(static_cast<long>(digits.size()) - 1 + 8 * x.e);
}

// The stored bytes the model's number must have.
std::vector<unsigned char> model_bytes(const Model& x) {
    std::vector<unsigned char> out(28, 0);
    if (x.m.zero()) return out;
    const std::string digits = x.m.decimal();
    const long count = limb_count(x.m);
    out[0] = static_cast<unsigned char>(count);
    out[1] = x.negative ? 1 : 0;
    out[2] = static_cast<unsigned char>(static_cast<std::int8_t>(x.e));
    for (long i = 0; i < count; ++i) {
        const long end = static_cast<long>(digits.size()) - 8 * i;
        const long begin = std::max(0L, end - 8);
        const auto limb = static_cast<std::uint32_t>(std::stoul(digits.substr(static_cast<std::size_t>(begin),
                                                                             static_cast<std::size_t>(end - begin))));
        std::memcpy(&out[4 + 4 * i], &limb, 4);
    }
    return out;
}

class DecimalDifferential : public DecimalBackendTest {
protected:
    std::mt19937_64 random_{20240315};

    long uniform(long low, long high) { return std::uniform_int_distribution<long>(low, high)(random_); }

    // Limbs weighted toward the values that catch carries, borrows and divisor scaling.
    std::uint32_t random_limb(bool top) {
        switch (uniform(0, 9)) {
            case 0: return 99999999;
            case 1: return 1;
            case 2: return static_cast<std::uint32_t>(uniform(1, 999));
            case 3: return top ? static_cast<std::uint32_t>(uniform(1, 99999)) : 0;
            case 4: return static_cast<std::uint32_t>(uniform(99999000, 99999999));
            default: return static_cast<std::uint32_t>(uniform(1, 99999999));
        }
    }

    Model random_number() {
        if (uniform(0, 29) == 0) return Model{};
        const long count = uniform(1, 6);
        std::string digits;
        for (long i = count - 1; i >= 0; --i) {
            std::uint32_t limb = random_limb(i == count - 1);
            if ((i == 0 || i == count - 1) && limb == 0) limb = 7;
            char group[9];
            std::snprintf(group, sizeof group, i == count - 1 ? "%u" : "%08u", limb);
            digits += group;
        }
        long e = uniform(-8, 8);
        if (uniform(0, 19) == 0) e = uniform(0, 1) ? uniform(110, 127) : uniform(-128, -110);
        return Model{uniform(0, 1) == 1, Big::from_decimal(digits), e};
    }

    // The second operand: often close to the first, to reach equal magnitudes and cancellation.
    Model partner(const Model& a) {
        switch (uniform(0, 9)) {
            case 0: return a;
            case 1: return negated(a);
            case 2: return model_add(a, Model{false, Big::from_decimal("1"), a.e});  // one unit of a's lowest limb more
            default: return random_number();
        }
    }

    // Number text of any shape: blanks, signs, leading zeros, long runs of digits and zeros,
    // exponents and trailing rubbish.
    std::string random_text() {
        auto digits = [&](long length) {
            std::string run;
            for (long i = 0; i < length; ++i)
                run += uniform(0, 2) == 0 ? '0' : static_cast<char>('0' + uniform(0, 9));
            return run;
        };
        std::string text(static_cast<std::size_t>(uniform(0, 2)), ' ');
        const char* signs[] = {"", "", "-", "+"};
        text += signs[uniform(0, 3)];
        text += std::string(static_cast<std::size_t>(uniform(0, 3)), '0');
        text += digits(uniform(0, 3) == 0 ? uniform(0, 60) : uniform(0, 12));
        if (uniform(0, 2) != 0) {
            text += ".";
            if (uniform(0, 3) == 0) text += std::string(static_cast<std::size_t>(uniform(1, 30)), '0');
            text += digits(uniform(0, 3) == 0 ? uniform(0, 60) : uniform(0, 12));
            text += std::string(static_cast<std::size_t>(uniform(0, 10)), '0');
        }
        if (uniform(0, 2) == 0) {
            text += uniform(0, 1) ? "e" : "E";
            text += signs[uniform(0, 3)];
            text += std::to_string(uniform(0, 3) == 0 ? uniform(0, 1100) : uniform(0, 40));
        }
        if (uniform(0, 4) == 0) text += "x7";
        return text;
    }

    static std::vector<unsigned char> stored(const unsigned char* bytes) { return {bytes, bytes + 28}; }

    // The implementation's number for a model number, built from its digit string.
    static void put(unsigned char* bytes, const Model& x) {
        NumFromStr(bytes, model_digit_string(x).c_str());
        ASSERT_EQ(stored(bytes), model_bytes(x)) << model_digit_string(x);
    }

    static std::string text(const unsigned char* bytes, std::int32_t style) {
        char out[1200];
        backend().to_str(bytes, out, sizeof out, style, -1);
        return out;
    }

    // The three written forms agree with the model's. The digit string and the plain form
    // read back to the same bytes; the scientific form reads as the model reads it (one
    // integer digit leaves room for only 40 fraction digits, so 42 or more significant
    // digits do not survive it).
    static void check_texts(const unsigned char* bytes, const Model& x, const std::string& what) {
        const std::string forms[] = {text(bytes, 1), text(bytes, 0), text(bytes, kStyleScientific)};
        EXPECT_EQ(forms[0], model_digit_string(x)) << what;
        EXPECT_EQ(forms[1], model_plain(x)) << what;
        EXPECT_EQ(forms[2], model_scientific(x)) << what;
        for (int i = 0; i < 3; ++i) {
            unsigned char back[28];
            NumFromStr(back, forms[i].c_str());
            const std::vector<unsigned char> want = i < 2 ? stored(bytes) : model_bytes(model_read(forms[i]));
            EXPECT_EQ(stored(back), want) << what << " read back from " << forms[i];
        }
    }
};

TEST_F(DecimalDifferential, ArithmeticAgreesWithTheModel) {
    constexpr int kOperations = 12000;
    int disagreements = 0;
    for (int i = 0; i < kOperations && disagreements < 10; ++i) {
        const Model a = random_number();
        const Model b = partner(a);
        unsigned char x[28], y[28];
        put(x, a);
        put(y, b);
        const std::string what = model_digit_string(a) + " op" + std::to_string(i % 7) + " " + model_digit_string(b);
        Model want;
        switch (i % 7) {
            case 0: NumAdd(x, y); want = model_add(a, b); break;
            case 1: NumSub(x, y); want = model_add(a, negated(b)); break;
            case 2: NumMul(x, y); want = model_mul(a, b); break;
            case 3: NumDiv(x, y); want = model_div(a, b); break;
            case 4: NumInt(x); want = model_int(a); break;
            case 5: NumFrac(x); want = model_add(a, negated(model_int(a))); break;
            default: NumNeg(x); want = negated(a); break;
        }
        EXPECT_EQ(NumComp(y, x), model_comp(b, want)) << what;
        const bool same = stored(x) == model_bytes(want);
        EXPECT_TRUE(same) << what << " gives " << text(x, 1) << ", model " << model_digit_string(want);
        if (!same) ++disagreements;
        check_texts(x, want, what);
    }
}

TEST_F(DecimalDifferential, TextReadingAgreesWithTheModel) {
    constexpr int kTexts = 6000;
    int disagreements = 0;
    for (int i = 0; i < kTexts && disagreements < 10; ++i) {
        const std::string input = random_text();
        unsigned char x[28];
        NumFromStr(x, input.c_str());
        const Model want = model_read(input);
        const bool same = stored(x) == model_bytes(want);
        EXPECT_TRUE(same) << '"' << input << "\" gives " << text(x, 1) << ", model " << model_digit_string(want);
        if (!same) ++disagreements;
    }
}

TEST_F(DecimalDifferential, DoublesAgreeWithTheModel) {
    constexpr int kDoubles = 3000;
    for (int i = 0; i < kDoubles; ++i) {
        double value;
        do {
            const std::uint64_t bits = random_();
            std::memcpy(&value, &bits, sizeof value);
        } while (!(value == value) || value - value != 0.0);  // finite only
        if (i % 2 == 0) value = static_cast<double>(uniform(-1000000000, 1000000000)) / static_cast<double>(uniform(1, 100000));
        // Whole numbers of 17 digits and more with a half: the sixteenth digit is rounded.
        if (i % 4 == 1) value = static_cast<double>(uniform(1, 1000000000)) * static_cast<double>(uniform(1, 10000000)) + 0.5;
        char formatted[64];
        std::snprintf(formatted, sizeof formatted, "%.15e", value);
        unsigned char x[28];
        NumFromDbl(x, value);
        EXPECT_EQ(stored(x), model_bytes(model_read(formatted))) << formatted;
    }
}

}  // namespace
}  // namespace fcl::test
