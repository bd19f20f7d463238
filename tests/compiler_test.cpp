// The compile driver and emitter through FCLCOMPILE and FCLCOMPILE2: buffers, limits, handles, modes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compiler/emitter.h"
#include "compiler/node_pool.h"
#include "compiler_support.h"
#include "interface/context.h"

namespace fcl::test {
namespace {

constexpr const char* kEmpty = "01 00 07 00 01 00 00";

class Compiler : public ::testing::Test {
protected:
    void SetUp() override { FCLSETMODE(0); }
    void TearDown() override { FCLSETMODE(0); }
};

TEST_F(Compiler, EmptyAndBlankTextsGiveTheEmptyFormula) {
    for (const char* text : {"", " ", "      "}) {
        const Compiled c = compile(text);
        EXPECT_EQ(c.status, 0) << '"' << text << '"';
        EXPECT_EQ(c.length, 7);
        EXPECT_EQ(c.bytes, kEmpty);
    }
    Host host = example_host();
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    EXPECT_EQ(FCLCOMPILE(Host::callback, &host, nullptr, code, &length), 0);  // no text: nothing to compile
    EXPECT_EQ(hex(code, length), kEmpty);
}

TEST_F(Compiler, OnlyTheSpaceIsBlank) {
    EXPECT_EQ(compile("\t1").status, FCL_E_SYNTAX);
    EXPECT_EQ(compile("\n1").status, FCL_E_SYNTAX);
    EXPECT_EQ(compile("   1+2").bytes, compile("1+2").bytes);
    EXPECT_EQ(compile("1+2   ").bytes, compile("1+2").bytes);
}

TEST_F(Compiler, TextOfAtMost527Bytes) {
    EXPECT_EQ(compile(std::string(526, ' ') + "1").items, "1");
    EXPECT_EQ(compile(std::string(527, ' ') + "1").status, FCL_E_SYNTAX);
    EXPECT_EQ(compile(std::string(2000, '1')).status, FCL_E_SYNTAX);
}

TEST_F(Compiler, NullBuffersStillGiveTheStatus) {
    Host host = example_host();
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    EXPECT_EQ(FCLCOMPILE(Host::callback, &host, "1+2", nullptr, &length), 0);
    EXPECT_EQ(length, 25);
    std::memset(code, 0, sizeof code);
    EXPECT_EQ(FCLCOMPILE(Host::callback, &host, "1+2", code, nullptr), 0);
    EXPECT_EQ(hex(code, 25), compile("1+2").bytes);
    EXPECT_EQ(FCLCOMPILE(Host::callback, &host, "1+2", nullptr, nullptr), 0);
    EXPECT_EQ(FCLCOMPILE(Host::callback, &host, "1+", nullptr, nullptr), FCL_E_SYNTAX);
    length = 0;
    EXPECT_EQ(FCLCOMPILE(Host::callback, &host, "1+", nullptr, &length), FCL_E_SYNTAX);
    EXPECT_EQ(length, 7);
}

// A failure leaves the empty formula and nothing else; a success writes exactly its length.
TEST_F(Compiler, BufferHoldsTheEmptyFormulaOrTheWholeBlock) {
    for (const char* text : {"1 +", "LEFT()", "Unknown", "\"abc"}) {
        const Compiled c = compile(text);
        EXPECT_NE(c.status, 0) << text;
        EXPECT_EQ(c.bytes, kEmpty) << text;
        EXPECT_EQ(c.code[7], 0xCD) << text;
    }
    const Compiled c = compile("Amount > 5");
    EXPECT_EQ(c.length, 26);
    EXPECT_EQ(c.code[26], 0xCD);
}

TEST_F(Compiler, TypeQueriesCarryTheCallbackDataAndThePresetWord) {
    struct Query {
        std::string log;
        static int32_t callback(void* data, const char* name, void* raw, uint16_t* type) {
            auto& query = *static_cast<Query*>(data);
            query.log += std::string(name) + ":" + std::to_string(*type) + (raw ? "+raw " : " ");
            *type = FCL_T_NUMBER;
            return 0;
        }
    } query;
    uint16_t length = 0;
    EXPECT_EQ(FCLCOMPILE(Query::callback, &query, "[a b] + a + [a b] * Sales.Total", nullptr, &length), 0);
    EXPECT_EQ(query.log, "a b:32 a:64 a b:32 Sales.Total:64 ");
}

TEST_F(Compiler, LongestBlocksFitTheArea) {
    const std::string a(600, 'a');
    const Compiled longest = compile("\"" + a.substr(0, 521) + "\"");
    ASSERT_EQ(longest.status, 0);
    EXPECT_EQ(longest.length, FCL_MAX_CODE);
    EXPECT_EQ(longest.code[2], FCL_MAX_CODE & 0xFF);
    EXPECT_EQ(longest.code[3], FCL_MAX_CODE >> 8);
    EXPECT_EQ(longest.code[FCL_MAX_CODE - 1], 0);
    EXPECT_EQ(longest.code[FCL_MAX_CODE], 0xCD);
    // One byte more, or the longest literal the lexer takes, would pass 528 bytes.
    EXPECT_EQ(compile("\"" + a.substr(0, 522) + "\"").status, FCL_E_CODE);
    EXPECT_EQ(compile("\"" + a.substr(0, 523) + "\"").status, FCL_E_CODE);
    EXPECT_EQ(compile("[" + a.substr(0, 524) + "]").status, FCL_E_CODE);
    EXPECT_EQ(compile("[" + a.substr(0, 519) + "]").length, FCL_MAX_CODE);
    EXPECT_EQ(compile("\"" + a.substr(0, 300) + "\" + \"" + a.substr(0, 220) + "\"").status, FCL_E_CODE);
    // Nor can 50 numbers of 9 bytes each with their 49 calls.
    std::string sum = "1";
    for (int i = 0; i < 49; ++i) sum += "+1";
    EXPECT_EQ(compile(sum).status, FCL_E_CODE);
}

TEST_F(Compiler, NumberItemsFollowTheNumberMode) {
    const Compiled in_double = compile("1.50");
    EXPECT_EQ(in_double.bytes, "02 00 0E 00 02 00 00 00 00 00 00 F8 3F 00");
    // Text-number mode: the backend's own full form of the number (FromStr, then ToStr).
    FCLSETMODE(1);
    const auto full_form = [](const char* text) {
        alignas(8) unsigned char number[FCL_NUM_MAX_SIZE];
        char out[FCL_NUM_TEXT_MAX];
        NumFromStr(number, text);
        return std::string(NumToStr(number, out, 1, -1));
    };
    const Compiled in_text = compile("1.50");
    EXPECT_EQ(in_text.items, full_form("1.50"));
    EXPECT_EQ(in_text.code[0], FCL_T_NUMBER);
    EXPECT_EQ(compile("'A' + -2").items, full_form("65") + " " + full_form("-2") + " ADD");
    const std::string many_digits = std::string(400, '9') + "." + std::string(100, '1');
    EXPECT_EQ(compile(many_digits).items, full_form(many_digits.c_str()));
}

TEST_F(Compiler, Compile2UsesTheHandleAndLeavesItsOtherFields) {
    auto* ctx = static_cast<Context*>(FCLCREATEHANDLE());
    ASSERT_NE(ctx, nullptr);
    ctx->stack_depth = 5;
    ctx->value_used = 77;
    std::memset(ctx->number_scratch2, 0x5A, sizeof ctx->number_scratch2);
    Host host = example_host();
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    const char* formulas[] = {"LEFT([Name], 3) = [Code] AND -Amount > 5", "1+2", "MID(Name, 2)", "5 < Amount"};
    for (const char* text : formulas) {
        EXPECT_EQ(FCLCOMPILE2(Host::callback, &host, text, code, &length, ctx), 0) << text;
        EXPECT_EQ(hex(code, length), compile(text).bytes) << text;
    }
    EXPECT_EQ(ctx->stack_depth, 5);
    EXPECT_EQ(ctx->value_used, 77);
    EXPECT_EQ(ctx->number_scratch2[27], 0x5A);
    EXPECT_EQ(FCLCOMPILE2(Host::callback, &host, "1 +", code, &length, ctx), FCL_E_SYNTAX);
    EXPECT_EQ(hex(code, length), kEmpty);
    FCLRELEASEHANDLE(ctx);
}

TEST_F(Compiler, CompiledFormulaRunsInAnyContext) {
    auto* first = FCLCREATEHANDLE();
    auto* second = FCLCREATEHANDLE();
    Host host = example_host();
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    ASSERT_EQ(FCLCOMPILE2(Host::callback, &host, "(1 + 2) * 4 - 10 / 4", code, &length, first), 0);
    FCLRELEASEHANDLE(first);
    unsigned char result[FCL_MAX_VALUE];
    for (FCLHANDLE handle : {second, static_cast<FCLHANDLE>(nullptr)}) {
        const uint16_t status = handle ? FCLEXECUTE2(Host::callback, &host, code, result, handle)
                                       : FCLEXECUTE(Host::callback, &host, code, result);
        ASSERT_EQ(status, 0);
        double value;
        std::memcpy(&value, result + 1, sizeof value);
        EXPECT_EQ(result[0], FCL_T_NUMBER);
        EXPECT_EQ(value, 9.5);
    }
    FCLRELEASEHANDLE(second);
}

TEST_F(Compiler, CompileClearsTheGlobalContext) {
    Context& global = global_context();
    global.stack_depth = 9;
    global.value_used = 9;
    std::memset(global.number_scratch2, 0x5A, sizeof global.number_scratch2);
    EXPECT_EQ(compile("1").status, 0);
    EXPECT_EQ(global.stack_depth, 0);
    EXPECT_EQ(global.value_used, 0);
    EXPECT_EQ(global.number_scratch2[0], 0);
}

// Items the emitter cannot express: a node kind with no item, a call with no matching record.
TEST_F(Compiler, EmitterRefusesWhatItCannotWrite) {
    auto ctx = std::make_unique<Context>();
    ctx->code_pos = 4;
    ParseNode* placeholder = new_node(*ctx, kTokPlaceholder, "", 0, 0);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(emit(*ctx, *placeholder), FCL_E_CODE);
    ParseNode* left = new_record_node(*ctx, kTokFunction, "LEFT", 4, *function_record(21), 1);
    ParseNode* name = new_node(*ctx, kTokString, "ab", 2, 0);
    ASSERT_NE(left, nullptr);
    ASSERT_NE(name, nullptr);
    name->mask = FCL_T_STRING;
    left->set_child(0, name);
    EXPECT_EQ(emit(*ctx, *left), FCL_E_CODE);
    EXPECT_EQ(ctx->code_pos, 4 + 4);  // the argument was written, the call was not
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ctx->code_build + 5)), "ab");
}

}  // namespace
}  // namespace fcl::test
