// The aggregates, driven by a host double that answers the aggregate requests the way a report
// engine does: a pass key per record, values per call site, and the end marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fclib.h"
#include "functions/aggregates.h"
#include "interface/work_areas.h"
#include "scoped_profile.h"

namespace fcl::test {
namespace {

// A value the host hands over: a number (as text, as a double or as a 32-bit integer) or a string.
struct Supplied {
    enum Form { Text, Double, Int32, String } form;
    double number;
    std::string text;
};

Supplied text(double x) { return {Supplied::Text, x, std::to_string(x)}; }
Supplied dbl(double x) { return {Supplied::Double, x, ""}; }
Supplied i32(double x) { return {Supplied::Int32, x, ""}; }
Supplied str(const std::string& s) { return {Supplied::String, 0, s}; }

// The values of one aggregate call, and how the host ends them.
struct Batch {
    std::vector<Supplied> values;
    std::uint16_t end_mark = FCL_AGG_CONTINUE;
};

class ReportHost {
public:
    std::uint16_t pass_key = 100;
    std::uint16_t query_answer = FCL_AGG_RESET;  // 0xFFFF: the plain aggregate goes on
    int busy_answers = 0;                        // "again" answers before every real answer
    bool busy_forever = false;
    std::map<std::string, std::deque<Batch>> batches;  // per reference name, one batch per call
    std::vector<std::string> log;                      // the aggregate requests seen
    std::vector<std::uint16_t> entry_types;            // type word on entry of each value request

    void supply(const std::string& name, Batch batch) { batches[name].push_back(std::move(batch)); }

    static std::int32_t callback(void* first, const char* name, void* raw, std::uint16_t* type) {
        ReportHost& host = *current();
        if (first == &host) return field(name, raw, type);
        std::int32_t request = 0;
        std::memcpy(&request, first, sizeof request);
        if (request == 3) {
            host.log.push_back("query");
            return host.query_answer;
        }
        const bool p_form = request != 2;
        if (host.pending_busy_ == 0) {
            host.log.push_back(p_form ? "P " + std::string(static_cast<const char*>(first)) + " " + name
                                      : std::string("value ") + name);
            host.entry_types.push_back(*type);
        }
        if (host.busy_forever || host.pending_busy_ < host.busy_answers) {
            ++host.pending_busy_;
            return p_form ? 1 : FCL_AGG_RESET;
        }
        host.pending_busy_ = 0;
        host.next_value(name, raw, type, p_form);
        return p_form ? 0 : host.pass_key;
    }

    static ReportHost*& current() {
        static ReportHost* host = nullptr;
        return host;
    }

    // A new record: a call that the library abandoned (at the slot limit) leaves no half batch.
    void start_record() {
        if (cursor_ > 0 && !batches[last_name_].empty()) batches[last_name_].pop_front();
        cursor_ = 0;
        pending_busy_ = 0;
    }

private:
    // Field requests (compile-time type queries and run-time fetches): FLAG is the logical true,
    // every other field the number 1.
    static std::int32_t field(const char* name, void* raw, std::uint16_t* type) {
        *type = std::strcmp(name, "FLAG") == 0 ? FCL_T_LOGICAL : FCL_T_NUMBER;
        if (raw) std::strcpy(static_cast<char*>(raw), "1");
        return 0;
    }

    void next_value(const std::string& name, void* raw, std::uint16_t* type, bool p_form) {
        last_name_ = name;
        std::deque<Batch>& queue = batches[name];
        if (queue.empty() || cursor_ == queue.front().values.size()) {
            *type = p_form ? FCL_AGG_RESET : (queue.empty() ? FCL_AGG_CONTINUE : queue.front().end_mark);
            if (!queue.empty()) queue.pop_front();
            cursor_ = 0;
            return;
        }
        const Supplied& value = queue.front().values[cursor_++];
        switch (value.form) {
            case Supplied::Text:
                *type = FCL_T_NUMBER;
                std::strcpy(static_cast<char*>(raw), value.text.c_str());
                break;
            case Supplied::Double:
                *type = FCL_T_NUMBER | (FCL_RAW_DOUBLE << 8);
                std::memcpy(raw, &value.number, sizeof value.number);
                break;
            case Supplied::Int32: {
                const std::int32_t n = static_cast<std::int32_t>(value.number);
                *type = FCL_T_NUMBER | (FCL_RAW_I32 << 8);
                std::memcpy(raw, &n, sizeof n);
                break;
            }
            case Supplied::String:
                *type = FCL_T_STRING;
                std::strcpy(static_cast<char*>(raw), value.text.c_str());
                break;
        }
    }

    std::string last_name_;
    std::size_t cursor_ = 0;
    int pending_busy_ = 0;
};

void init_work_areas_with(std::int32_t mode) { FCLINIT(0, &mode); }

class Aggregates : public ::testing::TestWithParam<std::int32_t> {
protected:
    void SetUp() override {
        FCLSETMODE(GetParam());
        reset_aggregate_state();
        ReportHost::current() = &host_;
        ScopedProfile no_sizes("[Fclib]\n");
        init_work_areas_with(1);
    }
    void TearDown() override {
        init_work_areas_with(2);
        ReportHost::current() = nullptr;
        FCLSETMODE(0);
    }
    bool text_mode() const { return GetParam() != 0; }

    // Slot i of the SUM work area in the current encoding.
    double sum_slot(int i) const {
        WorkArea& area = work_area(Aggregate::Sum);
        if (!text_mode()) return area.doubles[i];
        char plain[FCL_NUM_TEXT_MAX];
        NumToStr(slot_number(area, i), plain, -1, -1);
        return std::strtod(plain, nullptr);
    }

    std::vector<std::uint8_t> compile(const std::string& formula) {
        std::vector<std::uint8_t> code(FCL_MAX_CODE);
        std::uint16_t length = 0;
        EXPECT_EQ(FCLCOMPILE(ReportHost::callback, &host_, formula.c_str(), code.data(), &length), 0) << formula;
        return code;
    }

    // Runs a formula once (one record); the status, and the number result when status is 0.
    std::uint16_t run(const std::vector<std::uint8_t>& code, double* number = nullptr) {
        std::memset(result_, 0xCC, sizeof result_);
        host_.start_record();
        const std::uint16_t status = FCLEXECUTE(ReportHost::callback, &host_, code.data(), result_);
        if (number) *number = number_of(result_);
        return status;
    }

    double run_number(const std::string& formula) {
        double x = -999;
        EXPECT_EQ(run(compile(formula), &x), 0) << formula;
        return x;
    }

    // A number result in either encoding (NaN when the result is not a number).
    double number_of(const std::uint8_t* value) const {
        if (value[0] != FCL_T_NUMBER) return std::nan("");
        if (!text_mode()) {
            double x;
            std::memcpy(&x, value + 1, sizeof x);
            return x;
        }
        alignas(8) std::uint8_t n[FCL_NUM_MAX_SIZE];
        NumFromStr(n, reinterpret_cast<const char*>(value + 1));
        char plain[FCL_NUM_TEXT_MAX];
        NumToStr(n, plain, -1, -1);
        return std::strtod(plain, nullptr);
    }

    ReportHost host_;
    std::uint8_t result_[FCL_MAX_VALUE];
};

// SUM(PRICE): 5 on three passes that keep the total, 1 on a pass that ends with reset, then a
// fresh start.
TEST_P(Aggregates, SumAccumulatesOverPassesUntilReset) {
    const auto code = compile("SUM([PRICE])");
    struct Pass {
        std::uint16_t key;
        Batch batch;
        double expected;
    };
    const Pass passes[] = {
        {1, {{text(5)}, FCL_AGG_CONTINUE}, 5},  {2, {{dbl(5)}, FCL_AGG_CONTINUE}, 10},
        {3, {{i32(5)}, FCL_AGG_CONTINUE}, 15}, {4, {{text(1)}, FCL_AGG_RESET}, 16},
        {5, {{text(7)}, FCL_AGG_CONTINUE}, 7},
    };
    for (const Pass& pass : passes) {
        host_.pass_key = pass.key;
        host_.supply("PRICE", pass.batch);
        double x = 0;
        ASSERT_EQ(run(code, &x), 0);
        EXPECT_EQ(x, pass.expected) << "pass " << pass.key;
    }
    // Each call: the query, then value requests until the end mark.
    EXPECT_EQ(host_.log.size(), 5u * 3u);
    EXPECT_EQ(host_.log[0], "query");
    EXPECT_EQ(host_.log[1], "value PRICE");
    EXPECT_EQ(host_.log[2], "value PRICE");
    // The first request of a call carries the reference kind; later ones what the host left.
    EXPECT_EQ(host_.entry_types[0], FCL_T_FIELD);
    EXPECT_EQ(host_.entry_types[1], FCL_T_NUMBER);
}

TEST_P(Aggregates, NameReferenceIsAskedForByItsName) {
    host_.supply("Qty", {{text(2), text(3)}, FCL_AGG_CONTINUE});
    EXPECT_EQ(run_number("SUM(Qty)"), 5);
    EXPECT_EQ(host_.log[1], "value Qty");
    EXPECT_EQ(host_.entry_types[0], FCL_T_NAME);
}

// Call sites take slots in execution order; a new pass key restarts the numbering.
TEST_P(Aggregates, CallSitesFindTheirSlotsAgainOnEachPass) {
    const auto sum_a = compile("SUM([A])");
    const auto sum_b = compile("SUM([B])");
    host_.pass_key = 10;
    host_.supply("A", {{text(1)}});
    host_.supply("B", {{text(10)}});
    double a = 0, b = 0;
    ASSERT_EQ(run(sum_a, &a), 0);
    ASSERT_EQ(run(sum_b, &b), 0);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 10);
    EXPECT_EQ(sum_slot(0), 1);
    EXPECT_EQ(sum_slot(1), 10);

    host_.pass_key = 11;
    host_.supply("A", {{text(2)}});
    host_.supply("B", {{text(20)}});
    ASSERT_EQ(run(sum_a, &a), 0);
    ASSERT_EQ(run(sum_b, &b), 0);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 30);

    // The same key again: the numbering goes on with slots 2 and 3.
    host_.supply("A", {{text(4)}});
    host_.supply("B", {{text(40)}});
    ASSERT_EQ(run(sum_a, &a), 0);
    ASSERT_EQ(run(sum_b, &b), 0);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 40);
    EXPECT_EQ(sum_slot(2), 4);
    EXPECT_EQ(sum_slot(3), 40);
    EXPECT_EQ(sum_slot(0), 3);
}

// With "SumSize" 2 a third call site reports 0, hands back the pass key as its status and
// leaves the slot counter where it is.
TEST_P(Aggregates, CallSitesBeyondTheSizeReportZero) {
    {
        ScopedProfile sizes("[Fclib]\nSumSize=2\n");
        init_work_areas_with(1);
    }
    ASSERT_EQ(work_area(Aggregate::Sum).capacity, 2);
    const auto code = compile("SUM([P])");
    struct Row {
        std::uint16_t key;
        std::uint16_t status;
        double value;
    };
    const Row rows[] = {
        {7, 0, 5}, {7, 0, 5}, {7, 7, 0}, {7, 7, 0},  // slots 0, 1, then the limit twice
        {0, 0, 10}, {0, 0, 10}, {0, 0, 0},           // next pass; a key of 0 is status 0 at the limit
    };
    for (const Row& row : rows) {
        host_.pass_key = row.key;
        host_.supply("P", {{text(5)}});
        double x = -1;
        EXPECT_EQ(run(code, &x), row.status);
        EXPECT_EQ(x, row.value);
    }
}

TEST_P(Aggregates, MinAndMaxOverThreeHundredValues) {
    std::vector<double> values;
    for (int i = 0; i < 300; ++i) values.push_back(1000 - 3 * i + (i % 7) * 0.25);
    std::mt19937 shuffle(12345);
    std::shuffle(values.begin(), values.end(), shuffle);
    Batch batch;
    for (double v : values) batch.values.push_back(text(v));
    host_.supply("X", batch);
    host_.supply("X", batch);
    EXPECT_EQ(run_number("MIN([X])"), *std::min_element(values.begin(), values.end()));
    EXPECT_EQ(run_number("MAX([X])"), *std::max_element(values.begin(), values.end()));
    // A query and 301 value requests per call.
    EXPECT_EQ(host_.log.size(), 2u * 302u);
}

TEST_P(Aggregates, PFormsAggregateOneCall) {
    struct Row {
        const char* formula;
        const char* request;
        double expected;
    };
    const Row rows[] = {
        {"PAVG([X])", "P AVG X", 4}, {"PCOUNT([X])", "P COUNT X", 3}, {"PSUM([X])", "P SUM X", 12},
        {"PMIN([X])", "P MIN X", 2}, {"PMAX([X])", "P MAX X", 6},
    };
    for (const Row& row : rows) {
        host_.log.clear();
        host_.supply("X", {{text(4), dbl(2), i32(6)}});
        EXPECT_EQ(run_number(row.formula), row.expected) << row.formula;
        ASSERT_EQ(host_.log.size(), 4u) << row.formula;  // three values and the end mark
        EXPECT_EQ(host_.log[0], row.request);
    }
    // The P forms keep nothing: the same call again sees only its own values.
    host_.supply("X", {{text(10)}});
    EXPECT_EQ(run_number("PSUM([X])"), 10);
}

// A query answered 0xFFFE turns a plain aggregate into its P form, with the name "SUM".
TEST_P(Aggregates, QueryAnsweredContinueGivesPBehaviour) {
    host_.query_answer = FCL_AGG_CONTINUE;
    host_.supply("X", {{text(1), text(2)}});
    EXPECT_EQ(run_number("SUM([X])"), 3);
    const std::vector<std::string> expected = {"query", "P SUM X", "P SUM X", "P SUM X"};
    EXPECT_EQ(host_.log, expected);
    // No slot was used: a following plain call starts from slot 0 with nothing in it.
    host_.query_answer = FCL_AGG_RESET;
    host_.supply("X", {{text(5)}});
    EXPECT_EQ(run_number("SUM([X])"), 5);
}

// Any other answer to the query: no value is written and no value request follows.
TEST_P(Aggregates, QueryAnsweredOtherwiseWritesNoValue) {
    host_.query_answer = 5;
    const auto one = compile("AVG([X])");
    EXPECT_EQ(run(one), 0);
    EXPECT_EQ(result_[0], FCL_T_STRING);  // the argument count 1 read as a value
    EXPECT_EQ(result_[1], 0);
    // A two-argument call writes number zero instead of a number with a stale payload.
    double x = -1;
    EXPECT_EQ(run(compile("AVG([X], 1 = 1)"), &x), 0);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(host_.log, std::vector<std::string>(2, "query"));
}

// Without a reference before the call: no value, no value request, and the slot counter moves on.
TEST_P(Aggregates, NoReferenceBeforeTheCallSkipsASlot) {
    host_.pass_key = 20;
    host_.supply("A", {{text(1)}});
    EXPECT_EQ(run(compile("SUM([A])")), 0);  // slot 0
    EXPECT_EQ(run(compile("SUM(1)")), 0);    // skips slot 1
    EXPECT_EQ(result_[0], FCL_T_STRING);
    host_.supply("A", {{text(9)}});
    EXPECT_EQ(run_number("SUM([A])"), 9);  // slot 2
    EXPECT_EQ(sum_slot(1), 0);
    EXPECT_EQ(sum_slot(2), 9);
    // In a two-argument call the item before is the last of the second argument.
    host_.supply("FLAG", {{text(4)}});
    EXPECT_EQ(run_number("SUM(2, [FLAG])"), 4);
    EXPECT_EQ(run_number("SUM([A], 1 = 1)"), 0);
}

TEST_P(Aggregates, CountCountsAnyValue) {
    host_.supply("N", {{str("a"), text(0), str("")}});
    EXPECT_EQ(run_number("COUNT([N])"), 3);
    EXPECT_EQ(host_.log[0], "value N");  // COUNT sends no query
    host_.pass_key = 200;
    host_.supply("N", {{str("b")}, FCL_AGG_RESET});
    EXPECT_EQ(run_number("COUNT([N])"), 4);  // slot 0 again: 3 + 1, then cleared
    host_.pass_key = 201;
    host_.supply("N", {{str("c")}});
    EXPECT_EQ(run_number("COUNT([N])"), 1);
    host_.supply("N", {{}, FCL_AGG_RESET});
    EXPECT_EQ(run_number("PCOUNT([N])"), 0);
}

// COUNT has 64 slots: further call sites of a pass report 0 without indexing past them, and
// hand back the pass key as their status like the other kinds at their limit.
TEST_P(Aggregates, CountBeyondSixtyFourCallSites) {
    const auto code = compile("COUNT([N])");
    for (const std::uint16_t key : {0, 9}) {
        host_.pass_key = key;
        for (int site = 0; site < 64; ++site) {
            host_.supply("N", {{str("x")}, FCL_AGG_RESET});
            double x = 0;
            ASSERT_EQ(run(code, &x), 0);
            EXPECT_EQ(x, 1);
        }
        for (int site = 64; site < 66; ++site) {
            host_.supply("N", {{str("x")}, FCL_AGG_RESET});
            double x = -1;
            EXPECT_EQ(run(code, &x), key);
            EXPECT_EQ(x, 0);
        }
    }
}

TEST_P(Aggregates, AveragesAndEmptyResults) {
    host_.supply("X", {{text(2), text(4)}});
    EXPECT_EQ(run_number("AVG([X])"), 3);
    host_.supply("X", {{text(6)}});
    EXPECT_EQ(run_number("AVG([X])"), 6);  // slot 1 in the same pass
    host_.pass_key = 101;
    host_.supply("X", {{text(6)}, FCL_AGG_RESET});
    EXPECT_EQ(run_number("AVG([X])"), 4);  // slot 0 again: 2, 4, 6, then cleared
    // No values at all: zero, not a division by zero.
    host_.pass_key = 102;
    EXPECT_EQ(run_number("AVG([X])"), 0);
    EXPECT_EQ(run_number("PAVG([X])"), 0);
    EXPECT_EQ(run_number("PMIN([X])"), 0);
    EXPECT_EQ(run_number("PMAX([X])"), 0);
    EXPECT_EQ(run_number("MIN([X])"), 0);
    EXPECT_EQ(run_number("PCOUNT([X])"), 0);
}

TEST_P(Aggregates, ValuesThatAreNotNumbersAreSkipped) {
    const Batch batch{{str("abc"), text(3), str("9"), text(1)}, FCL_AGG_CONTINUE};
    const struct {
        const char* formula;
        double expected;
    } rows[] = {{"SUM([X])", 4}, {"AVG([X])", 2}, {"MIN([X])", 1}, {"MAX([X])", 3},
                {"PSUM([X])", 4}, {"PAVG([X])", 2}, {"PMIN([X])", 1}, {"PMAX([X])", 3}, {"PCOUNT([X])", 4}};
    for (const auto& row : rows) {
        host_.pass_key = static_cast<std::uint16_t>(host_.pass_key + 1);
        host_.supply("X", batch);
        EXPECT_EQ(run_number(row.formula), row.expected) << row.formula;
    }
}

TEST_P(Aggregates, AgainAnswersAreRepeated) {
    host_.busy_answers = 3;
    host_.supply("X", {{text(2), text(5)}});
    EXPECT_EQ(run_number("SUM([X])"), 7);
    host_.supply("X", {{text(2), text(5)}});
    EXPECT_EQ(run_number("PMAX([X])"), 5);
}

// A host that never stops answering "again" cannot hold the library forever.
TEST_P(Aggregates, EndlessAgainAnswersStopWithCallbackFailure) {
    host_.busy_forever = true;
    EXPECT_EQ(run(compile("SUM([X])")), FCL_E_CALLBACK);
    EXPECT_EQ(run(compile("PSUM([X])")), FCL_E_CALLBACK);
    EXPECT_EQ(number_of(result_), 0);  // the blank value of the formula
}

// Work areas sized in one encoding and used in the other stay within their fixed areas.
TEST_P(Aggregates, AreasSizedInTheOtherEncodingUseTenSlots) {
    FCLSETMODE(text_mode() ? 0 : 1);
    {
        ScopedProfile sizes("[Fclib]\nSumSize=20\n");
        init_work_areas_with(1);
    }
    FCLSETMODE(GetParam());
    const auto code = compile("SUM([P])");
    host_.pass_key = 3;
    for (int site = 0; site < 12; ++site) {
        host_.supply("P", {{text(1)}});
        double x = -1;
        EXPECT_EQ(run(code, &x), site < 10 ? 0 : 3) << site;
        EXPECT_EQ(x, site < 10 ? 1 : 0) << site;
    }
}

// FCLINIT with a mode other than 1, 2 and 3: the fixed areas, ten slots each.
TEST_P(Aggregates, FixedAreasHoldTenSlots) {
    init_work_areas_with(0);
    const auto code = compile("MAX([X])");
    host_.pass_key = 4;
    for (int site = 0; site < 11; ++site) {
        host_.supply("X", {{text(site)}});
        double x = -1;
        EXPECT_EQ(run(code, &x), site < 10 ? 0 : 4);
        EXPECT_EQ(x, site < 10 ? site : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Aggregates, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<std::int32_t>& info) {
                             return info.param ? "TextNumbers" : "DoubleNumbers";
                         });

}  // namespace
}  // namespace fcl::test
