// Every function family on several threads at once, each thread with its own handle, in a fresh
// process of its own. Results of formulas that keep no state must match, byte for byte, what one
// thread computes; the process-wide PAGE counter and aggregate slots are checked through
// invariants that hold only if no update is lost or torn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fclib.h"
#include "fresh_process.h"
#include "profile_file.h"

namespace fcl::test {
namespace {

constexpr int kThreads = 4;
// Fewer where each profile read is slow (under Wine every era call opens the profile file ten
// times through the Wine server).
#ifndef FCLIB_THREAD_PASSES
#define FCLIB_THREAD_PASSES 500
#endif
constexpr int kPasses = FCLIB_THREAD_PASSES;
constexpr int kPagesPerPass = 5;
constexpr long kFirstPage = 1000;

// Holds each thread until all have arrived, again and again. Not std::barrier: libstdc++ builds it
// on atomic waits, which without a futex (Windows) fall back to a shared waiter pool; a mutex and
// a condition variable behave alike on every platform the tests run on.
class Rendezvous {
public:
    explicit Rendezvous(int count) : count_(count) {}

    void arrive_and_wait() {
        std::unique_lock lock(mutex_);
        const long round = round_;
        if (++arrived_ == count_) {
            arrived_ = 0;
            ++round_;
            all_here_.notify_all();
            return;
        }
        all_here_.wait(lock, [&] { return round_ != round; });
    }

private:
    std::mutex mutex_;
    std::condition_variable all_here_;
    const int count_;
    int arrived_ = 0;
    long round_ = 0;
};

struct Field {
    const char* name;
    std::uint16_t type;
    const char* value;
};
const Field kFields[] = {{"Name", FCL_T_STRING, "Yamada Taro"}, {"Amount", FCL_T_NUMBER, "1234.5"},
                         {"Day", FCL_T_DATE, "20240315"}, {"Clock", FCL_T_TIME, "123456"}, {"V", FCL_T_NUMBER, "7"}};

// Formulas whose results depend only on their text and fields. FORMAT comes first so that the
// threads' first runs, the first FORMAT calls of the process, load the minus marks together;
// "\x81\xA2" is the mark the profile names.
const char* const kPureFormulas[] = {
    "FORMAT(-1234, \"\x81\xA2ZZZ,ZZ9\")", "FORMAT(-12, \"ZZZ9\")", "FORMAT([Amount], \"$ZZZ,ZZ9.99\")",
    "FORMAT(-0.5, \"9.99\")", "FORMAT([Day], \"9999/99/99\")",
    "1 + 2 * 3 - 4 / 8", "[Amount] * 3 - 0.5", "ROUND([Amount] / 7) + INT(-7.5) + ABS(-3)",
    "LEFT([Name], 6) + RIGHT([Name], 4)", "MID([Name], 3, 4)", "REPLACE([Name], \"a\", \"@\")",
    "REVERSE([Name])", "LEN(REP(\"ab\", 7)) + AT(\"Taro\", [Name])", "STR([Amount])",
    "LIKE([Name], \"Y*T?ro\")", "LIKE([Name], \"*x*\")", "LIKE(\"a*c\", \"a\\\\*c\")",
    "DTOC(CTOD(\"2024/02/28\"))", "ADATE([Day], 30)", "CDOW(ADATE([Day], 1))", "MONTH2([Day])",
    "SEI2WA([Day])", "WA2SEI(\"H 010108\")", "SEI2WA1Z(CTOD(\"1999/10/10\"))", "NENGO([Day])", "WYEAR([Day])",
    "ATIME([Clock], 3600)", "CTIME(\"120000\", \"110000\")", "TTOC([Clock])", "HOUR([Clock]) + MINT([Clock])",
    "IF([Amount] > 1000, \"big\", \"small\")", "SELECT(2, \"a\", \"b\", \"c\")",
    "PSUM([V])", "PAVG([V])", "PMIN([V])", "PMAX([V])", "PCOUNT([V])",
};
const std::vector<std::string> kPValues = {"4", "2", "6"};

// The plain aggregates: call sites per thread and pass, and the slots a pass can take.
enum Kind { Count, Sum, Avg, Min, Max, kKinds };
const struct {
    const char* formula;
    int calls;
    int capacity;
} kPlain[kKinds] = {{"COUNT([V])", 24, 64}, {"SUM([V])", 4, 10}, {"AVG([V])", 4, 10},
                    {"MIN([V])", 4, 10},    {"MAX([V])", 4, 10}};

const char* const kNumbers[][2] = {{"12.5", "-3"}, {"0.1", "0.2"}, {"99999999999", "1.000001"}};

struct Runner;
// Aggregate requests do not carry the callback data, so each thread finds its runner here.
thread_local Runner* t_runner = nullptr;
int32_t callback(void* first, const char* name, void* raw, uint16_t* type);

// One thread's handle and host: the fields, and the values, pass key and end mark that the next
// aggregate call receives. Every run hands out its values from the first.
struct Runner {
    FCLHANDLE handle = FCLCREATEHANDLE();
    unsigned char result[FCL_MAX_VALUE] = {};
    std::vector<std::string> values;
    std::size_t cursor = 0;
    std::uint16_t key = 1;
    std::uint16_t end = FCL_AGG_CONTINUE;
    int asked = 0;  // value requests of plain aggregates in the current run
    ~Runner() { FCLRELEASEHANDLE(handle); }

    // The compiled formula's bytes.
    std::string compile(const char* formula) {
        t_runner = this;
        unsigned char code[FCL_MAX_CODE];
        uint16_t length = 0;
        EXPECT_EQ(FCLCOMPILE2(callback, this, formula, code, &length, handle), 0) << formula;
        return std::string(reinterpret_cast<const char*>(code), length);
    }
    uint16_t run(const std::string& code, const std::vector<std::string>& supplied = kPValues) {
        t_runner = this;
        values = supplied;
        cursor = 0;
        asked = 0;
        return FCLEXECUTE2(callback, this, reinterpret_cast<const unsigned char*>(code.data()), result, handle);
    }
    // The result value's bytes: type byte and payload, a text payload with its terminator.
    std::string value() const {
        const auto* bytes = reinterpret_cast<const char*>(result);
        if (result[0] == FCL_T_LOGICAL) return std::string(bytes, 2);
        if (result[0] == FCL_T_NUMBER && FCLMODE() == 0) return std::string(bytes, 9);
        return std::string(bytes, 2 + strnlen(bytes + 1, FCL_MAX_VALUE - 2));
    }
    double number() const {
        if (result[0] != FCL_T_NUMBER) return std::nan("");
        double x = 0;
        if (FCLMODE() == 0) std::memcpy(&x, result + 1, sizeof x);
        else x = std::strtod(reinterpret_cast<const char*>(result + 1), nullptr);
        return x;
    }
    double page_number() const { return std::strtod(reinterpret_cast<const char*>(result + 1), nullptr); }
};

int32_t callback(void* first, const char* name, void* raw, uint16_t* type) {
    Runner& host = *t_runner;
    if (first == &host) {
        for (const Field& field : kFields) {
            if (std::strcmp(field.name, name) != 0) continue;
            *type = field.type;
            if (raw) std::strcpy(static_cast<char*>(raw), field.value);
            return 0;
        }
        return 1;
    }
    int32_t request = 0;
    std::memcpy(&request, first, sizeof request);
    if (request == 3) return FCL_AGG_RESET;  // query: go on as a plain aggregate
    const bool p_form = request != 2;
    if (!p_form) ++host.asked;
    if (host.cursor < host.values.size()) {
        *type = FCL_T_NUMBER;
        std::strcpy(static_cast<char*>(raw), host.values[host.cursor++].c_str());
    } else {
        *type = p_form ? FCL_AGG_RESET : host.end;
    }
    return p_form ? 0 : host.key;
}

std::string num_expression(const char* a, const char* b) {
    alignas(8) unsigned char x[FCL_NUM_MAX_SIZE], y[FCL_NUM_MAX_SIZE];
    char text[FCL_NUM_TEXT_MAX];
    NumFromStr(x, a);
    NumFromStr(y, b);
    NumAdd(x, y);
    NumMul(x, y);
    return NumToStr(x, text, 1, -1);
}

// What one thread saw; checked after all threads joined.
struct Seen {
    std::map<std::string, std::pair<int, std::string>> mismatches;  // per formula: count, first detail
    std::vector<std::string> first;  // the values of the first pass, which later passes repeat
    std::vector<double> pages;
    int successes[kKinds][kPasses] = {};
    double folded = 0, sum = 0, min = INFINITY, max = -INFINITY;  // COUNT, SUM, MIN, MAX values folded in

    void expect(bool holds, const std::string& formula, const std::string& detail = "") {
        if (holds) return;
        auto& [count, first] = mismatches[formula];
        if (count++ == 0) first = detail;
    }
};

class Threads : public ::testing::TestWithParam<int32_t> {
protected:
    void all_families_at_once();
};

// Runs the plain aggregate `kind` once in pass `pass` of thread `t`. Other threads' calls may
// step the shared slot counter between two requests of this call, so the slot a value is folded
// into and the slot the call reports may differ: each call is checked for plausibility only,
// and the totals over all calls after the threads are done.
void run_plain(Runner& r, const std::string& code, Kind kind, int t, int pass, int call, Seen& seen) {
    const double v = kind == Avg ? 10 : kind == Sum ? t + 1 : 5000 + pass * 100 + t * 10 + call;
    const std::vector<std::string> values(kind == Avg ? 2 : 1, std::to_string(static_cast<long>(v)));
    const uint16_t status = r.run(code, values);
    const double x = r.number();
    const std::string formula = kPlain[kind].formula, where = "pass " + std::to_string(pass) + ": ";
    seen.expect(status == 0 || status == r.key, formula, where + "status " + std::to_string(status));
    // At the slot limit the call reports 0; an AVG slot only ever averages tens.
    const bool plausible = status ? x == 0 : r.result[0] == FCL_T_NUMBER && (kind != Avg || x == 0 || x == 10);
    seen.expect(plausible, formula, where + "status " + std::to_string(status) + ", reported " + std::to_string(x));
    if (status == 0) ++seen.successes[kind][pass];
    // A value was folded into a slot when the library asked again after receiving it.
    const int folded = std::min<int>(r.asked - 1, static_cast<int>(values.size()));
    if (folded == 0) return;
    if (kind == Count) seen.folded += folded;
    if (kind == Sum) seen.sum += v;
    if (kind == Min) seen.min = std::min(seen.min, v);
    if (kind == Max) seen.max = std::max(seen.max, v);
}

TEST_P(Threads, AllFamiliesAtOnce) {
    in_fresh_process([this] { all_families_at_once(); });
}

void Threads::all_families_at_once() {
    const ScopedProfile profile("[Fclib]\nMinusMark=\x81\xA2\n");
    FCLSETMODE(GetParam());
    const int32_t sized = 1;
    FCLINIT(0, &sized);
    // The compiled bytes from one thread; the values follow once the threads are done.
    Runner reference;
    std::vector<std::string> codes;
    for (const char* formula : kPureFormulas) codes.push_back(reference.compile(formula));
    std::vector<std::string> sums;
    for (const auto& pair : kNumbers) sums.push_back(num_expression(pair[0], pair[1]));
    ASSERT_EQ(reference.run(reference.compile("PAGE(1000, 1)")), 0);
    ASSERT_EQ(reference.page_number(), kFirstPage);

    std::vector<Seen> seen(kThreads);
    Rendezvous sync(kThreads);
    auto worker = [&](int t) {
        Runner r;
        Seen& s = seen[t];
        sync.arrive_and_wait();
        std::vector<std::string> pure;
        for (std::size_t i = 0; i < codes.size(); ++i) {
            pure.push_back(r.compile(kPureFormulas[i]));
            s.expect(pure.back() == codes[i], kPureFormulas[i], "compiled bytes");
        }
        const std::string page = r.compile("PAGE()");
        std::string plain[kKinds];
        for (int k = 0; k < kKinds; ++k) plain[k] = r.compile(kPlain[k].formula);
        for (int pass = 0; pass < kPasses; ++pass) {
            sync.arrive_and_wait();  // every thread is in the same pass: one pass key for all
            r.key = static_cast<uint16_t>(2 + pass % 2);
            for (std::size_t i = 0; i < pure.size(); ++i) {
                const uint16_t status = r.run(pure[i]);
                const std::string value = status ? "status " + std::to_string(status) : r.value();
                if (pass == 0) s.first.push_back(value);
                else s.expect(value == s.first[i], kPureFormulas[i], value);
            }
            for (int i = 0; i < kPagesPerPass; ++i) {
                s.expect(r.run(page) == 0, "PAGE()");
                s.pages.push_back(r.page_number());
            }
            for (int call = 0; call < kPlain[Count].calls; ++call)
                for (int k = 0; k < kKinds; ++k)
                    if (call < kPlain[k].calls) run_plain(r, plain[k], static_cast<Kind>(k), t, pass, call, s);
            for (std::size_t i = 0; i < sums.size(); ++i)
                s.expect(num_expression(kNumbers[i][0], kNumbers[i][1]) == sums[i], "Num functions");
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
    for (std::thread& thread : threads) thread.join();

    remove_profile();
    // The values of one thread alone, now that the minus marks are loaded.
    for (std::size_t i = 0; i < codes.size(); ++i) {
        ASSERT_EQ(reference.run(codes[i]), 0) << kPureFormulas[i];
        for (int t = 0; t < kThreads; ++t) EXPECT_EQ(seen[t].first[i], reference.value()) << kPureFormulas[i];
        if (i == 0) {
            EXPECT_EQ(reference.value().find('-'), std::string::npos) << "the profile's mark stands for the minus";
        }
    }
    std::vector<double> pages;
    double folded = 0, sum = 0, min = INFINITY, max = -INFINITY;
    for (int t = 0; t < kThreads; ++t) {
        for (const auto& [formula, mismatch] : seen[t].mismatches)
            ADD_FAILURE() << "thread " << t << ": " << formula << ": " << mismatch.first << " mismatches, first "
                          << mismatch.second;
        pages.insert(pages.end(), seen[t].pages.begin(), seen[t].pages.end());
        folded += seen[t].folded;
        sum += seen[t].sum;
        min = std::min(min, seen[t].min);
        max = std::max(max, seen[t].max);
    }
    // PAGE: every number from the first page on was handed out exactly once, and the counter
    // stands right after the last of them.
    std::sort(pages.begin(), pages.end());
    for (std::size_t i = 0; i < pages.size(); ++i) ASSERT_EQ(pages[i], kFirstPage + double(i)) << "page " << i;
    ASSERT_EQ(reference.run(reference.compile("PAGE()")), 0);
    EXPECT_EQ(reference.page_number(), kFirstPage + double(pages.size()));

    // Plain aggregates: a pass's key restarts the slot counter once and only calls below the
    // limit step it, so every pass reports exactly as many calls as there are slots. A last
    // pass with a new key reads every slot and clears it.
    reference.key = static_cast<uint16_t>(2 + kPasses % 2);
    reference.end = FCL_AGG_RESET;
    for (int k = 0; k < kKinds; ++k) {
        for (int pass = 0; pass < kPasses; ++pass) {
            int taken = 0;
            for (const Seen& s : seen) taken += s.successes[k][pass];
            ASSERT_EQ(taken, kPlain[k].capacity) << kPlain[k].formula << " pass " << pass;
        }
        const std::string code = reference.compile(kPlain[k].formula);
        double total = 0, low = INFINITY, high = -INFINITY;  // low: of the slots in use
        for (int slot = 0; slot < kPlain[k].capacity; ++slot) {
            ASSERT_EQ(reference.run(code, {}), 0) << kPlain[k].formula << " slot " << slot;
            const double x = reference.number();
            total += x;
            high = std::max(high, x);
            if (x != 0) low = std::min(low, x);
        }
        // COUNT and SUM: every folded value once; AVG: only tens; MIN and MAX: the extremes.
        const double measured[kKinds] = {total, total, low, low, high};
        const double wanted[kKinds] = {folded, sum, 10, min, max};
        EXPECT_EQ(measured[k], wanted[k]) << kPlain[k].formula;
        EXPECT_TRUE(k != Avg || high == 10) << "AVG slots up to " << high;
    }
}

INSTANTIATE_TEST_SUITE_P(, Threads, ::testing::Values(0, 1), [](const ::testing::TestParamInfo<int32_t>& info) {
    return info.param ? "TextNumbers" : "DoubleNumbers";
});

}  // namespace
}  // namespace fcl::test
