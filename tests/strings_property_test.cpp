// Randomised properties of the string functions over mixed single- and double-byte texts,
// run through FCLEXECUTE on hand-built formulas in both number-encoding modes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>

#include "fclib.h"
#include "formula_builder.h"
#include "functions/function_table.h"
#include "platform/cp932.h"

namespace fcl::test {
namespace {

using cp932::ByteType;

constexpr unsigned kSeed = 20240315;
constexpr int kRounds = 400;
constexpr int kMaxCharacters = 60;  // the text and its escaped pattern fit in one formula

std::uint8_t pick(std::mt19937& rng, int low, int high) {
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(low, high)(rng));
}

// A text of single-byte characters (printable ASCII with the wildcards and backslash, and
// half-width katakana) and double-byte characters (every lead range, every trail range, the
// trail bytes 0x5C and 0x7E that look like ASCII included).
std::string random_text(std::mt19937& rng) {
    std::string text;
    const int characters = std::uniform_int_distribution<int>(0, kMaxCharacters)(rng);
    for (int i = 0; i < characters; ++i) {
        switch (pick(rng, 0, 5)) {
            case 0: text += static_cast<char>(pick(rng, 0x20, 0x7E)); break;
            case 1: text += "*?\\"[pick(rng, 0, 2)]; break;
            case 2: text += static_cast<char>(pick(rng, 0xA1, 0xDF)); break;
            default: {
                const std::uint8_t lead = pick(rng, 0, 1) ? pick(rng, 0x81, 0x9F) : pick(rng, 0xE0, 0xFC);
                const std::uint8_t trail = pick(rng, 0, 1) ? pick(rng, 0x40, 0x7E) : pick(rng, 0x80, 0xFC);
                text += static_cast<char>(lead);
                text += static_cast<char>(trail);
            }
        }
    }
    return text;
}

// The text with every single-byte "*", "?" and "\" preceded by a backslash.
std::string escaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (cp932::is_lead(byte) && i + 1 < text.size()) {
            out += text.substr(i++, 2);
            continue;
        }
        if (text[i] == '*' || text[i] == '?' || text[i] == '\\') out += '\\';
        out += text[i];
    }
    return out;
}

class StringProperties : public ::testing::TestWithParam<std::int32_t> {
protected:
    void SetUp() override { FCLSETMODE(GetParam()); }
    void TearDown() override { FCLSETMODE(0); }

    FormulaBuilder& number(FormulaBuilder& formula, int value) const {
        return GetParam() ? formula.text(FCL_T_NUMBER, std::to_string(value)) : formula.number(value);
    }
    static FormulaBuilder& call(FormulaBuilder& formula, const char* name, int argc) {
        return formula.call(static_cast<std::uint8_t>(find_function(name, argc)));
    }
    // Runs the formula and returns its result, which must be of the given type.
    std::string run(const FormulaBuilder& formula, std::uint8_t type) const {
        unsigned char result[FCL_MAX_VALUE] = {};
        EXPECT_EQ(FCLEXECUTE(nullptr, nullptr, formula.build().data(), result), 0);
        EXPECT_EQ(result[0], type);
        if (type == FCL_T_LOGICAL) return std::string(1, static_cast<char>(result[1]));
        if (type == FCL_T_NUMBER && !GetParam()) {
            double value;
            std::memcpy(&value, result + 1, sizeof value);
            return std::to_string(value);
        }
        return reinterpret_cast<const char*>(result + 1);
    }

    // A cut of text at offset: the bytes of the text, except that a double-byte character split
    // by the cut shows as a space; so every byte has the class it has in the text, and the
    // result neither starts with a trail byte nor ends in a lead byte.
    static void expect_whole_characters(const std::string& text, const std::string& cut, std::size_t offset) {
        ASSERT_LE(offset + cut.size(), text.size());
        for (std::size_t j = 0; j < cut.size(); ++j) {
            if (cut[j] == ' ' && text[offset + j] != ' ') {
                const ByteType split = cp932::byte_type(text.c_str(), offset + j);
                EXPECT_TRUE((j == 0 && split == ByteType::Trail) || (j + 1 == cut.size() && split == ByteType::Lead))
                    << "space inside the cut at " << j;
                continue;
            }
            EXPECT_EQ(cut[j], text[offset + j]) << j;
            EXPECT_EQ(cp932::byte_type(cut.c_str(), j), cp932::byte_type(text.c_str(), offset + j)) << j;
        }
        if (!cut.empty()) {
            EXPECT_NE(cp932::byte_type(cut.c_str(), cut.size() - 1), ByteType::Lead);
        }
    }
};

TEST_P(StringProperties, CutsNeverSplitACharacter) {
    std::mt19937 rng(kSeed);
    for (int round = 0; round < kRounds; ++round) {
        const std::string text = random_text(rng);
        const int n = std::uniform_int_distribution<int>(0, static_cast<int>(text.size()) + 2)(rng);
        const int p = std::uniform_int_distribution<int>(1, static_cast<int>(text.size()) + 1)(rng);
        SCOPED_TRACE(testing::Message() << "round " << round << " n " << n << " p " << p);
        const std::size_t size = text.size();
        const std::size_t taken = std::min<std::size_t>(n, size);

        FormulaBuilder left(FCL_T_STRING);
        call(number(left.text(FCL_T_STRING, text), n), "LEFT", 2);
        const std::string left_cut = run(left, FCL_T_STRING);
        EXPECT_EQ(left_cut.size(), taken);
        expect_whole_characters(text, left_cut, 0);

        FormulaBuilder right(FCL_T_STRING);
        call(number(right.text(FCL_T_STRING, text), n), "RIGHT", 2);
        const std::string right_cut = run(right, FCL_T_STRING);
        EXPECT_EQ(right_cut.size(), taken);
        expect_whole_characters(text, right_cut, size - taken);

        FormulaBuilder mid(FCL_T_STRING);
        call(number(number(mid.text(FCL_T_STRING, text), p), n), "MID", 3);
        const std::string mid_cut = run(mid, FCL_T_STRING);
        EXPECT_EQ(mid_cut.size(), static_cast<std::size_t>(p) <= size ? std::min<std::size_t>(n, size - p + 1) : 0u);
        if (static_cast<std::size_t>(p) <= size) expect_whole_characters(text, mid_cut, p - 1);
    }
}

TEST_P(StringProperties, ReverseKeepsLengthAndUndoesItself) {
    std::mt19937 rng(kSeed + 1);
    for (int round = 0; round < kRounds; ++round) {
        const std::string text = random_text(rng);
        SCOPED_TRACE(testing::Message() << "round " << round);
        FormulaBuilder length(FCL_T_NUMBER);
        call(length.text(FCL_T_STRING, text), "LEN", 1);
        FormulaBuilder reversed_length(FCL_T_NUMBER);
        call(call(reversed_length.text(FCL_T_STRING, text), "REVERSE", 1), "LEN", 1);
        EXPECT_EQ(run(reversed_length, FCL_T_NUMBER), run(length, FCL_T_NUMBER));

        FormulaBuilder twice(FCL_T_STRING);
        call(call(twice.text(FCL_T_STRING, text), "REVERSE", 1), "REVERSE", 1);
        EXPECT_EQ(run(twice, FCL_T_STRING), text);

        FormulaBuilder once(FCL_T_STRING);
        call(once.text(FCL_T_STRING, text), "REVERSE", 1);
        EXPECT_EQ(cp932::char_count(run(once, FCL_T_STRING).c_str()), cp932::char_count(text.c_str()));
    }
}

TEST_P(StringProperties, TextMatchesItsEscapedSelf) {
    std::mt19937 rng(kSeed + 2);
    for (int round = 0; round < kRounds; ++round) {
        const std::string text = random_text(rng);
        SCOPED_TRACE(testing::Message() << "round " << round);
        FormulaBuilder self(FCL_T_LOGICAL);
        call(self.text(FCL_T_STRING, text).text(FCL_T_STRING, escaped(text)), "LIKE", 2);
        EXPECT_EQ(run(self, FCL_T_LOGICAL), "\x01");
        FormulaBuilder star(FCL_T_LOGICAL);
        call(star.text(FCL_T_STRING, text).text(FCL_T_STRING, "*"), "LIKE", 2);
        EXPECT_EQ(run(star, FCL_T_LOGICAL), "\x01");
        // One character more than the text has: never a match.
        FormulaBuilder longer(FCL_T_LOGICAL);
        call(longer.text(FCL_T_STRING, text).text(FCL_T_STRING, escaped(text) + "?"), "LIKE", 2);
        EXPECT_EQ(run(longer, FCL_T_LOGICAL), std::string(1, '\0'));
    }
}

// Field values of the limits test: texts longer than a string result may be come from fields.
int32_t text_fields(void* data, const char* name, void* raw, uint16_t* type) {
    const auto& fields = *static_cast<const std::map<std::string, std::string>*>(data);
    *type = FCL_T_STRING;
    if (raw) std::memcpy(raw, fields.at(name).c_str(), fields.at(name).size() + 1);
    return 0;
}

// Every string function over random texts of up to 517 bytes and counts from the edges of
// every range: the run ends with status 0 or 1004, and a string result holds at most 512 bytes.
TEST_P(StringProperties, RandomArgumentsStayWithinLimits) {
    struct Function {
        const char* name;
        int texts;
        int numbers;
        std::uint8_t type;
    };
    const Function functions[] = {
        {"LEFT", 1, 1, FCL_T_STRING}, {"RIGHT", 1, 1, FCL_T_STRING},    {"MID", 1, 2, FCL_T_STRING},
        {"MID", 1, 1, FCL_T_STRING},  {"REP", 1, 1, FCL_T_STRING},      {"SPC", 0, 1, FCL_T_STRING},
        {"CHR", 0, 1, FCL_T_STRING},  {"STR", 0, 3, FCL_T_STRING},      {"STR", 0, 2, FCL_T_STRING},
        {"STR", 1, 0, FCL_T_STRING},  {"REVERSE", 1, 0, FCL_T_STRING},  {"REPLACE", 3, 0, FCL_T_STRING},
        {"LIKE", 2, 0, FCL_T_LOGICAL}, {"AT", 2, 0, FCL_T_NUMBER},      {"LEN", 1, 0, FCL_T_NUMBER},
        {"ASC", 1, 0, FCL_T_NUMBER},  {"VAL", 1, 0, FCL_T_NUMBER},
    };
    const double numbers[] = {-1, 0, 1, 2.5, 255, 256, 340, 341, 511, 512, 513, 65535, 65536, 65537,
                              2147483647.0, 2147483648.0, -2147483649.0, 1e300, -1e300,
                              std::numeric_limits<double>::infinity()};
    std::mt19937 rng(kSeed + 3);
    for (int round = 0; round < kRounds * 4; ++round) {
        const Function& f = functions[pick(rng, 0, sizeof functions / sizeof functions[0] - 1)];
        std::map<std::string, std::string> fields;
        FormulaBuilder formula(f.type);
        std::string trace = f.name;
        for (int i = 0; i < f.texts; ++i) {
            std::string text = random_text(rng) + random_text(rng) + random_text(rng) + random_text(rng);
            text.resize(std::min<std::size_t>(text.size(), pick(rng, 0, 1) ? 517 : 40));
            const std::string name(1, static_cast<char>('A' + i));
            fields[name] = text;
            formula.reference(FCL_T_FIELD, name);
            trace += " " + std::to_string(text.size());
        }
        for (int i = 0; i < f.numbers; ++i) {
            const double value = pick(rng, 0, 1) ? numbers[pick(rng, 0, sizeof numbers / sizeof numbers[0] - 1)]
                                                 : std::uniform_int_distribution<int>(-600, 600)(rng) / 2.0;
            if (GetParam()) {
                char text[400];
                std::snprintf(text, sizeof text, "%.17g", value);
                formula.text(FCL_T_NUMBER, text);
            } else {
                formula.number(value);
            }
            trace += " " + std::to_string(value);
        }
        call(formula, f.name, f.texts + f.numbers);
        SCOPED_TRACE(trace);
        unsigned char result[FCL_MAX_VALUE + 1] = {};
        result[FCL_MAX_VALUE] = 0xEE;
        const uint16_t status = FCLEXECUTE(text_fields, &fields, formula.build().data(), result);
        EXPECT_TRUE(status == 0 || status == FCL_E_TOO_LONG) << status;
        EXPECT_EQ(result[0], f.type);
        EXPECT_EQ(result[FCL_MAX_VALUE], 0xEE);
        if (f.type == FCL_T_STRING) {
            EXPECT_LE(strnlen(reinterpret_cast<const char*>(result + 1), FCL_MAX_VALUE), 512u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, StringProperties, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<std::int32_t>& info) {
                             return info.param ? std::string("TextNumbers") : std::string("DoubleNumbers");
                         });

}  // namespace
}  // namespace fcl::test
