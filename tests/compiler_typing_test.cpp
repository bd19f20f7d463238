// Resolution and typing: overloads by argument count, types by function kind, literal coercion,
// the operand swap, and the formula flags.
#include <gtest/gtest.h>

#include <string>

#include "compiler_support.h"

namespace fcl::test {
namespace {

struct TypingRow {
    const char* text;
    uint16_t status;
    const char* items;    // postfix listing when the status is 0
    uint8_t result_type;  // header byte 0 when the status is 0
};

void check_rows(const TypingRow* rows, std::size_t count) {
    FCLSETMODE(0);
    for (std::size_t i = 0; i < count; ++i) {
        const TypingRow& row = rows[i];
        const Compiled c = compile(row.text);
        EXPECT_EQ(c.status, row.status) << row.text;
        if (row.status != 0) continue;
        EXPECT_EQ(c.items, row.items) << row.text;
        EXPECT_EQ(c.code[0], row.result_type) << row.text;
    }
}

// Amount is a number field, Name a string, OrderDate a date, Flag a logical, T a time.
TEST(CompilerTyping, WorkedExamples) {
    const TypingRow rows[] = {
        {"5 < Amount", 0, "Amount 5 GT", FCL_T_LOGICAL},
        {"Amount + 1", 0, "Amount 1 ADD", FCL_T_NUMBER},
        {"Name + 1", FCL_E_TYPE, "", 0},
        {"OrderDate >= \"2024/04/01\"", 0, "OrderDate date:20240401 GE", FCL_T_LOGICAL},
        {"Flag = \"Y\"", 0, "Flag logical:1 EQ", FCL_T_LOGICAL},
        {"IF(Amount > 0, Name, 1)", FCL_E_TYPE, "", 0},
        {"MID(Name, 2)", 0, "Name 2 MID", FCL_T_STRING},
        {"LEFT(Name)", FCL_E_TYPE, "", 0},
        {"FOO(1)", FCL_E_UNKNOWN_NAME, "", 0},
    };
    check_rows(rows, std::size(rows));
}

TEST(CompilerTyping, KindsAndOverloads) {
    const TypingRow rows[] = {
        {"MIN(Amount)", 0, "Amount MIN", FCL_T_NUMBER},
        {"MIN(Amount, 2)", 0, "Amount logical:1 MIN", FCL_T_NUMBER},
        {"MIN(Amount, 0)", 0, "Amount logical:0 MIN", FCL_T_NUMBER},
        {"SELECT(Amount, \"a\", \"b\")", 0, "Amount \"a\" \"b\" SELECT", FCL_T_STRING},
        {"SELECT(Amount, 1, \"b\")", FCL_E_TYPE, "", 0},
        {"SELECT(Amount, OrderDate, \"2024/01/02\")", 0, "Amount OrderDate date:20240102 SELECT", FCL_T_DATE},
        {"IF(Flag, 1, 2)", 0, "Flag 1 2 IF", FCL_T_NUMBER},
        {"IF(\"Y\", 1, 2)", 0, "logical:1 1 2 IF", FCL_T_NUMBER},
        {"IF(1, T, \"12:00:00\")", 0, "logical:1 T time:120000 IF", FCL_T_TIME},
        {"IF(\"x\", 1, 2)", FCL_E_TYPE, "", 0},
        {"Name + \"x\"", 0, "Name \"x\" ADD", FCL_T_STRING},
        {"1 + Name", FCL_E_TYPE, "", 0},
        {"ADD(Name, \"x\")", 0, "Name \"x\" ADD", FCL_T_STRING},
        {"BETWEEN(Amount, 1, 2)", 0, "Amount 1 2 BETWEEN", FCL_T_LOGICAL},
        {"BETWEEN(OrderDate, \"20240101\", \"2024/12/31\")", 0,
         "OrderDate date:20240101 date:20241231 BETWEEN", FCL_T_LOGICAL},
        {"IN(Name, \"a\", 1)", FCL_E_TYPE, "", 0},
        {"DATE()", 0, "DATE", FCL_T_DATE},
        {"TIME()", 0, "TIME", FCL_T_TIME},
        {"STR(Amount)", 0, "Amount STR", FCL_T_STRING},
        {"[Untyped]", 0, "[Untyped]", FCL_T_FIELD},
        {"Untyped", 0, "Untyped", FCL_T_NAME},
        {"Untyped = 1", FCL_E_TYPE, "", 0},
        {"\"abc\"", 0, "\"abc\"", FCL_T_STRING},
        {"'A'", 0, "65", FCL_T_NUMBER},
    };
    check_rows(rows, std::size(rows));
}

TEST(CompilerTyping, LiteralCoercion) {
    const TypingRow rows[] = {
        // Logical: number literals keep their value, Y and N become 1 and 0.
        {"Flag = \"n\"", 0, "Flag logical:0 EQ", FCL_T_LOGICAL},
        {"Flag = \"y\"", 0, "Flag logical:1 EQ", FCL_T_LOGICAL},
        {"Flag = 2", 0, "Flag logical:1 EQ", FCL_T_LOGICAL},
        {"Flag = 0", 0, "Flag logical:0 EQ", FCL_T_LOGICAL},
        {"Flag = \"x\"", FCL_E_TYPE, "", 0},
        {"Flag = \"YY\"", FCL_E_TYPE, "", 0},
        {"Flag = \"\"", FCL_E_TYPE, "", 0},
        {"AND(\"Y\", \"n\")", 0, "logical:1 logical:0 AND", FCL_T_LOGICAL},
        {"\"Y\" AND \"n\"", FCL_E_TYPE, "", 0},
        {"NOT(\"Y\")", FCL_E_TYPE, "", 0},
        {"OR(1, 0.5)", 0, "logical:1 logical:1 OR", FCL_T_LOGICAL},
        // Time: colons anywhere, any separator at positions 2 and 5, exactly six digits.
        {"T = \"12:34:56\"", 0, "T time:123456 EQ", FCL_T_LOGICAL},
        {"T = \"12.34.56\"", 0, "T time:123456 EQ", FCL_T_LOGICAL},
        {"T = \"123456\"", 0, "T time:123456 EQ", FCL_T_LOGICAL},
        {"T = \"23:59:59\"", 0, "T time:235959 EQ", FCL_T_LOGICAL},
        {"T = \"24:00:00\"", FCL_E_TYPE, "", 0},
        {"T = \"12:60:00\"", FCL_E_TYPE, "", 0},
        {"T = \"12:00:60\"", FCL_E_TYPE, "", 0},
        {"T = \"12:34\"", FCL_E_TYPE, "", 0},
        {"T = \"12:34:56:00\"", FCL_E_TYPE, "", 0},
        {"T = \"12-34x56\"", 0, "T time:123456 EQ", FCL_T_LOGICAL},
        {"T = \"1x:34:56\"", FCL_E_TYPE, "", 0},
        {"T = 123456", FCL_E_TYPE, "", 0},
        {"ATIME(\"09:15:00\", 60)", 0, "time:091500 60 ATIME", FCL_T_TIME},
        {"ATIME(Name, 60)", FCL_E_TYPE, "", 0},
        // Date: whatever the date normaliser accepts.
        {"ADATE(\"2024/02/28\", 1)", 0, "date:20240228 1 ADATE", FCL_T_DATE},
        {"ADATE(\"20240228\", 1)", 0, "date:20240228 1 ADATE", FCL_T_DATE},
        {"ADATE(\"2024-02-28\", 1)", 0, "date:20240228 1 ADATE", FCL_T_DATE},
        {"ADATE(\"240228\", 1)", 0, "date:20240228 1 ADATE", FCL_T_DATE},
        {"ADATE(\"2024/02/30\", 1)", FCL_E_TYPE, "", 0},
        {"ADATE(\"tomorrow\", 1)", FCL_E_TYPE, "", 0},
        {"ADATE(Name, 1)", FCL_E_TYPE, "", 0},
        {"ADATE(20240228, 1)", FCL_E_TYPE, "", 0},
        {"CDATE(OrderDate, \"2024/01/01\")", 0, "OrderDate date:20240101 CDATE", FCL_T_NUMBER},
        {"OrderDate = \"2024/1/1\"", FCL_E_TYPE, "", 0},
    };
    check_rows(rows, std::size(rows));
}

// Symbol comparisons keep a name reference or a call on their left; function forms do not swap.
TEST(CompilerTyping, OperandSwap) {
    const TypingRow rows[] = {
        {"5 < Amount", 0, "Amount 5 GT", FCL_T_LOGICAL},
        {"5 > Amount", 0, "Amount 5 LT", FCL_T_LOGICAL},
        {"5 <= Amount", 0, "Amount 5 GE", FCL_T_LOGICAL},
        {"5 >= Amount", 0, "Amount 5 LE", FCL_T_LOGICAL},
        {"5 = Amount", 0, "Amount 5 EQ", FCL_T_LOGICAL},
        {"5 <> Amount", 0, "Amount 5 NE", FCL_T_LOGICAL},
        {"EQ(5, Amount)", 0, "5 Amount EQ", FCL_T_LOGICAL},
        {"LT(5, Amount)", 0, "5 Amount LT", FCL_T_LOGICAL},
        {"5 < 3", 0, "5 3 LT", FCL_T_LOGICAL},
        {"5 < [Amount]", 0, "5 [Amount] LT", FCL_T_LOGICAL},
        {"5 < ABS(Amount)", 0, "Amount ABS 5 GT", FCL_T_LOGICAL},
        {"1 + 1 < Amount", 0, "Amount 1 1 ADD GT", FCL_T_LOGICAL},
        {"ABS(Amount) > Amount", 0, "Amount ABS Amount GT", FCL_T_LOGICAL},
        {"Amount < Amount", 0, "Amount Amount LT", FCL_T_LOGICAL},
        {"\"2024/04/01\" <= OrderDate", 0, "OrderDate date:20240401 GE", FCL_T_LOGICAL},
    };
    check_rows(rows, std::size(rows));
}

// Function indexes: the first record with the written name and argument count.
TEST(CompilerTyping, RecordByNameAndArgumentCount) {
    struct Row {
        const char* text;
        uint8_t index;
    };
    const Row rows[] = {
        {"MID(Name, 1, 2)", 23}, {"MID(Name, 1)", 24},  {"STR(1, 2, 3)", 25},    {"STR(1, 2)", 26},
        {"STR(1)", 27},          {"ROUND(1)", 38},      {"ROUND(1, 2)", 39},     {"PAGE()", 80},
        {"PAGE(1, 2)", 81},      {"IN(1, 2)", 17},      {"in(1, 2, 3)", 18},     {"In(1, 2, 3, 4)", 19},
        {"IN(1, 2, 3, 4, 5)", 20}, {"SELECT(1, 2, 3)", 82}, {"SELECT(1, 2, 3, 4)", 83},
        {"SELECT(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11)", 90}, {"MIN(1)", 73}, {"MIN(1, 1)", 113},
        {"CTIME(TIME(), TIME())", 65}, {"CTIME(TIME(), TIME(), 1)", 64}, {"COUNT(1)", 67}, {"COUNT(1, 1)", 107},
        {"ASUM(1)", 131},        {"ASUM(1, 1)", 137},   {"ARANK(1, 1)", 142},    {"1 + 2", 9},
        {"5 < Amount", 8},       {"add(1, 2)", 9},      {"@Neg(1)", 14},         {"!Flag", 15},
    };
    FCLSETMODE(0);
    for (const Row& row : rows) {
        const Compiled c = compile(row.text);
        ASSERT_EQ(c.status, 0) << row.text;
        EXPECT_EQ(c.code[c.length - 3], FCL_T_FUNCTION) << row.text;
        EXPECT_EQ(c.code[c.length - 2], row.index) << row.text;
    }
}

TEST(CompilerTyping, FormulaFlags) {
    struct Row {
        const char* text;
        uint8_t flags;
    };
    const Row rows[] = {
        {"12", 0x00},
        {"1+2", 0x08},
        {"Amount > 5", 0xA4},
        {"5 < Amount", 0xA4},
        {"(Amount > 5)", 0xA4},
        {"LEFT([Name], 3) = \"AB\"", 0x54},
        {"[a] = 1", 0xC4},
        {"1 = 2", 0xC4},
        {"EQ(1, 2)", 0x10},
        {"-[a] > 1", 0x4C},
        {"Flag AND Amount > 5", 0x25},
        {"[a] > 1 AND [b] < 2", 0x45},
        {"p OR Amount > 5", 0x26},
        {"!p", 0x28},
        {"--Amount", 0x20},
        {"ABS(Amount)", 0x30},
        {"LEFT([Name], 3) = [Code] AND -Amount > 5", 0x7D},
    };
    FCLSETMODE(0);
    for (const Row& row : rows) {
        const Compiled c = compile(row.text);
        ASSERT_EQ(c.status, 0) << row.text;
        EXPECT_EQ(c.code[1], row.flags) << row.text;
    }
}

}  // namespace
}  // namespace fcl::test
