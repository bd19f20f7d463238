// The run loop against the walk. One block runs twice: through FCLEXECUTE2 on a
// handle, which runs it as a decoded program (kept in the handle across inputs, so programs are
// decoded, found again and evicted), and through the generic walk alone on a second context.
// The host answers the second run exactly as it answered the first. Both runs must ask the same
// questions in the same order and end with the same status and the same result bytes. The
// program's context starts each input with other bytes in its value and result areas than the
// walk's, so a value that depended on what earlier runs left there (a handler handed a value of
// another type reads past it) would differ.
//
// Input: byte 0 picks the number encoding (bit 7) and the block: a formula of the list below
// (bits 0-6 below the list's length) or the next bytes as a block (a length byte, then the
// bytes). Each host request then takes a control byte and the bytes its answer needs.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "executor/stack_machine.h"
#include "fuzz_support.h"
#include "interface/code_format.h"
#include "interface/context.h"
#include "interface/values.h"

namespace {

using fuzz::Reader;

// Every operator with number, logical and text operands, the functions a program calls
// through their handlers, and formulas whose fields a hostile host may answer with any type.
const char* const kFormulas[] = {
    "[N1] * [N2] + 1",
    "(a + b) * (c - d) / 2",
    "a > 5 AND b < 2 OR L1",
    "-[N1] - N2 % [N1]",
    "[N1] / [N2] / 0",
    "!([N1]) OR NOT(L1)",
    "[N1] = [N2] AND L1 <> L2 AND [N1] <= 3 AND [N2] >= 4 AND [N1] < 5 AND [N2] > 6",
    "ROUND([N1] * 1.1, -2) + ABS(N2) + INT([N1])",
    "IF([N1] > 2, [N2], 0)",
    "IF(L1, [S1], S2) + \"x\"",
    "[S1] + S2 = \"ab\" OR [S1] < S2",
    "BETWEEN([N1], 1, N2) OR IN([N1], 1, 2, N2)",
    "LEFT([S1], [N1]) + MID(S2, N2, [N1])",
    "[D1] = D2 OR [T1] > T2",
    "LEN([S1] + [S1] + [S1] + [S1] + [S1] + [S1] + [S1] + [S1]) + [N1]",
    "a + b - c * d / e + f - g * h + i - j / k + l * m - n + o - p * q + r - s + t - u",
    "STR([N1], 10, 2) + FORMAT([N1], \"ZZ,ZZ9.99\")",
    // Numbers waiting for their text while long strings fill the value area.
    "[N1] + [N2] * ([N1] - LEN([S1] + [S1] + [S1] + [S1] + [S1] + [S1] + [S1])) / ([N2] + [N1] * [N2])",
    // IF choosing fields, literals, values spilled below and logicals, nested.
    "IF(L1, [N1], 1.5) * IF([N1] > N2, N2, -1)",
    "IF([N1] = 0, L1, L2) AND IF(L1, L2, [N1] < 2)",
    "LEN(IF(L2, [S1], S2)) + IF(L1, IF(L2, [N1], 2), [N2] + 1)",
    // A text field first, so that runs go by the generic steps; IF passes on a waiting number.
    "IF([S1] = \"x\", [N1], [N2] / 7) * IF(L1, [N2], N1)",
};
constexpr int kFormulaCount = static_cast<int>(sizeof kFormulas / sizeof kFormulas[0]);

std::uint8_t type_of_name(const char* name) {
    switch (name[0]) {
        case 'S': return FCL_T_STRING;
        case 'D': return FCL_T_DATE;
        case 'T': return FCL_T_TIME;
        case 'L': return FCL_T_LOGICAL;
        default: return FCL_T_NUMBER;
    }
}

struct Request {
    std::string name;
    std::uint16_t type_in;
    bool operator==(const Request&) const = default;
};

struct Answer {
    std::int32_t code;
    std::uint16_t type;
    std::uint8_t raw[64];
    std::uint8_t written;  // the bytes of raw the host writes
};

// The first run's host takes its answers from the input and records them; the second replays.
struct Host {
    Reader* in = nullptr;
    std::vector<Request> requests;
    std::vector<Answer> answers;
    std::size_t replayed = 0;
};

Answer make_answer(Reader& in) {
    Answer a{};
    if (in.empty()) {
        const double one = 1.0;
        std::memcpy(a.raw, &one, sizeof one);
        a.type = (FCL_RAW_DOUBLE << 8) | FCL_T_NUMBER;
        a.written = sizeof one;
        return a;
    }
    const std::uint8_t control = in.byte();
    switch (control % 8) {
        case 0: in.bytes(a.raw, 8); a.type = (FCL_RAW_DOUBLE << 8) | FCL_T_NUMBER; break;
        case 1: in.bytes(a.raw, 4); a.type = (FCL_RAW_I32 << 8) | FCL_T_NUMBER; break;
        case 2: a.raw[0] = in.byte(); a.type = (FCL_RAW_U8 << 8) | FCL_T_LOGICAL; break;
        case 3: in.bytes(a.raw, 12); a.type = FCL_T_STRING; break;
        case 4: in.bytes(a.raw, 12); a.type = FCL_T_NUMBER; break;  // number text
        case 5: a.code = static_cast<std::int32_t>(in.u32()); break;
        case 6: {
            const bool date = control & 8;
            std::strcpy(reinterpret_cast<char*>(a.raw), date ? "20240315" : "123456");
            a.type = date ? FCL_T_DATE : FCL_T_TIME;
            break;
        }
        default: a.type = in.u16(); in.bytes(a.raw, 16); break;
    }
    // Bits 4-6 of the control byte cut the answer short: a text without its NUL, a number
    // with fewer bytes than its format.
    const unsigned cut = (control >> 4) & 7;
    a.written = static_cast<std::uint8_t>(cut ? cut * 2 : sizeof a.raw);
    return a;
}

int32_t compile_host(void*, const char* name, void* raw, uint16_t* type) {
    if (!raw) *type = type_of_name(name);
    return 0;
}

int32_t run_host(void* data, const char* name, void* raw, uint16_t* type) {
    Host& host = *static_cast<Host*>(data);
    host.requests.push_back(Request{name, *type});
    Answer answer{};
    if (host.in) {
        answer = make_answer(*host.in);
        host.answers.push_back(answer);
    } else {
        FUZZ_CHECK(host.replayed < host.answers.size());
        answer = host.answers[host.replayed++];
    }
    // Only the answer's own bytes: whatever the library reads past them must be the same on
    // both routes.
    std::memcpy(raw, answer.raw, answer.written);
    *type = answer.type;
    return answer.code;
}

// Functions whose values depend on more than their arguments would differ between the runs.
bool reaches_stateful_function(const std::uint8_t* block, std::size_t length, bool text_numbers) {
    for (std::size_t pos = FCL_CODE_HEADER; pos < length && fuzz::is_value_type(block[pos]) |
                                                                 (block[pos] == FCL_T_FIELD) |
                                                                 (block[pos] == FCL_T_NAME) |
                                                                 (block[pos] == FCL_T_FUNCTION);) {
        const std::size_t size = fcl_value_size(block + pos, length - pos, text_numbers);
        if (size == 0) return false;
        if (block[pos] == FCL_T_FUNCTION && fuzz::is_stateful_function(block[pos + 1])) return true;
        pos += size;
    }
    return false;
}

std::vector<std::uint8_t> g_compiled[2][kFormulaCount];
FCLHANDLE g_program_handle = nullptr;
fcl::Context* g_walk_context = nullptr;

std::uint16_t run_walk(const std::uint8_t* block, std::uint8_t* result, Host& host) {
    return fcl::run_formula_walk(*g_walk_context, run_host, &host, block, result);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_program_handle = FCLCREATEHANDLE();
    g_walk_context = static_cast<fcl::Context*>(FCLCREATEHANDLE());
    FUZZ_CHECK(g_program_handle && g_walk_context);
    for (int mode = 0; mode < 2; ++mode) {
        FCLSETMODE(mode);
        for (int i = 0; i < kFormulaCount; ++i) {
            std::uint8_t code[FCL_MAX_CODE];
            std::uint16_t length = 0;
            FUZZ_CHECK(FCLCOMPILE(compile_host, nullptr, kFormulas[i], code, &length) == FCL_OK);
            g_compiled[mode][i].assign(code, code + length);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const std::uint8_t choice = in.byte();
    const bool text_numbers = choice & 0x80;
    FCLSETMODE(text_numbers ? 1 : 0);
    // Both runs read a whole 528-byte block, whatever its header says.
    std::uint8_t block[FCL_MAX_CODE] = {};
    if ((choice & 0x7F) < kFormulaCount) {
        const std::vector<std::uint8_t>& code = g_compiled[text_numbers][choice & 0x7F];
        std::memcpy(block, code.data(), code.size());
    } else {
        in.bytes(block, in.byte());
    }
    if (reaches_stateful_function(block, fcl::code_length(block), text_numbers)) return 0;

    auto& program_ctx = *static_cast<fcl::Context*>(g_program_handle);
    std::memset(program_ctx.pool, 0xA5, sizeof program_ctx.pool);
    std::memset(program_ctx.result, 0x5A, sizeof program_ctx.result);
    std::memset(g_walk_context->pool, 0, sizeof g_walk_context->pool);
    std::memset(g_walk_context->result, 0, sizeof g_walk_context->result);

    Host first;
    first.in = &in;
    std::uint8_t by_program[FCL_MAX_VALUE] = {};
    const std::uint16_t status = FCLEXECUTE2(run_host, &first, block, by_program, g_program_handle);
    Host second;
    second.answers = first.answers;
    std::uint8_t by_walk[FCL_MAX_VALUE] = {};
    FUZZ_CHECK(run_walk(block, by_walk, second) == status);
    FUZZ_CHECK(second.requests == first.requests);
    FUZZ_CHECK(std::memcmp(by_program, by_walk, sizeof by_walk) == 0);
    return 0;
}
