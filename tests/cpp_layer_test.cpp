// The C++ layer of fclib.hpp: compile and run with a lambda for the fields, errors as values
// with compile diagnostics, lookups that fail or throw, running aggregates over records,
// Context ownership, Decimal arithmetic and a run in text-number mode.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fclib.hpp"

namespace {

using fcl::Value;

// Restores the number-encoding mode and the backend found at construction.
struct KeepProcessState {
    const std::int32_t mode = FCLMODE();
    const std::int32_t backend = NumType();
    ~KeepProcessState() {
        NumSetup(backend);
        FCLSETMODE(mode);
    }
};

const std::map<std::string, Value, std::less<>> g_record = {
    {"Name", Value::from_string("abc")},   {"Price", Value::from_number(12.5)},
    {"Qty", Value::from_number_text("4")}, {"Day", Value::from_date("20240315")},
    {"Open", Value::from_logical(true)},
};

// A plain function as the field lookup.
std::optional<Value> report_fields(std::string_view name) {
    const auto found = g_record.find(name);
    return found == g_record.end() ? std::nullopt : std::optional<Value>(found->second);
}

TEST(CppLayer, CompilesAndExecutesWithLambdaFields) {
    const struct {
        const char* text;
        Value expected;
    } cases[] = {
        {"LEFT([Name], 2) + \"!\"", Value::from_string("ab!")},
        {"[Price] * [Qty]", Value::from_number(50)},
        {"ADATE([Day], 17)", Value::from_date("20240401")},
        {"Open AND YEAR([Day]) = 2024", Value::from_logical(true)},
        {"[Price] < 12", Value::from_logical(false)},
        {"CTOT(\"12:30:45\")", Value::from_time("123045")},
        {"", Value::from_string("")},
    };
    int asked = 0;  // a lambda with state as the field lookup
    const auto fields = [&asked](std::string_view name) {
        ++asked;
        return report_fields(name);
    };
    fcl::Context ctx;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const fcl::Result<fcl::Formula> formula = ctx.compile(c.text, fields);
        ASSERT_TRUE(formula) << formula.error().message;
        EXPECT_EQ(formula->result_type(), c.expected.type());
        const fcl::Result<fcl::Value> value = ctx.execute(*formula, fields);
        ASSERT_TRUE(value) << value.error().message;
        EXPECT_EQ(*value, c.expected);
        // The stored bytes load again and run in a new context to the same value.
        const std::vector<unsigned char> stored = formula->bytes();
        const auto loaded = fcl::Formula::from_bytes(stored.data(), stored.size());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(*fcl::Context().execute(*loaded, fields), c.expected);
    }
    EXPECT_EQ(asked, 3 * 7);  // each of the seven references at compile time and in both runs
    const unsigned char garbage[] = {2, 0, 99, 0, 0, 0, 0};
    EXPECT_EQ(fcl::Formula::from_bytes(garbage, sizeof garbage).error().status, FCL_E_CODE);
}

TEST(CppLayer, FailedCompileCarriesStatusOffsetAndToken) {
    const struct {
        const char* text;
        std::uint16_t status;
        int offset;
        const char* token;
        const char* reason;
    } cases[] = {
        {"1 + * 2", FCL_E_SYNTAX, 4, "*", ""},
        {"FOO(1)", FCL_E_UNKNOWN_NAME, 0, "FOO", "no function is named FOO"},
        {"  1 + FOO(1)", FCL_E_UNKNOWN_NAME, 6, "FOO", "no function is named FOO"},
        {"LEFT(\"abc\")", FCL_E_TYPE, 0, "LEFT", "no form of LEFT takes 1 argument"},
        {"IF(1 = 1, \"x\", 0)", FCL_E_TYPE, 15, "0", "the values to choose from differ: a string and a number (value 2)"},
        {"1 / \"x\"", FCL_E_TYPE, 4, "\"x\"", "a string where a number is expected: the second operand of the call"},
    };
    fcl::Context ctx;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto formula = ctx.compile(c.text, report_fields);
        ASSERT_FALSE(formula);
        EXPECT_EQ(formula.error().status, c.status);
        EXPECT_EQ(formula.error().message, fcl::status_message(c.status));
        EXPECT_EQ(formula.error().offset, c.offset);
        EXPECT_EQ(formula.error().token, c.token);
        EXPECT_EQ(formula.error().reason, c.reason);
    }
    EXPECT_EQ(ctx.compile(std::string(FCL_MAX_TEXT + 1, '1')).error().offset, FCL_MAX_TEXT);
}

TEST(CppLayer, LookupThatFailsOrThrowsIsAStatusNotACrash) {
    fcl::Context ctx;
    const auto formula = ctx.compile("[Price] + 1", report_fields);
    ASSERT_TRUE(formula);
    const auto unknown = ctx.execute(*formula, [](std::string_view) { return std::optional<Value>(); });
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().status, FCL_E_CALLBACK);
    EXPECT_EQ(unknown.error().token, "Price");
    const auto throws = [](std::string_view name) -> std::optional<Value> {
        if (name == "Price") throw std::runtime_error("database gone");
        throw 42;
    };
    const auto at_run = ctx.execute(*formula, throws);
    ASSERT_FALSE(at_run);
    EXPECT_EQ(at_run.error().status, FCL_E_CALLBACK);
    EXPECT_NE(at_run.error().message.find("database gone"), std::string::npos);
    EXPECT_EQ(ctx.compile("[Other]", throws).error().status, FCL_E_CALLBACK);
    const auto too_long = [](std::string_view) { return Value::from_string(std::string(FCL_RAW_BUFFER, 'x')); };
    EXPECT_EQ(ctx.execute(*ctx.compile("[Long]", too_long), too_long).error().status, FCL_E_CALLBACK);
    // The context is still usable. A P aggregate asks the lookup for its field's value once more;
    // a running one without Records is refused.
    std::vector<std::string> asked;
    const auto recording = [&](std::string_view name) {
        asked.emplace_back(name);
        return report_fields(name);
    };
    const auto total = ctx.execute(*ctx.compile("PSUM([Qty]) + 1", recording), recording);
    ASSERT_TRUE(total) << total.error().message;
    EXPECT_EQ(total->number(), 5.0);
    EXPECT_EQ(asked, (std::vector<std::string>{"Qty", "Qty", "Qty"}));
    const auto running = ctx.execute(*ctx.compile("SUM([Price])", recording), recording);
    ASSERT_FALSE(running);
    EXPECT_EQ(running.error().status, FCL_E_CALLBACK);
    EXPECT_NE(running.error().message.find("fcl::Records"), std::string::npos);
}

TEST(CppLayer, RunningAggregatesTotalOverRecordsAndRestartPerGroup) {
    FCLINIT(0, nullptr);  // fixed work areas, all zero
    const struct {
        char group;
        double amount;
        double sum, max;  // the totals of the group so far
    } records[] = {
        {'A', 100, 100, 100}, {'A', 250.5, 350.5, 250.5},
        {'B', 40, 40, 40},    {'B', 60, 100, 60},         {'B', 5, 105, 60},
    };
    double amount = 0;
    const auto fields = [&amount](std::string_view name) -> std::optional<Value> {
        if (name == "Amount") return Value::from_number(amount);
        return std::nullopt;
    };
    fcl::Context ctx;
    const auto sum = ctx.compile("SUM([Amount])", fields);
    const auto max = ctx.compile("MAX([Amount])", fields);
    ASSERT_TRUE(sum && max);
    fcl::Records pass;
    EXPECT_EQ(ctx.execute(*sum, fields, pass).error().status, FCL_E_CALLBACK);  // no record yet
    const std::size_t count = sizeof records / sizeof records[0];
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        amount = records[i].amount;
        pass.next(i + 1 == count || records[i + 1].group != records[i].group);
        const auto total = ctx.execute(*sum, fields, pass);
        const auto largest = ctx.execute(*max, fields, pass);
        ASSERT_TRUE(total && largest) << (total ? largest.error().message : total.error().message);
        EXPECT_EQ(total->number(), records[i].sum);
        EXPECT_EQ(largest->number(), records[i].max);
    }
    // Eleven running SUMs in one record: the fixed areas' ten slots are not enough.
    std::string eleven = "SUM([Amount])";
    for (int i = 0; i < 10; ++i) eleven += " + SUM([Amount])";
    pass.next(true);
    const auto over = ctx.execute(*ctx.compile(eleven, fields), fields, pass);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().status, pass.pass_key());
    pass.next(true);
    EXPECT_EQ(ctx.execute(*sum, fields, pass)->number(), amount);  // the ten slots were cleared
}

TEST(CppLayer, ContextMovesOwnershipAndMovedFromIsEmpty) {
    fcl::Context a;
    ASSERT_FALSE(a.empty());
    const FCLHANDLE handle = a.handle();
    fcl::Context b(std::move(a));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(b.handle(), handle);
    EXPECT_EQ(a.compile("1").error().status, FCL_E_CODE);
    EXPECT_EQ(a.execute(fcl::Formula()).error().status, FCL_E_CODE);
    fcl::Context c;
    c = std::move(b);  // c's own handle is released, b's taken over
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(c.handle(), handle);
    fcl::Context& same = c;
    c = std::move(same);  // moving to itself keeps the handle
    EXPECT_EQ(c.execute(*c.compile("2 * 3"))->number(), 6.0);
    a = fcl::Context();
    EXPECT_FALSE(a.empty());
}

TEST(CppLayer, DecimalArithmeticFollowsTheBackend) {
    const KeepProcessState keep;
    NumSetup(FCL_BACKEND_DECIMAL);
    using fcl::Decimal;
    EXPECT_EQ(Decimal("0.1") + Decimal("0.2"), Decimal("0.3"));
    EXPECT_NE(Decimal("0.1") + Decimal("0.2"), Decimal("0.30000001"));
    EXPECT_LT(Decimal(-2), Decimal("-1.5"));
    EXPECT_EQ((Decimal(1) / Decimal(4) - Decimal("0.25")).to_string(), "0");
    const struct {
        Decimal number;
        std::int32_t style, digits;
        const char* text;
    } cases[] = {
        {Decimal("0.1") + Decimal("0.2"), FCL_NUM_PLAIN, -1, "0.3"},
        {Decimal("1.5"), FCL_NUM_FULL, -1, "150000000e-8"},
        {-Decimal("2.75") * Decimal(2), FCL_NUM_PLAIN, -1, "-5.5"},
        {Decimal("12345678901234567890.5") * Decimal(10), FCL_NUM_PLAIN, -1, "123456789012345678905"},
        {Decimal(7) / Decimal(0), FCL_NUM_PLAIN, -1, "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.number.to_string(c.style, c.digits), c.text);
    NumSetup(0);  // the double backend is not exact
    EXPECT_NE(Decimal("0.1") + Decimal("0.2"), Decimal("0.3"));
}

TEST(CppLayer, TextNumberModeGivesTheNumberPayload) {
    const KeepProcessState keep;
    NumSetup(FCL_BACKEND_DECIMAL);
    const auto fields = [](std::string_view name) -> std::optional<Value> {
        if (name == "A") return Value::from_number_text("0.1");
        return std::nullopt;
    };
    FCLSETMODE(1);
    fcl::Context ctx;
    const auto sum = ctx.execute(*ctx.compile("[A] + 0.2", fields), fields);
    ASSERT_TRUE(sum) << sum.error().message;
    EXPECT_TRUE(sum->number_is_text());
    EXPECT_EQ(sum->number_text(), "30000000e-8");
    EXPECT_EQ(sum->number(), 0.3);
    EXPECT_EQ(fcl::Decimal(sum->number_text()), fcl::Decimal("0.3"));
    EXPECT_TRUE(ctx.execute(*ctx.compile("[A] + 0.2 = 0.3", fields), fields)->logical());
    FCLSETMODE(0);
    EXPECT_FALSE(ctx.execute(*ctx.compile("[A] + 0.2 = 0.3", fields), fields)->logical());
}

}  // namespace
