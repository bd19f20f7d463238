// The parser: trees (as the postfix order of the compiled items), syntax errors, stack limits.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "compiler/parser.h"
#include "compiler_support.h"
#include "interface/context.h"

namespace fcl::test {
namespace {

std::string repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

// Names listed (blank-separated) in logical are logical fields for the row.
Host host_with_logicals(const std::string& logical) {
    Host host = example_host();
    std::istringstream names(logical);
    std::string name;
    while (names >> name) host.types[name] = FCL_T_LOGICAL;
    return host;
}

struct TreeRow {
    const char* text;
    const char* logical;
    const char* items;
};

TEST(CompilerParser, TreesInPostfixOrder) {
    FCLSETMODE(0);
    const TreeRow rows[] = {
        {"1+2*3", "", "1 2 3 MUL ADD"},
        {"a-b-c", "", "a b SUB c SUB"},
        {"-a*b", "", "a NEG b MUL"},
        {"!a AND b", "b", "a NOT b AND"},
        {"x>1 OR y<2 AND z", "", "x 1 GT y 2 LT z AND OR"},
        {"LEFT([Name], 3) = [Code]", "", "[Name] 3 LEFT [Code] EQ"},
        {"MID(s, 2)", "", "s 2 MID"},
        {"LEFT([Name], 3) = [Code] AND -Amount > 5", "", "[Name] 3 LEFT [Code] EQ Amount NEG 5 GT AND"},
        {"(a)", "", "a"},
        {"((a))", "", "a"},
        {"DATE()", "", "DATE"},
        {"PAGE()", "", "PAGE"},
        {"MID((s), 2)", "", "s 2 MID"},
        {"MID((s, 2))", "", "s 2 MID"},
        {"MID(s, (2, 3))", "", "s 2 3 MID"},
        {"-(a+b)", "", "a b ADD NEG"},
        {"a < b = [Flag]", "", "a b LT [Flag] EQ"},
        {"(1+2)*3", "", "1 2 ADD 3 MUL"},
        {"1*2+3*4", "", "1 2 MUL 3 4 MUL ADD"},
        {"10%3/2", "", "10 3 MOD 2 DIV"},
        {"a OR b AND c OR d", "a b c d", "a b c AND OR d OR"},
        {"p AND q AND r", "q r", "p q AND r AND"},
        {"!(!p)", "", "p NOT NOT"},
        {"--3", "", "3"},
        {"3 - -2", "", "3 -2 SUB"},
        {"1 + --a", "", "1 a ADD"},
        {"1 - - a", "", "1 a NEG SUB"},
        {"LEFT(MID(s, 2), LEN(s))", "", "s 2 MID s LEN LEFT"},
        {"-ABS(a) * 2", "", "a ABS NEG 2 MUL"},
        {"ABS(-ABS(a))", "", "a ABS NEG ABS"},
        {"ABS(-(a))", "", "a NEG ABS"},
        {"IF(a > 1, -a, a)", "", "a 1 GT a NEG a IF"},
        {"ADD(1, 2) * 3", "", "1 2 ADD 3 MUL"},
        {"@abs (a) + 1", "", "a ABS 1 ADD"},
        {"SELECT(a, \"x\", \"y\", \"z\")", "", "a \"x\" \"y\" \"z\" SELECT"},
    };
    for (const TreeRow& row : rows) {
        Host host = host_with_logicals(row.logical);
        const Compiled c = compile(row.text, host);
        EXPECT_EQ(c.status, 0) << row.text;
        EXPECT_EQ(c.items, row.items) << row.text;
    }
}

struct StatusRow {
    std::string text;
    uint16_t status;
};

TEST(CompilerParser, FailuresOfTheParse) {
    const StatusRow rows[] = {
        // The end of the text with a call or parenthesis open, or not one subtree.
        {"(a", FCL_E_SYNTAX},
        {"MID(s, 2", FCL_E_SYNTAX},
        {"()", FCL_E_SYNTAX},
        {"1 + ()", FCL_E_SYNTAX},
        {"1 +", FCL_E_SYNTAX},
        {"* 2", FCL_E_SYNTAX},
        {"= 1", FCL_E_SYNTAX},
        {"!", FCL_E_SYNTAX},
        // Error entries away from the end of the text are reported too.
        {"a, b", FCL_E_SYNTAX},
        {"(a, b)", FCL_E_SYNTAX},
        {"1 2", FCL_E_SYNTAX},
        {"a)", FCL_E_SYNTAX},
        {")", FCL_E_SYNTAX},
        {"LEFT(,x)", FCL_E_SYNTAX},
        {"IN(1,)", FCL_E_SYNTAX},
        {"LEFT(s,)", FCL_E_TYPE},  // the slot for the number meets s first
        {"MID(s 2)", FCL_E_SYNTAX},
        {"MID(s, LEFT(s, 1) 2)", FCL_E_SYNTAX},
        {"!!p", FCL_E_SYNTAX},
        {"- -x", FCL_E_SYNTAX},
        {"-!x", FCL_E_SYNTAX},
        // An operand never follows a finished operand, also where the table cannot see it.
        {"(a) 2 -", FCL_E_SYNTAX},
        {"(1)(2)", FCL_E_SYNTAX},
        {"LEFT(s, 1) 2 +", FCL_E_SYNTAX},
        {"@ABS(1) @ABS(2)", FCL_E_SYNTAX},
        {"a !p AND", FCL_E_SYNTAX},
        {"2 (3)", FCL_E_SYNTAX},
        // Operand types that an operator does not take, and overloads that do not exist.
        {"Name + 1", FCL_E_TYPE},
        {"1 AND 2", FCL_E_TYPE},
        {"!\"Y\"", FCL_E_TYPE},
        {"-Name", FCL_E_TYPE},
        {"\"Y\" AND \"N\"", FCL_E_TYPE},
        {"[Untyped] + 1", FCL_E_TYPE},
        {"LEFT(s)", FCL_E_TYPE},
        {"LEFT()", FCL_E_TYPE},
        {"ABS()", FCL_E_TYPE},
        {"PAGE(1)", FCL_E_TYPE},
        {"IN(1, 2, 3, 4, 5, 6)", FCL_E_TYPE},
        {"SELECT(1, 2)", FCL_E_TYPE},
        {"SELECT(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12)", FCL_E_TYPE},
        // Stack limits: 127 parse-stack positions, 127 subtrees, 15 levels of calls.
        {repeat("(", 127) + "1" + repeat(")", 127), FCL_E_STACK_FULL},
        {repeat("(", 126) + "1" + repeat(")", 126), FCL_E_STACK_FULL},  // no position left for the 1
        {"IN(" + repeat("1,", 127) + "1)", FCL_E_STACK_FULL},
        {repeat("ABS(", 16) + "1" + repeat(")", 16), FCL_E_STACK_FULL},
        {"1" + repeat("+1", 263), FCL_E_NODE_POOL},
        // Lexer statuses pass through unchanged.
        {"FOO(1)", FCL_E_UNKNOWN_NAME},
        {"1 + Unknown", FCL_E_CALLBACK},
        {"1 # 2", FCL_E_SYNTAX},
    };
    for (const StatusRow& row : rows) {
        const Compiled c = compile(row.text);
        EXPECT_EQ(c.status, row.status) << row.text;
        EXPECT_EQ(c.bytes, "01 00 07 00 01 00 00") << row.text;
    }
}

TEST(CompilerParser, DepthsJustWithinTheLimits) {
    FCLSETMODE(0);
    // The bottom marker, 125 parentheses and the operand fill the 127 positions.
    EXPECT_EQ(compile(repeat("(", 125) + "1" + repeat(")", 125)).items, "1");
    EXPECT_EQ(compile(repeat("ABS(", 15) + "1" + repeat(")", 15)).items, "1" + repeat(" ABS", 15));
    EXPECT_EQ(compile(repeat("-ABS(", 15) + "1" + repeat(")", 15)).items, "1" + repeat(" ABS NEG", 15));
    // Plain parentheses do not count as call levels.
    EXPECT_EQ(compile(repeat("ABS((", 15) + "1" + repeat("))", 15)).status, 0);
}

// parse() run directly with part of the node pool already used, to reach the parser's own
// allocations: the bottom marker, the placeholder of an inner call and a replacement node.
class ParserPool : public ::testing::Test {
protected:
    Status parse_with_free(const char* text, std::size_t free) {
        ctx_ = std::make_unique<Context>();
        ctx_->callback = Host::callback;
        ctx_->callback_data = &host_;
        std::strcpy(ctx_->text, text);
        ctx_->pool_used = static_cast<std::uint16_t>(kNodePoolSize - free);
        return parse(*ctx_);
    }
    Host host_ = example_host();
    std::unique_ptr<Context> ctx_;
};

TEST_F(ParserPool, BottomMarkerNeedsFourteenBytes) {
    EXPECT_EQ(parse_with_free("1", 13), FCL_E_NODE_POOL);
    // Bottom marker and end token fit in 28 bytes; the end then finds no subtree.
    EXPECT_EQ(parse_with_free("", 28), FCL_E_SYNTAX);
    EXPECT_EQ(parse_with_free("", 27), FCL_E_NODE_POOL);
}

TEST_F(ParserPool, PlaceholderOfAnInnerCall) {
    // bottom 14, ABS 27, ( 15, ABS 27, ( 15, 1 15, ) 15: the placeholder (14) comes next.
    const std::size_t before_placeholder = 14 + 27 + 15 + 27 + 15 + 15 + 15;
    EXPECT_EQ(parse_with_free("ABS(ABS(1))", before_placeholder + 13), FCL_E_NODE_POOL);
    // With room for it the failure moves on to the outer ')' token.
    EXPECT_EQ(parse_with_free("ABS(ABS(1))", before_placeholder + 14), FCL_E_NODE_POOL);
    EXPECT_EQ(parse_with_free("ABS(ABS(1))", before_placeholder + 14 + 15 + 14), 0);
}

TEST_F(ParserPool, ReplacementNodeWithoutRoomIsATypeError) {
    // bottom 14, MID 47, ( 15, s 15, , 15, 2 15, ) 15; the two-argument MID node takes 37.
    const std::size_t before_replacement = 14 + 47 + 15 + 15 + 15 + 15 + 15;
    EXPECT_EQ(parse_with_free("MID(s, 2)", before_replacement + 36), FCL_E_TYPE);
    EXPECT_EQ(parse_with_free("MID(s, 2)", before_replacement + 37 + 14), 0);
}

TEST_F(ParserPool, RootIsTheOnlySubtree) {
    ASSERT_EQ(parse_with_free("1+2", kNodePoolSize), 0);
    EXPECT_EQ(ctx_->subtree_depth, 1);
    EXPECT_EQ(ctx_->parse_depth, 1);
    ParseNode* root = ctx_->subtree_stack[1];
    EXPECT_STREQ(root->spelling(), "ADD");
    EXPECT_STREQ(root->child(0)->spelling(), "1");
    EXPECT_STREQ(root->child(1)->spelling(), "2");
}

}  // namespace
}  // namespace fcl::test
