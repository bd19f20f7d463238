// FORMAT beyond the picture examples of format.cases: the minus-mark list and its profile key,
// pictures and results longer than a string result, and random pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fclib.h"
#include "functions/minus_marks.h"
#include "scoped_profile.h"

namespace fcl::test {
namespace {

// The host: V is a number handed over as a double, PIC the picture text.
struct Fields {
    double value = 0;
    std::string picture;
};

std::int32_t fields_callback(void* data, const char* name, void* raw, std::uint16_t* type) {
    const Fields& fields = *static_cast<const Fields*>(data);
    if (std::strcmp(name, "V") == 0) {
        *type = FCL_T_NUMBER | (FCL_RAW_DOUBLE << 8);
        if (raw) std::memcpy(raw, &fields.value, sizeof fields.value);
        return 0;
    }
    if (std::strcmp(name, "PIC") != 0) return 1;
    *type = FCL_T_STRING;
    if (raw) std::memcpy(raw, fields.picture.c_str(), fields.picture.size() + 1);
    return 0;
}

class Formatter {
public:
    Formatter() {
        std::uint16_t length = 0;
        EXPECT_EQ(FCLCOMPILE(fields_callback, &fields_, "FORMAT([V], [PIC])", code_, &length), 0);
    }
    // The formatted text; the result must be a terminated string of at most 512 bytes.
    std::string operator()(double value, const std::string& picture) {
        fields_.value = value;
        fields_.picture = picture;
        std::uint8_t result[FCL_MAX_VALUE + 1];
        std::memset(result, 0xCC, sizeof result);
        EXPECT_EQ(FCLEXECUTE(fields_callback, &fields_, code_, result), 0) << picture;
        EXPECT_EQ(result[0], FCL_T_STRING) << picture;
        const std::size_t length = strnlen(reinterpret_cast<const char*>(result + 1), FCL_MAX_VALUE);
        EXPECT_LE(length, static_cast<std::size_t>(FCL_MAX_STRING)) << picture;
        return std::string(reinterpret_cast<const char*>(result + 1), length);
    }

private:
    Fields fields_;
    unsigned char code_[FCL_MAX_CODE] = {};
};

std::vector<std::string> marks_of(const char* value) {
    format::MinusMarks marks;
    format::parse_minus_marks(value, marks);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < marks.count; ++i) out.emplace_back(marks.marks[i].bytes);
    return out;
}

TEST(MinusMarks, SplittingRule) {
    using List = std::vector<std::string>;
    EXPECT_EQ(marks_of(""), List{"\x81\xA3"});
    EXPECT_EQ(marks_of("\x81\xA2,CR"), (List{"\x81\xA2", "CR"}));
    EXPECT_EQ(marks_of("\"a,b\",c"), (List{"a", "b", "c"}));
    EXPECT_EQ(marks_of("DEBIT"), List{"DE"});
    EXPECT_EQ(marks_of("x,,y"), (List{"x", "", "y"}));
    EXPECT_EQ(marks_of("1,2,3,4,5,6,7,8,9,10,11,12"), (List{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
}

class MinusMarkProfile : public ::testing::Test {
protected:
    void SetUp() override { format::forget_minus_marks(); }
    // Later tests read the default list again.
    void TearDown() override { format::forget_minus_marks(); }
};

TEST_F(MinusMarkProfile, ReadOnceFromTheProfile) {
    Formatter format;
    {
        ScopedProfile profile("[Fclib]\nMinusMark=\x81\xA2,CR,x\n");
        EXPECT_EQ(format(-5, "CRZZ9"), "CR5");
        EXPECT_EQ(format(5, "CRZZ9"), "  5");
        EXPECT_EQ(format(-5, "\x81\xA2Z9"), " \x81\xA2" "5");
        // The default mark is not in the list any more: it prints as a literal.
        EXPECT_EQ(format(-5, "\x81\xA3Z9"), "\x81\xA3-5");
        // A one-byte mark matches only at the end of the picture.
        EXPECT_EQ(format(-5, "Z9x"), "-5");
        EXPECT_EQ(format(-5, "Z9xy"), "-5xy");
    }
    // Read once: the list stays although the profile is gone.
    EXPECT_EQ(format(-5, "CRZZ9"), "CR5");
    format::forget_minus_marks();
    EXPECT_EQ(format(-5, "CRZZ9"), "CR -5");
    EXPECT_EQ(format(-5, "\x81\xA3Z9"), " \x81\xA3" "5");
}

TEST_F(MinusMarkProfile, EmptyValueKeepsTheDefault) {
    ScopedProfile profile("[Fclib]\nMinusMark=\n");
    Formatter format;
    EXPECT_EQ(format(-1234, "\x81\xA3ZZZ,ZZ9"), "\x81\xA3" "1,234");
}

// Pictures up to the longest field value, and results that would pass 512 bytes, are cut.
TEST(FormatLimits, LongPicturesAndResults) {
    Formatter format;
    const std::string literals(517, 'a');
    EXPECT_EQ(format(1, literals), std::string(512, 'a'));
    EXPECT_EQ(format(-1, std::string(516, 'Z') + "9"), std::string(512, ' '));
    EXPECT_EQ(format(-1, std::string(500, 'x') + "ZZ9"), std::string(500, 'x') + " -1");
    // A double-byte character is not split at the cut.
    const std::string kana = std::string(511, 'b') + "\x83\x5C" "99";
    EXPECT_EQ(format(12, kana), std::string(511, 'b'));
    // More fraction positions than a double can scale to: every one still gets a digit.
    const std::string fraction = "9." + std::string(400, '9');
    const std::string text = format(1.5, fraction);
    EXPECT_EQ(text.substr(0, 5), "1.500");
    EXPECT_EQ(text.size(), 402u);
    EXPECT_EQ(text.find_first_not_of("0123456789", 2), std::string::npos);
}

// Non-finite values have no digits to show and format as zero.
TEST(FormatLimits, NonFiniteValuesFormatAsZero) {
    Formatter format;
    EXPECT_EQ(format(std::nan(""), "ZZ9.99"), "  0.00");
    EXPECT_EQ(format(INFINITY, "ZZ9"), "  0");
    const std::string huge = format(1e300, "Z9");
    EXPECT_EQ(huge.size(), 2u);
    EXPECT_EQ(huge[0], '*');
}

// Random pictures over random numbers in both encodings: never a failure or an overlong
// result, and a picture of 9s alone shows exactly the number's truncated digits.
class FormatRandom : public ::testing::TestWithParam<std::int32_t> {
protected:
    void SetUp() override { FCLSETMODE(GetParam()); }
    void TearDown() override { FCLSETMODE(0); }
};

TEST_P(FormatRandom, PicturesKeepTheirInvariants) {
    static const std::vector<std::string> kPieces = {"9", "Z", "z", ".", "P", "p", "V", "v", ",", "-", "$",
                                                     "\\", "\x81\xA3", "a", " ", "/", "\x83\x5C", "9", "Z",
                                                     "\x81", "\xE0Z"};
    static const double kSpecial[] = {0.0, -0.0, 1e300, -1e-300, 1e-5, 9.999999999999999e14, NAN, -INFINITY};
    std::mt19937_64 random(20240315);
    Formatter format;
    for (int round = 0; round < 3000; ++round) {
        const int magnitude = static_cast<int>(random() % 40) - 10;
        double value = std::ldexp(static_cast<double>(random() % 100000), magnitude) / 7.0;
        if (random() % 2) value = -value;
        if (random() % 10 == 0) value = kSpecial[random() % std::size(kSpecial)];
        std::string picture;
        const std::size_t pieces = random() % 4 == 0 ? random() % 400 : random() % 16;
        while (picture.size() < pieces) picture += kPieces[random() % kPieces.size()];
        if (picture.size() > FCL_RAW_BUFFER - 1) picture.resize(FCL_RAW_BUFFER - 1);
        format(value, picture);
    }
    for (int round = 0; round < 3000; ++round) {
        const std::uint64_t whole = random() % 1000000000;
        const std::uint64_t cents = random() % 100;
        const bool negative = random() % 3 == 0;
        const double value = (negative ? -1.0 : 1.0) * (static_cast<double>(whole) + cents / 100.0);
        const std::size_t positions = 1 + random() % 14;
        std::string digits = std::to_string(whole);
        if (whole == 0) digits.clear();
        // Zero-padded on the left; on overflow the lowest digits behind a "*".
        std::string expected = digits.size() <= positions
                                   ? std::string(positions - digits.size(), '0') + digits
                                   : "*" + digits.substr(digits.size() - positions + 1);
        // A negative value's minus takes the first position.
        if (negative && (whole != 0 || cents != 0)) expected = "-" + expected.substr(1);
        EXPECT_EQ(format(value, std::string(positions, '9')), expected) << value;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, FormatRandom, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<std::int32_t>& info) {
                             return info.param ? "TextNumbers" : "DoubleNumbers";
                         });

}  // namespace
}  // namespace fcl::test
