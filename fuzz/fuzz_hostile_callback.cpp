// Fixed formulas over fields, names, every aggregate and PAGE, run against a host whose every
// answer comes from the fuzz input: wrong types, texts that fill the whole raw buffer without a
// terminator, failure codes, the aggregate end marks as answer or as type word, pass keys.
//
// Input layout: a sequence of runs. Each run starts with a byte choosing the formula (bits 0-5)
// and the number encoding (bit 6; bit 7 re-sizes the aggregate work areas first). Every
// callback request then takes a control byte and, depending on it, more bytes (see answer()).
// When the input runs out the host turns well-behaved: fields get a short text and every
// aggregate request ends its values, so each run stays short.
//
// The work areas are sized from a profile written at start (SumSize above the fixed ten,
// AvgSize 2, MinSize 1, MaxSize 0), and sized again whenever the encoding changes, in the order
// a host must keep: encoding first, then FCLINIT.
//
// Checked: every request follows the protocol (field requests carry the callback data and the
// reference kind; queries have an empty name; value requests name a reference of the formula;
// P requests name an aggregate), a run asks no more than its input allows, ends with a known
// status or a pass key the host gave, and leaves the blank value on failure or a complete
// value on success.
#include <unistd.h>

#include <bitset>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

using fuzz::Reader;

const char* const kFormulas[] = {
    "[N1]",
    "N2",
    "[S1]",
    "[D1] = D2",
    "[T1]",
    "[L1] AND L2",
    "COUNT([N1])",
    "COUNT(S2, [L1])",
    "PCOUNT([S1])",
    "PCOUNT([N1], L2)",
    "SUM([N1])",
    "SUM(N2, [L1])",
    "PSUM([N1])",
    "PSUM(N2, [L1])",
    "AVG([N1])",
    "AVG(N2, L2)",
    "PAVG([N1])",
    "PAVG([N1], [L1])",
    "MIN([N1])",
    "MIN(N2, [L1])",
    "PMIN(N2)",
    "PMIN([N1], L2)",
    "MAX(N2)",
    "MAX([N1], L2)",
    "PMAX([N1])",
    "PMAX(N2, [L1])",
    "SUM([N1]) + SUM(N2) + SUM([N1]) + AVG(N2) + MIN([N1]) + MAX(N2) + COUNT([S1])",
    "PSUM([N1]) + PAVG(N2) + PMIN([N1]) + PMAX(N2) + PCOUNT([D1])",
    "SUM(1) + AVG(2, [L1]) + COUNT(\"x\") + PSUM(3)",
    "COUNT(IF([L1], [S1], S2)) + MIN(SUM([N1]))",
    "PAGE()",
    "PAGE([N1], N2)",
    "PAGE() + [S1]",
    "IF([L1], [S1], S2)",
    "SELECT([N1], [S1], S2, \"x\", [S1])",
    "LEFT([S1], [N1]) + MID(S2, N2, [N1])",
    "FORMAT([N1], [S1])",
    "STR([N1], N2, [N1]) + REPLACE([S1], S2, [S1])",
    "SEI2WA([D1]) + DTOC(D2) + CDOW([D1])",
    "ADATE([D1], [N1]) = CTOD([S1])",
    "HOUR([T1]) + MINT(T2) + CTIME([T1], T2, [N1])",
    "LEN([S1]) + VAL(S2) + AT([S1], S2)",
    "[N1] / N2 + [N1] % N2",
    "LIKE([S1], S2) OR IN([S1], S2, \"a\", [S1]) OR BETWEEN([N1], N2, [N1])",
};
constexpr int kFormulaCount = static_cast<int>(sizeof kFormulas / sizeof kFormulas[0]);

// Names the formulas refer to; a reference's first letter gives its compile-time type.
const char* const kNames[] = {"N1", "N2", "S1", "S2", "D1", "D2", "T1", "T2", "L1", "L2"};

std::uint8_t type_of_name(const char* name) {
    switch (name[0]) {
        case 'N': return FCL_T_NUMBER;
        case 'S': return FCL_T_STRING;
        case 'D': return FCL_T_DATE;
        case 'T': return FCL_T_TIME;
        default: return FCL_T_LOGICAL;
    }
}

bool is_known_name(const char* name) {
    for (const char* known : kNames)
        if (std::strcmp(name, known) == 0) return true;
    return false;
}

bool is_aggregate_name(const char* name) {
    static const char* const kAggregates[] = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
    for (const char* known : kAggregates)
        if (std::strcmp(name, known) == 0) return true;
    return false;
}

struct Compiled {
    std::vector<std::uint8_t> code[2];  // by encoding: 0 double numbers, 1 text numbers
};

Compiled g_compiled[kFormulaCount];
FCLHANDLE g_handle = nullptr;
std::int32_t g_mode = -1;

struct Host {
    Reader* in = nullptr;
    unsigned requests = 0;
    unsigned request_limit = 0;
    std::bitset<65536> pass_keys;  // answers given to plain value requests
};

Host g_host;

int32_t compile_callback(void*, const char* name, void* raw, uint16_t* type) {
    FUZZ_CHECK(raw == nullptr && is_known_name(name));
    *type = type_of_name(name);
    return 0;
}

constexpr std::uint8_t kRawFormats[8] = {FCL_RAW_U8,  FCL_RAW_I8,  FCL_RAW_U16,    FCL_RAW_I16,
                                         FCL_RAW_U32, FCL_RAW_I32, FCL_RAW_DOUBLE, FCL_RAW_TEXT};
constexpr std::uint8_t kTypes[8] = {FCL_T_STRING, FCL_T_NUMBER, FCL_T_LOGICAL, FCL_T_TIME,
                                    FCL_T_DATE,   FCL_T_FIELD,  FCL_T_FUNCTION, 0};
enum class Request { Field, Query, Plain, P };

// One answer driven by the input. Control byte c:
//   bits 0-2  result: 0-3 success, 4 failure 1, 5 0xFFFE, 6 0xFFFF, 7 a 32-bit result from input
//   bits 3-5  type word: 0-3 a type and raw format from the next byte, 4 0xFFFE, 5 0xFFFF,
//             6 a 16-bit word from input, 7 left as the library passed it
//   bits 6-7  raw buffer: 0 a short text from input, 1 all 518 bytes one non-NUL byte (no
//             terminator), 2 eight bytes from input, 3 left as it is
int32_t answer(Host& host, Request request, void* raw, uint16_t* type) {
    Reader& in = *host.in;
    const std::uint8_t c = in.byte();
    int32_t result;
    switch (c & 7) {
        case 4: result = 1; break;
        case 5: result = FCL_AGG_CONTINUE; break;
        case 6: result = FCL_AGG_RESET; break;
        case 7: result = static_cast<int32_t>(in.u32()); break;
        default: result = 0; break;
    }
    switch ((c >> 3) & 7) {
        case 4: *type = FCL_AGG_CONTINUE; break;
        case 5: *type = FCL_AGG_RESET; break;
        case 6: *type = in.u16(); break;
        case 7: break;
        default: {
            const std::uint8_t pick = in.byte();
            *type = static_cast<uint16_t>(kTypes[pick & 7] | (kRawFormats[(pick >> 3) & 7] << 8));
            break;
        }
    }
    auto* buffer = static_cast<std::uint8_t*>(raw);
    switch (c >> 6) {
        case 0: {
            const std::size_t n = in.byte();
            const std::size_t got = in.bytes(buffer, n);
            buffer[got] = 0;
            break;
        }
        case 1: {
            std::uint8_t fill = in.byte();
            if (fill == 0) fill = '9';
            std::memset(buffer, fill, FCL_RAW_BUFFER);
            break;
        }
        case 2: in.bytes(buffer, 8); break;
        default: break;
    }
    if (request == Request::Plain) host.pass_keys.set(static_cast<std::uint16_t>(result));
    return result;
}

// Once the input is used up: plain values for fields, the end of values for aggregates.
int32_t well_behaved(Host& host, Request request, const char* name, void* raw, uint16_t* type) {
    switch (request) {
        case Request::Field:
            *type = type_of_name(name);
            std::strcpy(static_cast<char*>(raw), name[0] == 'D' ? "20240229" : name[0] == 'T' ? "235959" : "7");
            return 0;
        case Request::Query: return FCL_AGG_RESET;
        case Request::Plain:
            *type = FCL_AGG_CONTINUE;
            host.pass_keys.set(0);
            return 0;
        case Request::P:
        default: *type = FCL_AGG_RESET; return 0;
    }
}

int32_t hostile_callback(void* data, const char* name, void* raw, uint16_t* type) {
    Host& host = g_host;
    FUZZ_CHECK(name != nullptr && type != nullptr);
    FUZZ_CHECK(++host.requests <= host.request_limit);
    Request request;
    if (data == &g_host) {
        request = Request::Field;
        FUZZ_CHECK(*type == FCL_T_FIELD || *type == FCL_T_NAME);
        FUZZ_CHECK(is_known_name(name));
    } else {
        FUZZ_CHECK(data != nullptr);
        const auto first = *static_cast<const std::uint8_t*>(data);
        if (first == 2 || first == 3) {
            std::int32_t code;
            std::memcpy(&code, data, sizeof code);
            FUZZ_CHECK(code == first);
            request = code == 3 ? Request::Query : Request::Plain;
        } else {
            FUZZ_CHECK(is_aggregate_name(static_cast<const char*>(data)));
            request = Request::P;
        }
        if (request == Request::Query) FUZZ_CHECK(name[0] == '\0');
        else FUZZ_CHECK(is_known_name(name));
    }
    FUZZ_CHECK(raw != nullptr);
    if (host.in->empty()) return well_behaved(host, request, name, raw, type);
    return answer(host, request, raw, type);
}

void set_mode(std::int32_t mode, bool resize) {
    if (mode == g_mode && !resize) return;
    g_mode = mode;
    FCLSETMODE(mode);
    const std::int32_t init = 1;
    FCLINIT(0, &init);
}

char g_profile_dir[] = "/tmp/fclib-fuzz-profile-XXXXXX";
std::string g_profile_path;

void remove_profile() {
    std::remove(g_profile_path.c_str());
    rmdir(g_profile_dir);
}

void write_profile() {
    FUZZ_CHECK(mkdtemp(g_profile_dir) != nullptr);
    g_profile_path = std::string(g_profile_dir) + "/ORBISRPT.INI";
    std::FILE* file = std::fopen(g_profile_path.c_str(), "w");
    FUZZ_CHECK(file != nullptr);
    std::fputs("[Fclib]\nSumSize=12\nAvgSize=2\nMinSize=1\nMaxSize=0\n", file);
    std::fclose(file);
    std::atexit(remove_profile);
    setenv("FCLIB_PROFILE_DIR", g_profile_dir, 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    write_profile();
    g_handle = FCLCREATEHANDLE();
    FUZZ_CHECK(g_handle != nullptr);
    for (std::int32_t mode = 0; mode < 2; ++mode) {
        FCLSETMODE(mode);
        for (int i = 0; i < kFormulaCount; ++i) {
            unsigned char code[FCL_MAX_CODE];
            std::uint16_t length = 0;
            const std::uint16_t status = FCLCOMPILE2(compile_callback, nullptr, kFormulas[i], code, &length, g_handle);
            if (status != FCL_OK) std::fprintf(stderr, "cannot compile %s: %u\n", kFormulas[i], status);
            FUZZ_CHECK(status == FCL_OK);
            FUZZ_CHECK(fuzz::is_value_type(code[0]));
            g_compiled[i].code[mode].assign(code, code + length);
        }
    }
    set_mode(0, true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    g_host.in = &in;
    for (int runs = 0; runs < 8 && !in.empty(); ++runs) {
        const std::uint8_t pick = in.byte();
        const std::int32_t mode = (pick >> 6) & 1;
        set_mode(mode, pick & 0x80);
        const std::vector<std::uint8_t>& code = g_compiled[(pick & 0x3F) % kFormulaCount].code[mode];
        // Heap copies of exactly the block and the 528-byte result buffer.
        std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[code.size()]);
        std::memcpy(block.get(), code.data(), code.size());
        std::unique_ptr<std::uint8_t[]> result(new std::uint8_t[FCL_MAX_VALUE]);
        std::memset(result.get(), 0xBE, FCL_MAX_VALUE);
        // Every request takes at least one input byte until the input ends; after that each
        // field takes one request and each aggregate call at most three.
        g_host.requests = 0;
        g_host.request_limit = static_cast<unsigned>(in.left()) + 64;
        g_host.pass_keys.reset();
        const std::uint16_t status = FCLEXECUTE2(hostile_callback, &g_host, block.get(), result.get(), g_handle);
        FUZZ_CHECK(fuzz::is_known_status(status) || g_host.pass_keys.test(status));
        const bool text_numbers = mode != 0;
        if (status != FCL_OK) fuzz::check_blank_result(block[0], text_numbers, result.get());
        else FUZZ_CHECK(fuzz::tagged_size(result.get(), FCL_MAX_VALUE, text_numbers) != 0);
    }
    g_host.in = nullptr;
    return 0;
}
