// Properties over random texts and numbers, through compiled formulas in both number encodings:
// cuts of code page 932 text never split a character, REVERSE undoes itself, a text matches
// its escaped self with LIKE, and a picture of 9s shows exactly a number's truncated digits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "case_text.h"
#include "fclib.h"

namespace fcl::test {
namespace {

constexpr unsigned kSeed = 20240315;
constexpr int kRounds = 400;

int pick(std::mt19937& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

// Up to 60 characters: printable ASCII, the LIKE wildcards and the backslash, half-width
// katakana, and double-byte characters from every lead and trail range (trail bytes 0x5C and
// 0x7E, which look like ASCII, included).
std::string random_text(std::mt19937& rng) {
    std::string text;
    for (int i = pick(rng, 0, 60); i > 0; --i) {
        switch (pick(rng, 0, 5)) {
            case 0: text += static_cast<char>(pick(rng, 0x20, 0x7E)); break;
            case 1: text += "*?\\"[pick(rng, 0, 2)]; break;
            case 2: text += static_cast<char>(pick(rng, 0xA1, 0xDF)); break;
            default:
                text += static_cast<char>(pick(rng, 0, 1) ? pick(rng, 0x81, 0x9F) : pick(rng, 0xE0, 0xFC));
                text += static_cast<char>(pick(rng, 0, 1) ? pick(rng, 0x40, 0x7E) : pick(rng, 0x80, 0xFC));
        }
    }
    return text;
}

// Per byte of a text: 1 for a lead byte, 2 for a trail byte, 0 for a single byte.
std::vector<int> byte_classes(const std::string& text) {
    std::vector<int> classes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool pair = is_lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        classes.push_back(pair ? 1 : 0);
        if (pair) classes.push_back(2), ++i;
    }
    return classes;
}

// The fields: T and U texts, N and M numbers (as text), V a number handed over as a double.
struct Host {
    std::string t, u;
    int n = 0, m = 0;
    double v = 0;
};

std::int32_t host_field(void* data, const char* name, void* raw, std::uint16_t* type) {
    const Host& host = *static_cast<const Host*>(data);
    if (*name == 'V') {
        *type = FCL_T_NUMBER | (FCL_RAW_DOUBLE << 8);
        if (raw) std::memcpy(raw, &host.v, sizeof host.v);
        return 0;
    }
    const bool text = *name == 'T' || *name == 'U';
    const std::string value = *name == 'T' ? host.t : *name == 'U' ? host.u : std::to_string(*name == 'N' ? host.n : host.m);
    *type = text ? FCL_T_STRING : FCL_T_NUMBER;
    if (raw) std::memcpy(raw, value.c_str(), value.size() + 1);
    return 0;
}

class Properties : public ::testing::TestWithParam<std::int32_t> {
protected:
    void SetUp() override { FCLSETMODE(GetParam()); }
    void TearDown() override { FCLSETMODE(0); }

    // The result as text: a string, "1"/"0" for a logical, the payload or the double of a number.
    std::string run(const char* formula) {
        unsigned char code[FCL_MAX_CODE];
        unsigned char result[FCL_MAX_VALUE] = {};
        EXPECT_EQ(FCLCOMPILE(host_field, &host_, formula, code, nullptr), 0) << formula;
        EXPECT_EQ(FCLEXECUTE(host_field, &host_, code, result), 0) << formula;
        if (result[0] == FCL_T_LOGICAL) return result[1] ? "1" : "0";
        if (result[0] != FCL_T_NUMBER || GetParam()) return reinterpret_cast<const char*>(result + 1);
        double x;
        std::memcpy(&x, result + 1, sizeof x);
        return std::to_string(x);
    }

    // A cut of `length` bytes from `offset` has the text's bytes, except that a double-byte
    // character split by the cut shows as a blank: a trail byte first, a lead byte last.
    void expect_cut(const char* formula, std::size_t offset, std::size_t length) {
        const std::string cut = run(formula);
        ASSERT_EQ(cut.size(), length) << formula;
        const std::vector<int> classes = byte_classes(host_.t);
        for (std::size_t j = 0; j < cut.size(); ++j) {
            const bool split = (j == 0 && classes[offset] == 2) || (j + 1 == cut.size() && classes[offset + j] == 1);
            EXPECT_EQ(cut[j], split ? ' ' : host_.t[offset + j]) << formula << " byte " << j;
        }
    }

    Host host_;
};

TEST_P(Properties, CutsNeverSplitACharacter) {
    std::mt19937 rng(kSeed);
    for (int round = 0; round < kRounds; ++round) {
        host_.t = random_text(rng);
        const int size = static_cast<int>(host_.t.size());
        host_.n = pick(rng, 0, size + 2);
        host_.m = pick(rng, 1, size + 1);
        SCOPED_TRACE(testing::Message() << "round " << round << " N " << host_.n << " M " << host_.m);
        const int taken = std::min(host_.n, size);
        expect_cut("LEFT([T], [N])", 0, taken);
        expect_cut("RIGHT([T], [N])", size - taken, taken);
        expect_cut("MID([T], [M], [N])", host_.m - 1, host_.m <= size ? std::min(host_.n, size - host_.m + 1) : 0);
    }
}

TEST_P(Properties, ReverseUndoesItselfAndLikeMatchesTheEscapedText) {
    std::mt19937 rng(kSeed + 1);
    for (int round = 0; round < kRounds; ++round) {
        host_.t = random_text(rng);
        host_.u.clear();  // the text with each single-byte *, ? and \ escaped
        for (std::size_t i = 0; i < host_.t.size(); ++i) {
            if (is_lead(static_cast<unsigned char>(host_.t[i]))) host_.u += host_.t[i++];
            else if (std::strchr("*?\\", host_.t[i])) host_.u += '\\';
            host_.u += host_.t[i];
        }
        SCOPED_TRACE(testing::Message() << "round " << round);
        EXPECT_EQ(run("REVERSE(REVERSE([T]))"), host_.t);
        EXPECT_EQ(run("LEN(REVERSE([T]))"), run("LEN([T])"));
        EXPECT_EQ(run("LIKE([T], [U])"), "1");
        EXPECT_EQ(run("LIKE([T], \"*\")"), "1");
        EXPECT_EQ(run("LIKE([T], [U] + \"?\")"), "0");
    }
}

// Zero-padded on the left; on overflow the lowest digits behind a "*"; a negative value's
// minus takes the first position.
TEST_P(Properties, PictureOfNinesShowsTheTruncatedDigits) {
    std::mt19937_64 random(kSeed + 2);
    for (int round = 0; round < 3000; ++round) {
        const std::uint64_t whole = random() % 1000000000;
        const std::uint64_t cents = random() % 100;
        const bool negative = random() % 3 == 0;
        host_.v = (negative ? -1.0 : 1.0) * (static_cast<double>(whole) + cents / 100.0);
        const std::size_t positions = 1 + random() % 14;
        host_.u = std::string(positions, '9');
        const std::string digits = whole ? std::to_string(whole) : "";
        std::string expected = digits.size() <= positions ? std::string(positions - digits.size(), '0') + digits
                                                          : "*" + digits.substr(digits.size() - positions + 1);
        if (negative && (whole != 0 || cents != 0)) expected = "-" + expected.substr(1);
        EXPECT_EQ(run("FORMAT([V], [U])"), expected) << host_.v;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Properties, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<std::int32_t>& info) {
                             return info.param ? "TextNumbers" : "DoubleNumbers";
                         });

}  // namespace
}  // namespace fcl::test
