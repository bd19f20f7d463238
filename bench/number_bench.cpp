// Cost of one backend operation, decimal against double, on two operand profiles:
// "money" (1234567.89 op 98.7654) and "wide" (48 significant digits each).
#include <benchmark/benchmark.h>

#include <cstring>

#include "number_operands.h"

#include "fclib.h"
#include "number/backend.h"

namespace {

using bench::kMoney;
using bench::kWide;
using bench::Op;
using bench::Profile;

constexpr std::int32_t kDecimal = FCL_BACKEND_DECIMAL;
constexpr std::int32_t kDouble = FCL_BACKEND_DOUBLE;

// How the work number is restored from a before each timed step (the restore is part of
// the step).
enum class Restore {
    // As the backend itself writes a number: a decimal number in two copies, the 4-byte
    // header and the 24 bytes of limbs, which are the pieces its slots read back.
    kAsWritten,
    // One 28-byte memcpy, as a host might copy a decimal number. The compiler writes it as
    // two overlapping 16-byte stores, which the slot's reads cannot be served from while
    // they are in flight (store-to-load forwarding fails), so the reads wait for them.
    kWholeCopy,
};

void restore(unsigned char* work, const unsigned char* a, std::int32_t type, Restore how) {
    if (type != kDecimal) {
        std::memcpy(work, a, sizeof(double));
    } else if (how == Restore::kWholeCopy) {
        std::memcpy(work, a, FCL_NUM_MAX_SIZE);
    } else {
        std::memcpy(work, a, 4);
        std::memcpy(work + 4, a + 4, FCL_NUM_MAX_SIZE - 4);
    }
}

// Runs one operation on fresh copies of the profile's operands.
void BM_Number(benchmark::State& state, std::int32_t type, const Profile* profile, Op op, Restore how) {
    NumSetup(type);
    const fcl::Backend& slots = fcl::backend();
    alignas(8) unsigned char a[FCL_NUM_MAX_SIZE], b[FCL_NUM_MAX_SIZE], work[FCL_NUM_MAX_SIZE];
    slots.from_str(a, profile->a);
    slots.from_str(b, profile->b);
    char text[fcl::kNumberTextSize];
    for (auto _ : state) {
        switch (op) {
            case Op::kAdd: restore(work, a, type, how); slots.add(work, b); break;
            case Op::kSub: restore(work, a, type, how); slots.sub(work, b); break;
            case Op::kMul: restore(work, a, type, how); slots.mul(work, b); break;
            case Op::kDiv: restore(work, a, type, how); slots.div(work, b); break;
            case Op::kComp: benchmark::DoNotOptimize(slots.comp(a, b)); break;
            case Op::kFromStr: slots.from_str(work, profile->a); break;
            case Op::kToStr: slots.to_str(a, text, sizeof text, fcl::kStyleFull, -1); break;
        }
        benchmark::DoNotOptimize(work);
        benchmark::DoNotOptimize(text);
        benchmark::ClobberMemory();
    }
    NumSetup(kDecimal);
}

#define FCL_NUMBER_BENCH(profile_name, profile, op_name, op)                                \
    BENCHMARK_CAPTURE(BM_Number, decimal_##profile_name##_##op_name, kDecimal, &profile, op, \
                      Restore::kAsWritten);                                                   \
    BENCHMARK_CAPTURE(BM_Number, double_##profile_name##_##op_name, kDouble, &profile, op, Restore::kAsWritten)

FCL_NUMBER_BENCH(money, kMoney, Add, Op::kAdd);
FCL_NUMBER_BENCH(money, kMoney, Sub, Op::kSub);
FCL_NUMBER_BENCH(money, kMoney, Mul, Op::kMul);
FCL_NUMBER_BENCH(money, kMoney, Div, Op::kDiv);
FCL_NUMBER_BENCH(money, kMoney, Comp, Op::kComp);
FCL_NUMBER_BENCH(money, kMoney, FromStr, Op::kFromStr);
FCL_NUMBER_BENCH(money, kMoney, ToStr, Op::kToStr);
FCL_NUMBER_BENCH(wide, kWide, Add, Op::kAdd);
FCL_NUMBER_BENCH(wide, kWide, Sub, Op::kSub);
FCL_NUMBER_BENCH(wide, kWide, Mul, Op::kMul);
FCL_NUMBER_BENCH(wide, kWide, Div, Op::kDiv);
FCL_NUMBER_BENCH(wide, kWide, Comp, Op::kComp);
FCL_NUMBER_BENCH(wide, kWide, FromStr, Op::kFromStr);
FCL_NUMBER_BENCH(wide, kWide, ToStr, Op::kToStr);

// The same decimal operations after a host-style whole copy of the operand.
BENCHMARK_CAPTURE(BM_Number, decimal_money_Add_whole_copy, kDecimal, &kMoney, Op::kAdd, Restore::kWholeCopy);
BENCHMARK_CAPTURE(BM_Number, decimal_money_Mul_whole_copy, kDecimal, &kMoney, Op::kMul, Restore::kWholeCopy);
BENCHMARK_CAPTURE(BM_Number, decimal_money_Div_whole_copy, kDecimal, &kMoney, Op::kDiv, Restore::kWholeCopy);

}  // namespace
