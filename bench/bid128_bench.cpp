// Intel's BID128 decimal library on the same operands and operations as number_bench.cpp,
// so its figures print next to the decimal backend's (built when libintelrdfpmath-dev is
// installed). Numbers are passed by value, with the rounding mode and status flags as
// arguments (the library variant libbidgcc000).
#include <benchmark/benchmark.h>

extern "C" {
#include <bid_conf.h>
#include <bid_functions.h>
}

#include <cstring>

#include "number_operands.h"

namespace {

using bench::kMoney;
using bench::kWide;
using bench::Op;
using bench::Profile;

BID_UINT128 parse(const char* text) {
    char copy[128];
    std::strncpy(copy, text, sizeof copy - 1);
    copy[sizeof copy - 1] = '\0';
    _IDEC_flags flags = 0;
    return bid128_from_string(copy, BID_ROUNDING_TO_ZERO, &flags);
}

void BM_BID128(benchmark::State& state, const Profile* profile, Op op) {
    const BID_UINT128 a = parse(profile->a);
    const BID_UINT128 b = parse(profile->b);
    char source[128];
    std::strncpy(source, profile->a, sizeof source - 1);
    source[sizeof source - 1] = '\0';
    char text[128];
    _IDEC_flags flags = 0;
    BID_UINT128 work = a;
    for (auto _ : state) {
        // Truncation, as the decimal backend truncates.
        switch (op) {
            case Op::kAdd: work = bid128_add(a, b, BID_ROUNDING_TO_ZERO, &flags); break;
            case Op::kSub: work = bid128_sub(a, b, BID_ROUNDING_TO_ZERO, &flags); break;
            case Op::kMul: work = bid128_mul(a, b, BID_ROUNDING_TO_ZERO, &flags); break;
            case Op::kDiv: work = bid128_div(a, b, BID_ROUNDING_TO_ZERO, &flags); break;
            case Op::kComp:
                benchmark::DoNotOptimize(bid128_quiet_less(a, b, &flags) ? -1
                                         : bid128_quiet_equal(a, b, &flags) ? 0 : 1);
                break;
            case Op::kFromStr: work = bid128_from_string(source, BID_ROUNDING_TO_ZERO, &flags); break;
            case Op::kToStr: bid128_to_string(text, a, &flags); break;
        }
        benchmark::DoNotOptimize(work);
        benchmark::DoNotOptimize(text);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(flags);
}

#define FCL_BID_BENCH(profile_name, profile, op_name, op) \
    BENCHMARK_CAPTURE(BM_BID128, profile_name##_##op_name, &profile, op)

FCL_BID_BENCH(money, kMoney, Add, Op::kAdd);
FCL_BID_BENCH(money, kMoney, Sub, Op::kSub);
FCL_BID_BENCH(money, kMoney, Mul, Op::kMul);
FCL_BID_BENCH(money, kMoney, Div, Op::kDiv);
FCL_BID_BENCH(money, kMoney, Comp, Op::kComp);
FCL_BID_BENCH(money, kMoney, FromStr, Op::kFromStr);
FCL_BID_BENCH(money, kMoney, ToStr, Op::kToStr);
FCL_BID_BENCH(wide, kWide, Add, Op::kAdd);
FCL_BID_BENCH(wide, kWide, Sub, Op::kSub);
FCL_BID_BENCH(wide, kWide, Mul, Op::kMul);
FCL_BID_BENCH(wide, kWide, Div, Op::kDiv);
FCL_BID_BENCH(wide, kWide, Comp, Op::kComp);
FCL_BID_BENCH(wide, kWide, FromStr, Op::kFromStr);
FCL_BID_BENCH(wide, kWide, ToStr, Op::kToStr);

}  // namespace
