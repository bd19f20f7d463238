// The exported interface: symbol list of the shared library, the mode, contexts, and hosts that
// pass null pointers or no callback, call back into the context that is running, leave a
// callback by longjmp, or write answers short.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "executor/stack_machine.h"
#include "fclib.h"
#include "interface/context.h"

namespace fcl::test {
namespace {

// Read before any test runs: the mode and backend of a freshly loaded library.
const int32_t g_mode_at_start = FCLMODE();
const int32_t g_backend_at_start = NumType();

TEST(SharedLibrary, ExportsExactlyThePublicEntryPoints) {
    const std::set<std::string> expected = {
        "FCLINIT", "FCLMODE", "FCLSETMODE", "FCLCREATEHANDLE", "FCLRELEASEHANDLE", "FCLCOMPILE",
        "FCLCOMPILE2", "FCLEXECUTE", "FCLEXECUTE2", "LoadMPL32", "FreeMPL32", "NumSetup", "NumSize",
        "NumType", "NumToStr", "NumFromStr", "NumFromInt", "NumFromDbl", "NumComp", "NumIsZero", "NumZero",
        "NumMin", "NumMax", "NumNeg", "NumInt", "NumAdd", "NumSub", "NumMul", "NumDiv", "NumCopy",
        "NumCompInt", "NumFrac", "NumInc", "NumDec"};
    const std::string command = std::string("nm -D --defined-only ") + FCLIB_SHARED_LIBRARY;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], kind[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, kind, name) == 3) exported.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(exported, expected);
}

TEST(EntryPoints, ModeStartsAtZeroAndFollowsSetMode) {
    EXPECT_EQ(g_mode_at_start, 0);
    FCLSETMODE(7);
    EXPECT_EQ(FCLMODE(), 7);
    FCLSETMODE(0);
    EXPECT_EQ(FCLMODE(), 0);
}

// The compiled form of [A] + 1 in double-number mode.
constexpr unsigned char kFieldPlusOne[] = {0x02, 0x08, 0x15, 0x00, 0x20, 0x41, 0x00, 0xFF, 0xFF, 0x02, 0x00,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, 0x80, 0x09, 0x00};

int32_t number_field(void*, const char*, void* raw, uint16_t* type) {
    *type = FCL_T_NUMBER;
    if (raw) std::snprintf(static_cast<char*>(raw), FCL_RAW_BUFFER, "1");
    return 0;
}

double payload(const unsigned char* value) {
    double x;
    std::memcpy(&x, value + 1, sizeof x);
    return x;
}

TEST(EntryPoints, NullCallbackFailsOnlyWhereTheHostIsNeeded) {
    const int32_t fixed_areas = 0;
    FCLINIT(0, &fixed_areas);
    unsigned char sum[FCL_MAX_CODE];
    unsigned char constant[FCL_MAX_CODE];
    ASSERT_EQ(FCLCOMPILE(number_field, nullptr, "SUM([A])", sum, nullptr), FCL_OK);
    ASSERT_EQ(FCLCOMPILE(number_field, nullptr, "2 * 3", constant, nullptr), FCL_OK);
    FCLHANDLE handle = FCLCREATEHANDLE();
    for (const unsigned char* code : {kFieldPlusOne, static_cast<const unsigned char*>(sum)}) {
        unsigned char result[FCL_MAX_VALUE];
        std::memset(result, 0xAA, sizeof result);
        EXPECT_EQ(FCLEXECUTE(nullptr, nullptr, code, result), FCL_E_CALLBACK);
        EXPECT_EQ(result[0], FCL_T_NUMBER);
        EXPECT_EQ(payload(result), 0.0);
        EXPECT_EQ(FCLEXECUTE2(nullptr, nullptr, code, result, handle), FCL_E_CALLBACK);
    }
    unsigned char result[FCL_MAX_VALUE];
    EXPECT_EQ(FCLEXECUTE2(nullptr, nullptr, constant, result, handle), FCL_OK);
    EXPECT_EQ(payload(result), 6.0);
    FCLRELEASEHANDLE(handle);
}

// A host whose callback, while fetching [A], calls back into the context that is running it
// and into another context.
struct ReentrantHost {
    FCLHANDLE running;  // null: the global context is running
    FCLHANDLE other;
    std::vector<uint16_t> inner_statuses;
};

int32_t reentrant_field(void* data, const char* name, void* raw, uint16_t* type) {
    auto& host = *static_cast<ReentrantHost*>(data);
    *type = FCL_T_NUMBER;
    if (!raw) return 0;
    const bool a = std::strcmp(name, "A") == 0;
    std::snprintf(static_cast<char*>(raw), FCL_RAW_BUFFER, a ? "1" : "40");
    if (!a) return 0;
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE];
    uint16_t length = 0;
    host.inner_statuses.push_back(host.running ? FCLCOMPILE2(number_field, nullptr, "9", code, &length, host.running)
                                               : FCLCOMPILE(number_field, nullptr, "9", code, &length));
    EXPECT_EQ(length, 7);  // the refused compile leaves the empty formula
    host.inner_statuses.push_back(host.running ? FCLEXECUTE2(number_field, nullptr, kFieldPlusOne, result, host.running)
                                               : FCLEXECUTE(number_field, nullptr, kFieldPlusOne, result));
    host.inner_statuses.push_back(FCLEXECUTE2(number_field, nullptr, kFieldPlusOne, result, host.other));
    EXPECT_EQ(payload(result), 2.0);
    return 0;
}

TEST(EntryPoints, ReentryIntoTheRunningContextIsRefusedAndTheOuterRunCompletes) {
    FCLHANDLE handle = FCLCREATEHANDLE();
    FCLHANDLE other = FCLCREATEHANDLE();
    for (FCLHANDLE running : {static_cast<FCLHANDLE>(nullptr), handle}) {
        ReentrantHost host{running, other, {}};
        unsigned char code[FCL_MAX_CODE];
        unsigned char result[FCL_MAX_VALUE];
        const uint16_t compiled = running ? FCLCOMPILE2(reentrant_field, &host, "[A] + 20 + [B]", code, nullptr, running)
                                          : FCLCOMPILE(reentrant_field, &host, "[A] + 20 + [B]", code, nullptr);
        ASSERT_EQ(compiled, FCL_OK);
        const uint16_t status = running ? FCLEXECUTE2(reentrant_field, &host, code, result, running)
                                        : FCLEXECUTE(reentrant_field, &host, code, result);
        EXPECT_EQ(status, FCL_OK);
        EXPECT_EQ(payload(result), 61.0);
        EXPECT_EQ(host.inner_statuses, (std::vector<uint16_t>{FCL_E_BUSY, FCL_E_BUSY, FCL_OK}));
        // Once the outer call has returned, the context is free again.
        EXPECT_EQ(running ? FCLCOMPILE2(number_field, nullptr, "9", code, nullptr, running)
                          : FCLCOMPILE(number_field, nullptr, "9", code, nullptr),
                  FCL_OK);
    }
    FCLRELEASEHANDLE(handle);
    FCLRELEASEHANDLE(other);
}

TEST(EntryPoints, LibraryLoadsWithTheDecimalBackend) {
    EXPECT_EQ(g_backend_at_start, FCL_BACKEND_DECIMAL);
}

// Null pointers from a careless host give a status, never a crash; either output of a compile
// may be left out.
TEST(EntryPoints, NullArgumentsAndBuffers) {
    FCLSETMODE(0);
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    EXPECT_EQ(FCLCOMPILE(number_field, nullptr, nullptr, code, &length), FCL_OK);
    EXPECT_EQ(length, FCL_EMPTY_CODE);
    EXPECT_EQ(FCLCOMPILE(number_field, nullptr, "1+2", nullptr, &length), FCL_OK);
    EXPECT_EQ(length, 25);
    EXPECT_EQ(FCLCOMPILE(number_field, nullptr, "1+", nullptr, nullptr), FCL_E_SYNTAX);
    EXPECT_EQ(FCLCOMPILE(nullptr, nullptr, "[A] + 1", nullptr, nullptr), FCL_E_CALLBACK);  // no host knows A
    EXPECT_EQ(FCLCOMPILE(number_field, nullptr, "1+2", code, nullptr), FCL_OK);
    EXPECT_EQ(fcl_code_length(code), 25);
    unsigned char result[FCL_MAX_VALUE] = {};
    EXPECT_EQ(FCLEXECUTE(number_field, nullptr, nullptr, result), FCL_E_CODE);
    EXPECT_EQ(FCLEXECUTE(number_field, nullptr, code, nullptr), FCL_OK);
    EXPECT_EQ(FCLEXECUTE2(number_field, nullptr, code, result, nullptr), FCL_E_CODE);
    EXPECT_EQ(result[0], FCL_T_NUMBER);
    EXPECT_EQ(FCLCOMPILE2(number_field, nullptr, "1", code, &length, nullptr), FCL_E_CODE);
    EXPECT_EQ(length, FCL_EMPTY_CODE);
    EXPECT_EQ(code[0], FCL_T_STRING);
    FCLRELEASEHANDLE(nullptr);
}

// A compiled formula runs unchanged in any context, also after the handle it was compiled in
// is released; every context compiles it to the same bytes.
TEST(EntryPoints, CompiledFormulaRunsInAnyContext) {
    FCLSETMODE(0);
    FCLHANDLE first = FCLCREATEHANDLE();
    FCLHANDLE second = FCLCREATEHANDLE();
    ASSERT_NE(first, nullptr);
    const char* formula = "(1 + 2) * 4 - 10 / 4 + [A]";
    unsigned char code[FCL_MAX_CODE], global_code[FCL_MAX_CODE];
    uint16_t length = 0, global_length = 0;
    ASSERT_EQ(FCLCOMPILE2(number_field, nullptr, formula, code, &length, first), FCL_OK);
    ASSERT_EQ(FCLCOMPILE(number_field, nullptr, formula, global_code, &global_length), FCL_OK);
    EXPECT_EQ(std::vector<unsigned char>(code, code + length),
              std::vector<unsigned char>(global_code, global_code + global_length));
    FCLRELEASEHANDLE(first);
    unsigned char result[FCL_MAX_VALUE];
    ASSERT_EQ(FCLEXECUTE2(number_field, nullptr, code, result, second), FCL_OK);
    EXPECT_EQ(payload(result), 10.5);
    ASSERT_EQ(FCLEXECUTE(number_field, nullptr, code, result), FCL_OK);
    EXPECT_EQ(payload(result), 10.5);
    FCLRELEASEHANDLE(second);
}


// A callback that leaves by longjmp skips the rest of the run: the context must serve the next
// call as if the run had ended.
std::jmp_buf g_escape;

int32_t escaping_field(void*, const char*, void* raw, uint16_t* type) {
    *type = FCL_T_NUMBER;
    if (raw) std::longjmp(g_escape, 1);
    return 0;
}

TEST(EntryPoints, ACallbackLeftByLongjmpLeavesTheContextUsable) {
    FCLHANDLE handle = FCLCREATEHANDLE();
    for (FCLHANDLE running : {static_cast<FCLHANDLE>(nullptr), handle}) {
        unsigned char result[FCL_MAX_VALUE];
        for (int escapes = 0; escapes < 2; ++escapes) {
            if (setjmp(g_escape) == 0) {
                if (running) FCLEXECUTE2(escaping_field, nullptr, kFieldPlusOne, result, running);
                else FCLEXECUTE(escaping_field, nullptr, kFieldPlusOne, result);
                ADD_FAILURE() << "the callback did not leave";
            }
        }
        const uint16_t status = running ? FCLEXECUTE2(number_field, nullptr, kFieldPlusOne, result, running)
                                        : FCLEXECUTE(number_field, nullptr, kFieldPlusOne, result);
        EXPECT_EQ(status, FCL_OK);
        EXPECT_EQ(payload(result), 2.0);
        unsigned char code[FCL_MAX_CODE];
        EXPECT_EQ(running ? FCLCOMPILE2(number_field, nullptr, "9", code, nullptr, running)
                          : FCLCOMPILE(number_field, nullptr, "9", code, nullptr),
                  FCL_OK);
    }
    FCLRELEASEHANDLE(handle);
}

// Answers written short: a text without its NUL, a double with four of its eight bytes. Names:
// S and T are strings (T written without its NUL), A and B numbers, H a double written short.
int32_t short_writer(void*, const char* name, void* raw, uint16_t* type) {
    const char n = name[0];
    *type = n == 'S' || n == 'T' ? FCL_T_STRING : FCL_T_NUMBER;
    if (!raw) return 0;
    auto* out = static_cast<unsigned char*>(raw);
    if (n == 'S') std::strcpy(static_cast<char*>(raw), "0123456789");
    if (n == 'T') std::memcpy(out, "ab", 2);
    if (n == 'A' || n == 'B') std::strcpy(static_cast<char*>(raw), n == 'A' ? "12345678.9" : "10.00001");
    if (n == 'H') {
        *type = (FCL_RAW_DOUBLE << 8) | FCL_T_NUMBER;
        const unsigned char low[4] = {1, 2, 3, 4};
        std::memcpy(out, low, sizeof low);
    }
    return 0;
}

struct ShortAnswer {
    const char* formula;
    int32_t mode;
    const char* text;  // the string or number text expected, or null for a double
    unsigned char payload[8];
};

TEST(EntryPoints, AnswersWrittenShortReadAlikeOnEveryRoute) {
    // Each formula first leaves a long value in the result area (a join, REP, a product's
    // text), then asks for an answer written short. The text ends where the callback stopped
    // writing, the double's unwritten bytes are zeros, and the run loop and the walk agree.
    const ShortAnswer cases[] = {
        {"(\"abcdefghijklmnopqrstuvwxyz\" + [S]) + [T]", 0, "abcdefghijklmnopqrstuvwxyz0123456789ab", {}},
        {"(\"abcdefghijklmnopqrstuvwxyz\" + [S]) + [T]", 1, "abcdefghijklmnopqrstuvwxyz0123456789ab", {}},
        {"LEN(REP(\"x\", 40)) * 0 + LEN([T])", 0, nullptr, {0, 0, 0, 0, 0, 0, 0, 0x40}},
        {"[A] * [B] * 0 + LEN([T])", 1, "2", {}},
        {"LEN(REP(\"x\", 40)) * 0 + [H]", 0, nullptr, {1, 2, 3, 4, 0, 0, 0, 0}},
    };
    for (const ShortAnswer& c : cases) {
        SCOPED_TRACE(c.formula);
        FCLSETMODE(c.mode);
        FCLHANDLE handle = FCLCREATEHANDLE();
        FCLHANDLE walk = FCLCREATEHANDLE();
        unsigned char code[FCL_MAX_CODE];
        ASSERT_EQ(FCLCOMPILE2(short_writer, nullptr, c.formula, code, nullptr, handle), FCL_OK);
        unsigned char by_loop[FCL_MAX_VALUE] = {};
        unsigned char by_walk[FCL_MAX_VALUE] = {};
        // Twice: the second run finds the decoded program of the first.
        for (int run = 0; run < 2; ++run) ASSERT_EQ(FCLEXECUTE2(short_writer, nullptr, code, by_loop, handle), FCL_OK);
        ASSERT_EQ(run_formula_walk(*static_cast<Context*>(walk), short_writer, nullptr, code, by_walk), FCL_OK);
        EXPECT_EQ(std::memcmp(by_loop, by_walk, sizeof by_loop), 0);
        if (c.text) {
            EXPECT_STREQ(reinterpret_cast<const char*>(by_loop + 1), c.text);
        } else {
            EXPECT_EQ(std::memcmp(by_loop + 1, c.payload, 8), 0);
        }
        FCLRELEASEHANDLE(handle);
        FCLRELEASEHANDLE(walk);
    }
    FCLSETMODE(0);
}

}  // namespace
}  // namespace fcl::test
