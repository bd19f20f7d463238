// The stack machine over hand-built compiled formulas: stops, blank values, handles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fclib.h"
#include "formula_builder.h"

namespace fcl::test {
namespace {

struct Answer {
    int32_t status;
    uint16_t type;
    std::vector<uint8_t> raw;
};

int32_t answer_callback(void* data, const char*, void* raw, uint16_t* type) {
    const auto& answer = *static_cast<const Answer*>(data);
    if (raw && !answer.raw.empty()) std::memcpy(raw, answer.raw.data(), answer.raw.size());
    *type = answer.type;
    return answer.status;
}

uint16_t run(const std::vector<uint8_t>& code, uint8_t* result, Answer* answer = nullptr) {
    return FCLEXECUTE(answer_callback, answer, code.data(), result);
}

class Executor : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override { FCLSETMODE(GetParam()); }
    void TearDown() override { FCLSETMODE(0); }
    bool text() const { return GetParam() != 0; }
};

TEST_P(Executor, EmptyFormulaRunsToEmptyString) {
    const uint8_t empty[] = {1, 0, 7, 0, 1, 0, 0};
    uint8_t result[FCL_MAX_VALUE] = {0xAA, 0xAA};
    EXPECT_EQ(FCLEXECUTE(answer_callback, nullptr, empty, result), 0);
    EXPECT_EQ(result[0], 1);
    EXPECT_EQ(result[1], 0);
}

TEST_P(Executor, ThirtyOneLiteralsRunButLeaveTooManyValues) {
    FormulaBuilder formula(FCL_T_LOGICAL);
    for (int i = 0; i < 31; ++i) formula.logical(true);
    uint8_t result[FCL_MAX_VALUE] = {};
    EXPECT_EQ(run(formula.build(), result), FCL_E_CODE);
    formula.logical(true);
    EXPECT_EQ(run(formula.build(), result), FCL_E_STACK_FULL);
    EXPECT_EQ(result[0], FCL_T_LOGICAL);
    EXPECT_EQ(result[1], 0);
}

// Each result type's blank value after a run that leaves two values.
TEST_P(Executor, FailureWritesBlankValueOfResultType) {
    struct Row {
        uint8_t type;
        std::vector<uint8_t> blank;
    };
    const std::vector<uint8_t> zero_number =
        text() ? std::vector<uint8_t>{2, '0', 0} : std::vector<uint8_t>{2, 0, 0, 0, 0, 0, 0, 0, 0};
    const Row rows[] = {
        {FCL_T_STRING, {1, 0}},
        {FCL_T_NUMBER, zero_number},
        {FCL_T_LOGICAL, {4, 0}},
        {FCL_T_TIME, {8, '0', '0', '0', '0', '0', '0', 0}},
        {FCL_T_DATE, {16, '0', '0', '0', '0', '0', '0', '0', '0', 0}},
    };
    for (const Row& row : rows) {
        uint8_t result[FCL_MAX_VALUE];
        std::memset(result, 0xAA, sizeof result);
        EXPECT_EQ(run(FormulaBuilder(row.type).logical(true).logical(false).build(), result), FCL_E_CODE);
        EXPECT_EQ(std::vector<uint8_t>(result, result + row.blank.size()), row.blank) << int(row.type);
    }
    // A mask of several types has no blank value: nothing is written.
    uint8_t result[FCL_MAX_VALUE];
    std::memset(result, 0xAA, sizeof result);
    EXPECT_EQ(run(FormulaBuilder(3).logical(true).logical(false).build(), result), FCL_E_CODE);
    EXPECT_EQ(result[0], 0xAA);
}

TEST_P(Executor, FunctionIndexOutsideTableIsUnknown) {
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(FormulaBuilder(FCL_T_LOGICAL).logical(true).call(0).build(), result), FCL_E_UNKNOWN_NAME);
    EXPECT_EQ(run(FormulaBuilder(FCL_T_LOGICAL).logical(true).call(143).build(), result), FCL_E_UNKNOWN_NAME);
}

TEST_P(Executor, MissingArgumentsAreReported) {
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(FormulaBuilder(FCL_T_LOGICAL).logical(true).call(1).build(), result), FCL_E_CODE);
}

TEST_P(Executor, OperatorRunsOnLiterals) {
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(FormulaBuilder(FCL_T_LOGICAL).logical(true).logical(false).call(2).build(), result), 0);
    EXPECT_EQ(result[0], FCL_T_LOGICAL);
    EXPECT_EQ(result[1], 1);
}

// Logicals order false before true; the compiler keeps them from GT, the handler still orders them.
TEST_P(Executor, TrueOrdersAfterFalse) {
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(FormulaBuilder(FCL_T_LOGICAL).logical(true).logical(false).call(8).build(), result), 0);
    EXPECT_EQ(result[1], 1);
    EXPECT_EQ(run(FormulaBuilder(FCL_T_LOGICAL).logical(true).logical(false).call(7).build(), result), 0);
    EXPECT_EQ(result[1], 0);
}

TEST_P(Executor, CallbackFailureStopsWithBlank) {
    Answer answer{1, FCL_T_NUMBER, {}};
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(FormulaBuilder(FCL_T_NUMBER).reference(FCL_T_FIELD, "Amount").build(), result, &answer),
              FCL_E_CALLBACK);
    EXPECT_EQ(result[0], FCL_T_NUMBER);
}

TEST_P(Executor, AnswerOfUnknownTypeStopsTheRun) {
    Answer answer{0, 3, {'x', 0}};
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(FormulaBuilder(FCL_T_STRING).reference(FCL_T_NAME, "X").build(), result, &answer), FCL_E_CODE);
}

TEST_P(Executor, FieldValueBecomesTheResult) {
    Answer answer{0, FCL_T_STRING, {}};
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(FormulaBuilder(FCL_T_STRING).reference(FCL_T_FIELD, "Empty").build(), result, &answer), 0);
    EXPECT_EQ(result[0], FCL_T_STRING);
    EXPECT_EQ(result[1], 0);
    answer.raw = {'a', 'b', 'c', 0};
    EXPECT_EQ(run(FormulaBuilder(FCL_T_STRING).reference(FCL_T_FIELD, "Name").build(), result, &answer), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(result + 1), "abc");
}

// An unterminated text answer is cut at the raw buffer's end instead of being read past it.
TEST_P(Executor, UnterminatedFieldTextStaysInsideRawBuffer) {
    Answer answer{0, FCL_T_STRING, std::vector<uint8_t>(FCL_RAW_BUFFER, 'q')};
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(FormulaBuilder(FCL_T_STRING).reference(FCL_T_FIELD, "Long").build(), result, &answer), 0);
    EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(result + 1)), static_cast<size_t>(FCL_RAW_BUFFER - 1));
}

// Eight long texts need more than the 4096-byte value area: the run stops with 1006.
TEST_P(Executor, FullValueAreaStopsTheRun) {
    Answer answer{0, FCL_T_STRING, std::vector<uint8_t>(FCL_RAW_BUFFER, 'v')};
    FormulaBuilder formula(FCL_T_STRING);
    for (int i = 0; i < 7; ++i) formula.reference(FCL_T_FIELD, "Long");
    uint8_t result[FCL_MAX_VALUE];
    EXPECT_EQ(run(formula.build(), result, &answer), FCL_E_CODE);  // seven fit, leaving seven values
    formula.reference(FCL_T_FIELD, "Long");
    EXPECT_EQ(run(formula.build(), result, &answer), FCL_E_STACK_FULL);
    EXPECT_EQ(result[0], FCL_T_STRING);
    EXPECT_EQ(result[1], 0);
}

TEST_P(Executor, BlocksWithImpossibleLengthAreRefused) {
    uint8_t result[FCL_MAX_VALUE];
    std::vector<uint8_t> code = FormulaBuilder(FCL_T_LOGICAL).logical(true).build();
    code[2] = 4;
    EXPECT_EQ(run(code, result), FCL_E_CODE);
    code[2] = 0x11;
    code[3] = 0x02;  // 529
    EXPECT_EQ(run(code, result), FCL_E_CODE);
    EXPECT_EQ(result[0], FCL_T_LOGICAL);
}

// Items cut off by the length field are never read past it.
TEST_P(Executor, ItemCutByLengthIsAnError) {
    uint8_t result[FCL_MAX_VALUE];
    std::vector<uint8_t> code = FormulaBuilder(FCL_T_STRING).text(FCL_T_STRING, "abcdef").build();
    code[2] = 8;  // header + type byte + 3 text bytes, no NUL inside
    EXPECT_EQ(run(code, result), FCL_E_CODE);
}

TEST_P(Executor, FormulaRunsUnchangedInAnyContext) {
    FCLHANDLE first = FCLCREATEHANDLE();
    FCLHANDLE second = FCLCREATEHANDLE();
    ASSERT_NE(first, nullptr);
    const std::vector<uint8_t> code = FormulaBuilder(FCL_T_LOGICAL).logical(true).logical(true).call(1).build();
    uint8_t a[FCL_MAX_VALUE], b[FCL_MAX_VALUE], c[FCL_MAX_VALUE];
    EXPECT_EQ(FCLEXECUTE2(answer_callback, nullptr, code.data(), a, first), 0);
    EXPECT_EQ(FCLEXECUTE2(answer_callback, nullptr, code.data(), b, second), 0);
    EXPECT_EQ(FCLEXECUTE(answer_callback, nullptr, code.data(), c), 0);
    EXPECT_EQ(std::memcmp(a, b, 2), 0);
    EXPECT_EQ(std::memcmp(a, c, 2), 0);
    FCLRELEASEHANDLE(first);
    FCLRELEASEHANDLE(second);
    FCLRELEASEHANDLE(nullptr);
}

// Null pointers from a careless host give a status, never a crash.
TEST(ExecutorGuards, NullArgumentsAreRefused) {
    const std::vector<uint8_t> code = FormulaBuilder(FCL_T_LOGICAL).logical(true).build();
    uint8_t result[FCL_MAX_VALUE] = {};
    EXPECT_EQ(FCLEXECUTE(answer_callback, nullptr, nullptr, result), FCL_E_CODE);
    EXPECT_EQ(FCLEXECUTE(answer_callback, nullptr, code.data(), nullptr), 0);
    EXPECT_EQ(FCLEXECUTE2(answer_callback, nullptr, code.data(), result, nullptr), FCL_E_CODE);
    EXPECT_EQ(result[0], FCL_T_LOGICAL);
    unsigned char compiled[FCL_MAX_CODE] = {0xAA};
    uint16_t length = 0;
    EXPECT_EQ(FCLCOMPILE2(nullptr, nullptr, "1", compiled, &length, nullptr), FCL_E_CODE);
    EXPECT_EQ(length, 7);
    EXPECT_EQ(compiled[0], 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, Executor, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                             return info.param ? std::string("TextNumbers") : std::string("DoubleNumbers");
                         });

}  // namespace
}  // namespace fcl::test
