// The lexer on its own: token sequences, node data, limits, flags and the pool charge per node.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compiler/lexer.h"
#include "compiler_support.h"
#include "interface/context.h"

namespace fcl::test {
namespace {

struct Lexed {
    std::string tokens;  // e.g. "name(a) OR name(b) end", or ending in "status 1001"
    std::uint16_t flags;
    std::uint16_t pool_used;
};

std::string describe(ParseNode& node) {
    const std::string spelling = node.spelling();
    switch (node.kind) {
        case kTokEnd: return "end";
        case kTokFunction: return "fn(" + spelling + ")";
        case kTokField: return "field(" + spelling + ")";
        case kTokName: return "name(" + spelling + ")";
        case kTokString: return "str(" + spelling + ")";
        case kTokNumber: return "num(" + spelling + ")";
        default: return spelling;  // operators by record name, punctuation by itself
    }
}

// Reads every token as the parser would take them: the previous token class follows the tokens.
Lexed lex(const std::string& text, Host host = example_host()) {
    auto ctx = std::make_unique<Context>();
    ctx->callback = Host::callback;
    ctx->callback_data = &host;
    std::memcpy(ctx->text, text.c_str(), text.size() + 1);
    ctx->lex_pos = ctx->text;
    Lexed out{};
    for (std::size_t guard = 0; guard <= text.size() + 1; ++guard) {
        ParseNode* node = nullptr;
        const Status status = next_token(*ctx, node);
        if (!out.tokens.empty()) out.tokens += ' ';
        if (status != 0) {
            EXPECT_EQ(node, nullptr);
            out.tokens += "status " + std::to_string(status);
            break;
        }
        if (!node) {
            out.tokens += "~";  // signs that cancelled out
            continue;
        }
        out.tokens += describe(*node);
        ctx->prev_class = node->prec;
        if (node->kind == kTokEnd) break;
    }
    out.flags = ctx->flags;
    out.pool_used = ctx->pool_used;
    return out;
}

struct TokenRow {
    const char* text;
    const char* tokens;
};

TEST(CompilerLexer, TokensOfTheEdgeTable) {
    const TokenRow rows[] = {
        {"a OR b", "name(a) OR name(b) end"},
        {"a or b", "name(a) OR name(b) end"},
        {"a || b", "name(a) OR name(b) end"},
        {"a ORDER", "name(a) OR name(DER) end"},
        {"a AND b", "name(a) AND name(b) end"},
        {"a && b", "name(a) AND name(b) end"},
        {"a aNd b", "name(a) AND name(b) end"},
        {"2-3", "num(2) SUB num(3) end"},
        {"(-3)", "( num(-3) ) end"},
        {"4*-3", "num(4) MUL num(-3) end"},
        {"-x", "NEG name(x) end"},
        {"--x", "~ name(x) end"},
        {"-+-x", "~ name(x) end"},
        {"---x", "NEG name(x) end"},
        {"!x", "NOT name(x) end"},
        {"x=>1", "name(x) GE num(1) end"},
        {"x=<1", "name(x) LE num(1) end"},
        {"x>=1", "name(x) GE num(1) end"},
        {"x<=1", "name(x) LE num(1) end"},
        {"x!=1", "name(x) NE num(1) end"},
        {"x<>1", "name(x) NE num(1) end"},
        {"x==1", "name(x) EQ num(1) end"},
        {"x=1", "name(x) EQ num(1) end"},
        {"x<1", "name(x) LT num(1) end"},
        {"x>1", "name(x) GT num(1) end"},
        {"1+2*3/4%5", "num(1) ADD num(2) MUL num(3) DIV num(4) MOD num(5) end"},
        {"(1)-2", "( num(1) ) SUB num(2) end"},
        {"[Unit Price]", "field(Unit Price) end"},
        {"[a\\]b]", "field(a]b) end"},
        {"[a\\b]", "field(a\\b) end"},
        {"'A'", "num(65) end"},
        {"'\\''", "num(39) end"},
        {"Sales.Total", "name(Sales.Total) end"},
        {"_x", "name(_x) end"},
        {"left(", "fn(left) ( end"},
        {"LEFT (", "fn(LEFT) ( end"},
        {"@left(", "fn(left) ( end"},
        {"@LEFT  (", "fn(LEFT) ( end"},
        {"3.", "num(3.) end"},
        {".5", "num(.5) end"},
        {"-.5", "num(-.5) end"},
        {"+7", "num(+7) end"},
        {"12abc", "num(12) status 1001"},
        {"\"a\\\"b\\\"\"", "str(a\"b\") end"},
        {"\"a\\nb\"", "str(anb) end"},
        {"\"\\\x82\xA0\"", "str(\x82\xA0) end"},
        {"[\\\x82\xA0]", "field(\\\x82\xA0) end"},
        {"\x82\xA0x", "name(\x82\xA0x) end"},
        {"\xB1\xB2", "name(\xB1\xB2) end"},
        {"  1  ,  2  ", "num(1) , num(2) end"},
        {"LEFT([Name], 3) = [Code] AND -Amount > 5",
         "fn(LEFT) ( field(Name) , num(3) ) EQ field(Code) AND NEG name(Amount) GT num(5) end"},
    };
    for (const TokenRow& row : rows) EXPECT_EQ(lex(row.text).tokens, row.tokens) << row.text;
}

TEST(CompilerLexer, MalformedTokens) {
    const TokenRow rows[] = {
        {"''", "status 1001"},
        {"'AB'", "status 1001"},
        {"'\x82\xA0'", "status 1001"},
        {"Sales.Total(", "status 1001"},
        {"Sales.Total (", "status 1001"},
        {"_x(", "status 1001"},
        {"@ 1(", "status 1001"},
        {"@1(", "status 1001"},
        {"@left", "status 1001"},
        {"@left x(", "status 1001"},
        {"1.2.3", "status 1001"},
        {".", "status 1001"},
        {"-", "status 1001"},
        {"+.", "status 1001"},
        {"a.b.c", "status 1001"},
        {"a..b", "status 1001"},
        {"a.", "status 1001"},
        {"a. b", "status 1001"},
        {"[]", "status 1001"},
        {"[abc", "status 1001"},
        {"[a\\", "status 1001"},
        {"\"abc", "status 1001"},
        {"\"ab\x01\"", "status 1001"},
        {"'a", "status 1001"},
        {"\"\x82", "status 1001"},
        {"'\x82", "status 1001"},
        {"[\x82", "status 1001"},
        {"\x82", "status 1001"},
        {"\tx", "status 1001"},
        {"x\t", "name(x) status 1001"},
        {"#", "status 1001"},
        {"$", "status 1001"},
        {"]", "status 1001"},
        {"\x7F", "status 1001"},
        {"\x80", "status 1001"},
        {"\xA0", "status 1001"},
        {"\xFF", "status 1001"},
        {"a b", "name(a) status 1001"},
        {"a & b", "name(a) status 1001"},
        {"a | b", "name(a) status 1001"},
        {"FOO(1)", "status 1002"},
        {"@FOO(1)", "status 1002"},
        {"\x82\xA0(", "status 1002"},
        {"Unknown", "status 1005"},
        {"[Unknown]", "status 1005"},
        {"a + [Unknown x]", "name(a) ADD status 1005"},
    };
    for (const TokenRow& row : rows) EXPECT_EQ(lex(row.text).tokens, row.tokens) << row.text;
}

TEST(CompilerLexer, TokenLengthLimits) {
    struct Row {
        std::string text;
        bool accepted;
    };
    const std::string a(600, 'a');
    const std::string digits(600, '7');
    const Row rows[] = {
        {"\"" + a.substr(0, 523) + "\"", true},   {"\"" + a.substr(0, 524) + "\"", false},
        {"'" + a.substr(0, 523) + "'", false},    {"[" + a.substr(0, 524) + "]", true},
        {"[" + a.substr(0, 525) + "]", false},    {a.substr(0, 524), true},
        {a.substr(0, 525), false},                {digits.substr(0, 526), true},
        {digits.substr(0, 527), false},           {"[" + a.substr(0, 523) + "\\]]", true},
    };
    for (const Row& row : rows) {
        const std::string tokens = lex(row.text).tokens;
        EXPECT_EQ(tokens.find("status") == std::string::npos, row.accepted) << row.text.size() << ": " << tokens;
    }
}

TEST(CompilerLexer, FlagsOfTheTokensRead) {
    struct Row {
        const char* text;
        std::uint16_t flags;
    };
    const Row rows[] = {
        {"12", 0x00},        {"a AND b", 0x21},  {"[a] && [b]", 0x01}, {"[a] OR [b]", 0x02},
        {"[a] = 1", 0x04},   {"[a] + 1", 0x08},  {"-[a]", 0x08},       {"!x", 0x28},
        {"--[a]", 0x00},     {"LEFT(", 0x10},    {"@ADD(", 0x10},      {"Amount", 0x20},
        {"[Amount]", 0x00},  {"\"s\"", 0x00},
        {"LEFT([Name], 3) = [Code] AND -Amount > 5", 0x3D},
    };
    for (const Row& row : rows) EXPECT_EQ(lex(row.text).flags, row.flags) << row.text;
}

// Each node is charged 14 + 10 * argc + spelling length bytes, whatever its layout.
TEST(CompilerLexer, NodePoolChargePerToken) {
    struct Row {
        const char* text;
        std::uint16_t charged;
    };
    const Row rows[] = {
        {"", 14},                   // end
        {"1", 15 + 14},             // number, end
        {"\"abc\"", 17 + 14},       // string of three bytes
        {"[Name]", 18 + 14},        // field reference
        {"1 + 2", 15 + 37 + 15 + 14},  // ADD: two slots, spelling ADD
        {"-x", 27 + 15 + 14},       // NEG: one slot
        {"LEFT([Name], 3)", 38 + 15 + 18 + 15 + 15 + 15 + 14},
    };
    for (const Row& row : rows) EXPECT_EQ(lex(row.text).pool_used, row.charged) << row.text;
}

// A reference is typed by the host's answer: the low byte of the word, or the preset 32 or 64
// when the host leaves the word alone; operators and functions carry their first record's data.
TEST(CompilerLexer, NodesCarryTypesAndRecordData) {
    Host host = example_host();
    auto ctx = std::make_unique<Context>();
    ctx->callback = Host::callback;
    ctx->callback_data = &host;
    host.types["Wide"] = static_cast<std::uint16_t>((FCL_RAW_DOUBLE << 8) | FCL_T_NUMBER);
    struct Row {
        const char* text;
        std::uint8_t mask, fkind, argc;
        std::uint8_t arg_masks[3];
    };
    const Row rows[] = {
        {"[Name]", 1, 0, 0, {}},        {"Flag", 4, 0, 0, {}},          {"Wide", 2, 0, 0, {}},
        {"[Untyped]", 32, 0, 0, {}},    {"Untyped", 64, 0, 0, {}},      {"\"x\"", 1, 0, 0, {}},
        {"'x'", 2, 0, 0, {}},           {"mid(", 1, 0, 3, {1, 2, 2}},   {"IF(", 31, 3, 3, {4, 31, 31}},
        {"MIN(", 2, 2, 1, {2}},         {"DATE(", 16, 0, 0, {}},        {"!", 4, 0, 1, {6}},
        {"-x", 2, 0, 1, {2}},
    };
    for (const Row& row : rows) {
        std::memcpy(ctx->text, row.text, std::strlen(row.text) + 1);
        ctx->lex_pos = ctx->text;
        ctx->prev_class = 0;
        ParseNode* node = nullptr;
        ASSERT_EQ(next_token(*ctx, node), 0) << row.text;
        ASSERT_NE(node, nullptr) << row.text;
        EXPECT_EQ(node->mask, row.mask) << row.text;
        EXPECT_EQ(node->fkind, row.fkind) << row.text;
        ASSERT_EQ(node->argc, row.argc) << row.text;
        for (unsigned i = 0; i < row.argc; ++i) EXPECT_EQ(node->arg_mask(i), row.arg_masks[i]) << row.text << i;
    }
}

TEST(CompilerLexer, MissingCallbackKnowsNoNames) {
    auto ctx = std::make_unique<Context>();
    std::strcpy(ctx->text, "[a]");
    ctx->lex_pos = ctx->text;
    ParseNode* node = nullptr;
    EXPECT_EQ(next_token(*ctx, node), FCL_E_CALLBACK);
}

TEST(CompilerLexer, FullPoolRefusesTheNode) {
    Host host = example_host();
    auto ctx = std::make_unique<Context>();
    ctx->callback = Host::callback;
    ctx->callback_data = &host;
    std::strcpy(ctx->text, "123");
    ctx->lex_pos = ctx->text;
    ctx->pool_used = kNodePoolSize - 16;  // a number of three digits needs 17
    ParseNode* node = nullptr;
    EXPECT_EQ(next_token(*ctx, node), FCL_E_NODE_POOL);
    EXPECT_EQ(node, nullptr);
    ctx->lex_pos = ctx->text;
    ctx->pool_used = kNodePoolSize - 17;
    EXPECT_EQ(next_token(*ctx, node), 0);
    EXPECT_EQ(ctx->pool_used, kNodePoolSize);
}

}  // namespace
}  // namespace fcl::test
