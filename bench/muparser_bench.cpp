// The same four formulas in muparser, for comparison with BM_Execute: once with the variables
// bound in memory, once reading each reference through a lookup by name per evaluation (as
// fclib's field callback does). Built only when muparser is installed.
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <cstring>

namespace {

// A lookup by name, like a host's field callback: Price 12.5, the logical c true, others 3.
double lookup(const char* name) {
    if (std::strcmp(name, "Price") == 0) return 12.5;
    if (std::strcmp(name, "c") == 0) return 1.0;
    return 3.0;
}

#define FCL_FIELD(name) \
    double field_##name() { return lookup(#name); }
FCL_FIELD(Price) FCL_FIELD(Qty) FCL_FIELD(a) FCL_FIELD(b) FCL_FIELD(c) FCL_FIELD(d) FCL_FIELD(e) FCL_FIELD(f)
FCL_FIELD(g) FCL_FIELD(h) FCL_FIELD(i) FCL_FIELD(j) FCL_FIELD(k) FCL_FIELD(l) FCL_FIELD(m) FCL_FIELD(n)
FCL_FIELD(o) FCL_FIELD(p) FCL_FIELD(q) FCL_FIELD(r) FCL_FIELD(s) FCL_FIELD(t) FCL_FIELD(u)
#undef FCL_FIELD

struct Field {
    const char* name;
    double (*read)();
};

const Field kFields[] = {{"Price", field_Price}, {"Qty", field_Qty}, {"a", field_a}, {"b", field_b},
                         {"c", field_c},         {"d", field_d},     {"e", field_e}, {"f", field_f},
                         {"g", field_g},         {"h", field_h},     {"i", field_i}, {"j", field_j},
                         {"k", field_k},         {"l", field_l},     {"m", field_m}, {"n", field_n},
                         {"o", field_o},         {"p", field_p},     {"q", field_q}, {"r", field_r},
                         {"s", field_s},         {"t", field_t},     {"u", field_u}};

// The formulas of BM_Execute in muparser's syntax; with calls, every reference is a lookup.
const char* const kBound[] = {
    "Price * Qty + 1", "(a + b) * (c - d) / 2", "a > 5 && b < 2 || c",
    "a + b - c * d / e + f - g * h + i - j / k + l * m - n + o - p * q + r - s + t - u"};
const char* const kCalls[] = {
    "Price() * Qty() + 1", "(a() + b()) * (c() - d()) / 2", "a() > 5 && b() < 2 || c()",
    "a() + b() - c() * d() / e() + f() - g() * h() + i() - j() / k() + l() * m() - n() + o() - p() * q() + r() "
    "- s() + t() - u()"};

void BM_MuparserBound(benchmark::State& state) {
    double values[sizeof kFields / sizeof kFields[0]];
    mu::Parser parser;
    for (std::size_t i = 0; i < sizeof kFields / sizeof kFields[0]; ++i) {
        values[i] = kFields[i].read();
        parser.DefineVar(kFields[i].name, &values[i]);
    }
    parser.SetExpr(kBound[state.range(0)]);
    for (auto _ : state) benchmark::DoNotOptimize(parser.Eval());
    state.SetLabel(kBound[state.range(0)]);
}

void BM_MuparserLookup(benchmark::State& state) {
    mu::Parser parser;
    for (const Field& field : kFields) parser.DefineFun(field.name, field.read, false);
    parser.SetExpr(kCalls[state.range(0)]);
    for (auto _ : state) benchmark::DoNotOptimize(parser.Eval());
    state.SetLabel(kBound[state.range(0)]);
}

void BM_MuparserCompile(benchmark::State& state) {
    double values[sizeof kFields / sizeof kFields[0]] = {};
    for (auto _ : state) {
        mu::Parser parser;
        for (std::size_t i = 0; i < sizeof kFields / sizeof kFields[0]; ++i)
            parser.DefineVar(kFields[i].name, &values[i]);
        parser.SetExpr(kBound[state.range(0)]);
        benchmark::DoNotOptimize(parser.Eval());
    }
    state.SetLabel(kBound[state.range(0)]);
}

BENCHMARK(BM_MuparserBound)->DenseRange(0, 3);
BENCHMARK(BM_MuparserLookup)->DenseRange(0, 3);
BENCHMARK(BM_MuparserCompile)->Arg(0);

}  // namespace
