// The analysis API beyond what the case files check (lint.cases): token spans as an editor
// highlights them, the tree's spans, and the catalogue against the function table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "analysis/analysis.h"
#include "functions/function_table.h"

namespace fcl::analysis {
namespace {

std::int32_t any_number(void*, const char*, void*, std::uint16_t* type) {
    *type = FCL_T_NUMBER;
    return 0;
}

// "kind:text" for each token, blank-separated.
std::string tokens_of(const char* text) {
    Token tokens[kMostTokens];
    const std::size_t count = tokenize(text, tokens, kMostTokens);
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += (i ? " " : "") + std::string(token_kind_name(tokens[i].kind)) + ":" +
               std::string(text + tokens[i].span.begin, tokens[i].span.end - tokens[i].span.begin);
    }
    return out;
}

TEST(Analysis, TokensAsTheLexerReadsThem) {
    const struct {
        const char* text;
        const char* tokens;
    } cases[] = {
        {"  LEFT([Name], 3) = \"AB\"",
         "function:LEFT open:( field:[Name] comma:, number:3 close:) operator:= string:\"AB\""},
        {"a AND !b", "name:a operator:AND operator:! name:b"},
        // After an operand, letters read as an operator: NOT is no operator word.
        {"a AND NOT b", "name:a operator:AND name:NOT invalid:b"},
        // Signs that cancel out are no token for the parser, but are text an editor shows.
        {"--1 - -x", "operator:-- number:1 operator:- operator:- name:x"},
        {"+-x", "operator:+- name:x"},
        {"1 + \"open", "number:1 operator:+ invalid:\"open"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(tokens_of(c.text), c.tokens) << c.text;
}

TEST(Analysis, TreeSpansCoverEachSubexpression) {
    static Analysis a;
    const char* text = " IF([Qty] = 0, 0, [Amount] / [Qty])";
    ASSERT_EQ(analyze(nullptr, any_number, nullptr, text, a), FCL_OK);
    const Node& root = a.tree.nodes[a.tree.root];
    const auto shown = [&](const Node& n) { return std::string(text + n.span.begin, n.span.end - n.span.begin); };
    EXPECT_EQ(shown(root), "IF([Qty] = 0, 0, [Amount] / [Qty])");
    ASSERT_EQ(root.argc, 3);
    EXPECT_EQ(shown(a.tree.arg(root, 0)), "[Qty] = 0");
    EXPECT_EQ(shown(a.tree.arg(root, 2)), "[Amount] / [Qty]");
    EXPECT_EQ(a.tree.arg(root, 2).type, FCL_T_NUMBER);
    EXPECT_STREQ(function_info(root.record)->name, "IF");
    EXPECT_GT(a.code_length, 7);
}

TEST(Analysis, FailureSpanIsTheBlamedToken) {
    static Analysis a;
    const char* text = "  1 + LEFT(\"x\", \"y\")";
    ASSERT_EQ(analyze(nullptr, any_number, nullptr, text, a), FCL_E_TYPE);
    EXPECT_EQ(std::string(text + a.diagnostic.span.begin, a.diagnostic.span.end - a.diagnostic.span.begin), "\"y\"");
    EXPECT_STREQ(a.diagnostic.reason, "a string where a number is expected: argument 2 of LEFT");
    EXPECT_EQ(a.code_length, 7);
}

TEST(Analysis, CatalogueIsTheFunctionList) {
    ASSERT_EQ(function_count(), kFunctionCount);
    for (int record = 1; record <= function_count(); ++record) {
        const FunctionInfo& info = *function_info(record);
        const FunctionRecord& table = *function_record(record);
        EXPECT_STREQ(info.name, table.name);
        EXPECT_EQ(info.argc, table.argc) << info.name;
        EXPECT_EQ(info.result, table.result_mask) << info.name;
        EXPECT_EQ(std::memcmp(info.args, table.arg_masks, sizeof info.args), 0) << info.name;
        EXPECT_GT(std::strlen(info.summary), 0u);
    }
    EXPECT_EQ(function_info(0), nullptr);
    EXPECT_EQ(function_info(function_count() + 1), nullptr);
}

}  // namespace
}  // namespace fcl::analysis
