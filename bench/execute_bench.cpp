// Per-formula cost of FCLCOMPILE and FCLEXECUTE in double-number mode.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "fclib.h"

namespace {

// Every name is a number field answered with a raw double, except the one named by data
// (if any), which is a logical.
int32_t number_fields(void* data, const char* name, void* raw, uint16_t* type) {
    const char* logical = static_cast<const char*>(data);
    if (logical && std::strcmp(name, logical) == 0) {
        if (raw) static_cast<unsigned char*>(raw)[0] = 1;
        *type = static_cast<uint16_t>((FCL_RAW_U8 << 8) | FCL_T_LOGICAL);
        return 0;
    }
    if (!raw) {
        *type = FCL_T_NUMBER;
        return 0;
    }
    const double value = name[0] == 'P' ? 12.5 : 3.0;
    std::memcpy(raw, &value, sizeof value);
    *type = (FCL_RAW_DOUBLE << 8) | FCL_T_NUMBER;
    return 0;
}

struct Formula {
    const char* text;
    const char* logical_field;
};

const Formula kFormulas[] = {
    {"[Price] * [Qty] + 1", nullptr},
    {"(a + b) * (c - d) / 2", nullptr},
    {"a > 5 AND b < 2 OR c", "c"},
    {"a + b - c * d / e + f - g * h + i - j / k + l * m - n + o - p * q + r - s + t - u", nullptr},
};

void BM_Compile(benchmark::State& state) {
    FCLSETMODE(0);
    const Formula& formula = kFormulas[state.range(0)];
    void* data = const_cast<char*>(formula.logical_field);
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    for (auto _ : state) {
        const uint16_t status = FCLCOMPILE(number_fields, data, formula.text, code, &length);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(code);
    }
    state.SetLabel(formula.text);
}

// Names starting with N are text fields ("ABCDEFGH"), with D date fields (2024-03-15); the
// others are answered as number_fields answers them.
int32_t text_fields(void* data, const char* name, void* raw, uint16_t* type) {
    const char* text = name[0] == 'N' ? "ABCDEFGH" : name[0] == 'D' ? "20240315" : nullptr;
    if (!text) return number_fields(data, name, raw, type);
    if (raw) std::strcpy(static_cast<char*>(raw), text);
    *type = name[0] == 'N' ? FCL_T_STRING : FCL_T_DATE;
    return 0;
}

// One formula run over and over.
void execute_repeatedly(benchmark::State& state, const char* text, const char* logical_field, int32_t mode,
                        FCLFIELDPROC fields = number_fields) {
    FCLSETMODE(mode);
    void* data = const_cast<char*>(logical_field);
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    if (FCLCOMPILE(fields, data, text, code, &length) != 0) {
        state.SkipWithError("formula does not compile");
        return;
    }
    unsigned char result[FCL_MAX_VALUE];
    for (auto _ : state) {
        const uint16_t status = FCLEXECUTE(fields, data, code, result);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(result);
    }
    state.SetLabel(text);
    FCLSETMODE(0);
}

void execute_in_mode(benchmark::State& state, int32_t mode) {
    const Formula& formula = kFormulas[state.range(0)];
    execute_repeatedly(state, formula.text, formula.logical_field, mode);
}

void BM_Execute(benchmark::State& state) { execute_in_mode(state, 0); }

// Number text in and out, through the default decimal backend.
void BM_ExecuteTextNumbers(benchmark::State& state) { execute_in_mode(state, 1); }

// The host's own share of an execution: the callback calls one run of the formula makes,
// recorded once and then replayed alone through a function pointer. What BM_Execute takes
// beyond this is the library's; a run can never be faster than its callbacks.
std::vector<std::string> recorded_names;

int32_t recording_fields(void* data, const char* name, void* raw, uint16_t* type) {
    if (raw) recorded_names.emplace_back(name);
    return number_fields(data, name, raw, type);
}

void BM_CallbacksAlone(benchmark::State& state) {
    FCLSETMODE(0);
    const Formula& formula = kFormulas[state.range(0)];
    void* data = const_cast<char*>(formula.logical_field);
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE];
    recorded_names.clear();
    if (FCLCOMPILE(number_fields, data, formula.text, code, nullptr) != 0 ||
        FCLEXECUTE(recording_fields, data, code, result) != 0) {
        state.SkipWithError("formula does not run");
        return;
    }
    std::vector<const char*> names;
    for (const std::string& name : recorded_names) names.push_back(name.c_str());
    FCLFIELDPROC volatile callback = number_fields;
    unsigned char raw[FCL_MAX_VALUE];
    for (auto _ : state) {
        for (const char* name : names) {
            uint16_t type = 0;
            benchmark::DoNotOptimize(callback(data, name, raw, &type));
            benchmark::DoNotOptimize(type);
        }
        benchmark::DoNotOptimize(raw);
    }
    state.SetLabel(formula.text);
}

// A report host's pattern: several formulas per record, run alternately on one context.
const char* const kRoundRobin[] = {"[Price] * [Qty] + 1", "(a + b) * (e - d) / 2", "[Price] > 10",
                                   "ROUND([Price] * 1.1, -2)", "IF([Qty] > 2, [Price], 0)"};
constexpr int kRoundRobinCount = sizeof kRoundRobin / sizeof kRoundRobin[0];

// Time per execution, to set against the mean of BM_ExecuteOneOfRoundRobin.
void BM_ExecuteRoundRobin(benchmark::State& state) {
    FCLSETMODE(0);
    constexpr int kCount = kRoundRobinCount;
    unsigned char codes[kCount][FCL_MAX_CODE];
    for (int i = 0; i < kCount; ++i) {
        if (FCLCOMPILE(number_fields, nullptr, kRoundRobin[i], codes[i], nullptr) != 0) {
            state.SkipWithError("formula does not compile");
            return;
        }
    }
    unsigned char result[FCL_MAX_VALUE];
    for (auto _ : state) {
        for (const auto& code : codes) {
            const uint16_t status = FCLEXECUTE(number_fields, nullptr, code, result);
            benchmark::DoNotOptimize(status);
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}

// One formula of the round-robin set alone.
void BM_ExecuteOneOfRoundRobin(benchmark::State& state) {
    execute_repeatedly(state, kRoundRobin[state.range(0)], nullptr, 0);
}

// Formulas that call functions a report formats its numbers with.
const char* const kFunctionCalls[] = {"FORMAT([Price], \"ZZ,ZZ9.99\")", "STR([Price], 10, 2)",
                                      "IF([Qty] > 10, [Price] * 0.9, [Price]) * [Qty]"};

void BM_ExecuteFunctionCall(benchmark::State& state) {
    execute_repeatedly(state, kFunctionCalls[state.range(0)], nullptr, static_cast<int32_t>(state.range(1)));
}

// Formulas on text and date fields, and rounding, which text-number mode does on number text.
const char* const kTextFormulas[] = {"LEFT([Name], 3) = \"ABC\"", "[Name] + \"-\" + [Name2]", "DTOC([Date])",
                                     "ROUND([Price] * 1.1, -2)"};

void BM_ExecuteTextFormula(benchmark::State& state) {
    const auto mode = static_cast<int32_t>(state.range(1));
    execute_repeatedly(state, kTextFormulas[state.range(0)], nullptr, mode, text_fields);
}

// The first execution right after a compile, as a host that compiles on demand sees it.
void BM_CompileThenExecute(benchmark::State& state) {
    FCLSETMODE(0);
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE];
    for (auto _ : state) {
        uint16_t status = FCLCOMPILE(number_fields, nullptr, kFormulas[0].text, code, nullptr);
        status = static_cast<uint16_t>(status | FCLEXECUTE(number_fields, nullptr, code, result));
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(result);
    }
    state.SetLabel(kFormulas[0].text);
}

BENCHMARK(BM_Compile)->DenseRange(0, 3);
BENCHMARK(BM_Execute)->DenseRange(0, 3);
BENCHMARK(BM_ExecuteTextNumbers)->DenseRange(0, 3);
BENCHMARK(BM_CallbacksAlone)->DenseRange(0, 3);
BENCHMARK(BM_ExecuteRoundRobin);
BENCHMARK(BM_ExecuteOneOfRoundRobin)->DenseRange(0, kRoundRobinCount - 1);
BENCHMARK(BM_ExecuteFunctionCall)->ArgsProduct({{0, 1, 2}, {0, 1}});
BENCHMARK(BM_ExecuteTextFormula)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});
BENCHMARK(BM_CompileThenExecute);

}  // namespace
