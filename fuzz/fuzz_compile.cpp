// Formula text through the compiler and the executor, in both number encodings.
//
// Input layout:
//   byte 0      flags: bit 0 selects the double backend for text-number mode (else decimal);
//               bits 2-3 choose the answer to the aggregates' query (0 and 3: go on, 1: run
//               the P form, 2: no value); bit 4 ends plain aggregate values with the reset mark.
//   bytes 1-8   one entry per name slot; a field or name reference uses slot
//               (sum of its name's bytes) & 7. Entry bits 0-2: kind (0 string, 1 number,
//               2 logical, 3 time, 4 date, all as text; 5 number and 6 logical in the raw
//               format of bits 3-5; 7 an unusual type picked by bits 3-5). Bit 6: at run time
//               answer the next kind instead. Bit 7: the run-time fetch fails.
//   then        the formula text up to a NUL, then up to eight values, one per slot, each a
//               length byte (255: a 16-bit length follows) and that many bytes: the text, or
//               for a binary format the raw bytes (the first eight count). Slots without a
//               value get a fixed value of their kind.
//
// After a successful compilation the block is checked item by item; every run must end with a
// known status and leave a well-formed value (the blank value of the result type on failure).
// The same text compiled in the global context must give the same block, and a formula that
// reads neither the clock nor process-wide state, with fields answered in their compiled
// types, must run to the same value there.
//
// With FCLIB_FUZZ_SEED_DIR set, each compiled block is also written to that directory: run.sh
// uses this to turn the formula seeds into seeds for fuzz_code_bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "analysis/analysis.h"
#include "fuzz_support.h"

namespace {

using fuzz::Reader;

constexpr std::uint8_t kRawFormats[8] = {FCL_RAW_U8,  FCL_RAW_I8,  FCL_RAW_U16,    FCL_RAW_I16,
                                         FCL_RAW_U32, FCL_RAW_I32, FCL_RAW_DOUBLE, FCL_RAW_TEXT};
// Unusual types a host might answer; -1 stands for a failing callback.
constexpr int kUnusualTypes[8] = {-1, 0, 3, FCL_T_ANY, FCL_T_FIELD, FCL_T_NAME, FCL_T_FUNCTION, 255};
constexpr std::uint8_t kKindTypes[5] = {FCL_T_STRING, FCL_T_NUMBER, FCL_T_LOGICAL, FCL_T_TIME, FCL_T_DATE};
const char* const kDefaultValues[8] = {"abc", "12.5", "1", "123456", "20240315", "\x07", "\x01", "add"};

struct Host {
    std::uint8_t flags = 0;
    std::uint8_t slots[8] = {};
    std::string values[8];
    bool has_value[8] = {};
    // Per run.
    bool relaxed = false;        // an answer outside the plain value types was given
    bool value_pending = false;  // an aggregate got its value and waits for the end mark
    unsigned requests = 0;
    // The answer to the plain aggregates' value requests: a new key for every run, so that each
    // run's aggregates start again at slot 0 (a run at the slot limit returns it as its status).
    std::uint16_t pass_key = 0;
};

Host* g_host = nullptr;

unsigned slot_of(const char* name) {
    unsigned sum = 0;
    for (const char* p = name; *p; ++p) sum += static_cast<unsigned char>(*p);
    return sum & 7;
}

// Writes the slot's run-time value into the raw buffer and returns its value type word.
std::uint16_t answer_value(Host& host, unsigned slot, void* raw, bool allow_mismatch) {
    const std::uint8_t entry = host.slots[slot];
    unsigned kind = entry & 7;
    const std::string text = host.has_value[slot] ? host.values[slot] : std::string(kDefaultValues[kind]);
    auto* out = static_cast<char*>(raw);
    std::uint16_t word;
    if (kind == 7) {
        const int unusual = kUnusualTypes[(entry >> 3) & 7];
        word = static_cast<std::uint16_t>(unusual < 0 ? FCL_T_STRING : unusual);
        host.relaxed = true;
    } else if (kind == 5 || kind == 6) {
        const std::uint8_t format = kRawFormats[(entry >> 3) & 7];
        word = static_cast<std::uint16_t>((kind == 5 ? FCL_T_NUMBER : FCL_T_LOGICAL) | (format << 8));
        if (format != FCL_RAW_TEXT) {
            std::memset(out, 0, 8);
            std::memcpy(out, text.data(), text.size() < 8 ? text.size() : 8);
            return word;
        }
    } else {
        if (allow_mismatch && (entry & 0x40)) {
            kind = (kind + 1) % 5;
            host.relaxed = true;
        }
        word = kKindTypes[kind];
    }
    // A text longer than the raw buffer fills it without a terminator.
    if (text.size() >= FCL_RAW_BUFFER) {
        std::memcpy(out, text.data(), FCL_RAW_BUFFER);
    } else {
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
    }
    return word;
}

bool is_aggregate_name(const char* name) {
    static const char* const kNames[] = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
    for (const char* known : kNames)
        if (std::strcmp(name, known) == 0) return true;
    return false;
}

// The aggregates' requests: each call gets one value of the reference's slot, then the end mark.
int32_t aggregate_request(Host& host, const void* request, const char* name, void* raw, uint16_t* type) {
    const auto first = *static_cast<const std::uint8_t*>(request);
    if (first == 3 || first == 2) {
        std::int32_t code;
        std::memcpy(&code, request, sizeof code);
        FUZZ_CHECK(code == 2 || code == 3);
        if (code == 3) {
            FUZZ_CHECK(name[0] == '\0');
            switch ((host.flags >> 2) & 3) {
                case 1: return FCL_AGG_CONTINUE;
                case 2: return 1;
                default: return FCL_AGG_RESET;
            }
        }
    } else {
        FUZZ_CHECK(is_aggregate_name(static_cast<const char*>(request)));
    }
    FUZZ_CHECK(raw != nullptr);
    const bool plain = first == 2;
    const int32_t answer = plain ? host.pass_key : 0;
    if (!host.value_pending) {
        host.value_pending = true;
        *type = answer_value(host, slot_of(name), raw, false);
        return answer;
    }
    host.value_pending = false;
    *type = plain && !(host.flags & 0x10) ? FCL_AGG_CONTINUE : FCL_AGG_RESET;
    return answer;
}

int32_t field_callback(void* data, const char* name, void* raw, uint16_t* type) {
    FUZZ_CHECK(g_host != nullptr && name != nullptr && type != nullptr);
    Host& host = *g_host;
    // Aggregates end after two requests per call; a run that keeps asking is stuck.
    FUZZ_CHECK(++host.requests < 100000);
    if (data != &host) return aggregate_request(host, data, name, raw, type);
    FUZZ_CHECK(*type == FCL_T_FIELD || *type == FCL_T_NAME);
    const unsigned slot = slot_of(name);
    const std::uint8_t entry = host.slots[slot];
    if (!raw) {
        // Compile time: the field's type.
        const unsigned kind = entry & 7;
        if (kind == 7) {
            const int unusual = kUnusualTypes[(entry >> 3) & 7];
            if (unusual < 0) return 1;
            *type = static_cast<uint16_t>(unusual);
            return 0;
        }
        *type = kind < 5 ? kKindTypes[kind] : kind == 5 ? FCL_T_NUMBER : FCL_T_LOGICAL;
        return 0;
    }
    if (entry & 0x80) return 1;
    *type = answer_value(host, slot, raw, true);
    return 0;
}

// Walks a compiled block: known items only, each complete, references closed by FF FF,
// function indices 1 to 142, one value left on the operand stack, the 0 byte last.
// The header flags must match the items where an item proves what the text held: a name
// reference item means a name was read, a call of a record past the operators (1 to 15) means a
// function name was read, and a leaf comparison is two leaves and a comparison operator.
void check_block(const std::uint8_t* code, std::size_t length, bool text_numbers, bool* stateful) {
    FUZZ_CHECK(length >= FCL_EMPTY_CODE && length <= FCL_MAX_CODE);
    FUZZ_CHECK(fuzz::header_length(code) == length);
    FUZZ_CHECK(code[length - 1] == 0);
    const std::uint8_t flags = code[1];
    std::size_t pos = FCL_CODE_HEADER;
    int depth = 0;
    int items = 0;
    int leaves = 0;
    unsigned last_call = 0;
    while (pos < length - 1) {
        const std::uint8_t* item = code + pos;
        const std::size_t size = fuzz::tagged_size(item, length - 1 - pos, text_numbers);
        FUZZ_CHECK(size != 0);
        ++items;
        last_call = 0;
        switch (item[0]) {
            case FCL_T_FUNCTION: {
                const int argc = fuzz::record_argc(item[1]);
                FUZZ_CHECK(argc >= 0);
                FUZZ_CHECK(depth >= argc);
                depth -= argc;
                if (fuzz::is_stateful_function(item[1])) *stateful = true;
                if (item[1] > 15) FUZZ_CHECK(flags & FCL_FLAG_FUNCTION);
                last_call = item[1];
                break;
            }
            case FCL_T_FIELD:
            case FCL_T_NAME:
                FUZZ_CHECK(item[size - 2] == 0xFF && item[size - 1] == 0xFF);
                if (item[0] == FCL_T_NAME) FUZZ_CHECK(flags & FCL_FLAG_NAME);
                ++leaves;
                break;
            case FCL_T_STRING:
                // The lexer takes string literals of up to 523 bytes.
                FUZZ_CHECK(size <= 523 + 2);
                break;
            default:
                FUZZ_CHECK(fuzz::is_value_type(item[0]));
                break;
        }
        if (item[0] != FCL_T_FUNCTION && item[0] != FCL_T_FIELD && item[0] != FCL_T_NAME) ++leaves;
        ++depth;
        pos += size;
    }
    FUZZ_CHECK(pos == length - 1);
    FUZZ_CHECK(depth == 1);
    if (flags & FCL_FLAG_LEAF_COMPARISON) FUZZ_CHECK(items == 3 && leaves == 2 && last_call >= 3 && last_call <= 8);
}

// The value a run handed back: complete and of a known kind on success, blank on failure.
void check_result(const Host& host, std::uint16_t status, std::uint8_t mask, bool text_numbers,
                  const std::uint8_t* result) {
    FUZZ_CHECK(fuzz::is_known_status(status) || status == host.pass_key);
    if (status != FCL_OK) {
        fuzz::check_blank_result(mask, text_numbers, result);
        return;
    }
    const std::size_t size = fuzz::tagged_size(result, FCL_MAX_VALUE, text_numbers);
    FUZZ_CHECK(size != 0);
    if (host.relaxed || !fuzz::is_value_type(mask)) return;
    // The value's type need not be the header's: WA2SEI, declared as a date, writes a string,
    // and an aggregate that writes no value leaves its argument count.
    FUZZ_CHECK(fuzz::is_value_type(result[0]));
    // (A string may be longer than the 512 bytes that string operations produce: a literal of
    // up to 523 bytes passes through IF, SELECT or WA2SEI unchanged.)
    switch (result[0]) {
        // (A number's text is not checked: VAL of a text keeps that text as the number's text.)
        case FCL_T_NUMBER: FUZZ_CHECK(text_numbers || size == 9); break;
        case FCL_T_LOGICAL: FUZZ_CHECK(result[1] == 0 || result[1] == 1); break;
        default: break;
    }
}

void write_seed(const char* dir, const std::uint8_t* code, std::size_t length) {
    unsigned long hash = 5381;
    for (std::size_t i = 0; i < length; ++i) hash = hash * 33 + code[i];
    char path[4096];
    std::snprintf(path, sizeof path, "%s/code-%016lx", dir, hash);
    if (std::FILE* file = std::fopen(path, "wb")) {
        std::fwrite(code, 1, length, file);
        std::fclose(file);
    }
}

FCLHANDLE g_handle = nullptr;
const char* g_seed_dir = nullptr;
std::int32_t g_backend = FCL_BACKEND_DECIMAL;

// Installs a backend the way a host does: before the work areas are sized, then the page
// counter of text-number mode is set in the new backend's numbers.
void use_backend(std::int32_t backend) {
    if (backend == g_backend) return;
    g_backend = backend;
    NumSetup(backend);
    Host host;
    g_host = &host;
    const std::int32_t saved = FCLMODE();
    FCLSETMODE(1);
    const std::int32_t init = 1;
    FCLINIT(0, &init);
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE];
    FUZZ_CHECK(FCLCOMPILE2(field_callback, &host, "PAGE(1, 1)", code, nullptr, g_handle) == FCL_OK);
    FUZZ_CHECK(FCLEXECUTE2(field_callback, &host, code, result, g_handle) == FCL_OK);
    FCLSETMODE(saved);
    g_host = nullptr;
}

void run_mode(Host& host, const std::string& source, std::int32_t mode) {
    // The text sits in a heap block that ends with its NUL, so a read past it is caught.
    std::unique_ptr<char[]> text(new char[source.size() + 1]);
    std::memcpy(text.get(), source.c_str(), source.size() + 1);
    const char* formula = text.get();
    FCLSETMODE(mode);
    // The work areas follow the encoding that is current when FCLINIT sizes them.
    const std::int32_t init = 1;
    FCLINIT(0, &init);
    const bool text_numbers = mode != 0;

    std::unique_ptr<std::uint8_t[]> code(new std::uint8_t[FCL_MAX_CODE]);
    std::uint16_t length = 0xBEEF;
    host.requests = 0;
    const std::uint16_t status = FCLCOMPILE2(field_callback, &host, formula, code.get(), &length, g_handle);
    FUZZ_CHECK(fuzz::is_known_status(status));

    // The global context compiles the same text to the same block and status.
    std::unique_ptr<std::uint8_t[]> again(new std::uint8_t[FCL_MAX_CODE]);
    std::uint16_t again_length = 0xBEEF;
    FUZZ_CHECK(FCLCOMPILE(field_callback, &host, formula, again.get(), &again_length) == status);
    FUZZ_CHECK(again_length == length);
    FUZZ_CHECK(std::memcmp(code.get(), again.get(), length <= FCL_MAX_CODE ? length : FCL_MAX_CODE) == 0);
    FUZZ_CHECK(FCLCOMPILE2(field_callback, &host, formula, nullptr, nullptr, g_handle) == status);

    // The analysis compiles it alike, its spans lie in the text, and the linter takes it.
    static fcl::analysis::Analysis analysis;
    FUZZ_CHECK(fcl::analysis::analyze(g_handle, field_callback, &host, formula, analysis) == status);
    FUZZ_CHECK(analysis.code_length == length && std::memcmp(analysis.code, code.get(), length) == 0);
    const std::size_t text_length = std::strlen(analysis.text);
    FUZZ_CHECK(analysis.diagnostic.span.begin <= analysis.diagnostic.span.end);
    for (std::uint16_t i = 0; i < analysis.tree.count; ++i) {
        const fcl::analysis::Node& node = analysis.tree.nodes[i];
        FUZZ_CHECK(node.span.begin <= node.span.end && node.span.end <= text_length);
        FUZZ_CHECK(node.span.begin <= node.token.begin && node.token.end <= node.span.end);
    }
    static fcl::analysis::LintResult warnings;
    fcl::analysis::lint(analysis, !text_numbers, warnings);
    for (std::size_t i = 0; i < warnings.count; ++i) {
        const fcl::analysis::Warning& w = warnings.warnings[i];
        FUZZ_CHECK(w.span.begin <= w.span.end && w.span.end <= text_length);
        FUZZ_CHECK(!w.has_fix || (w.fix.span.begin <= w.fix.span.end && w.fix.span.end <= text_length));
    }

    if (status != FCL_OK) {
        // A failed compilation leaves the empty formula.
        static const std::uint8_t kEmpty[FCL_EMPTY_CODE] = {1, 0, 7, 0, 1, 0, 0};
        FUZZ_CHECK(length == FCL_EMPTY_CODE);
        FUZZ_CHECK(std::memcmp(code.get(), kEmpty, FCL_EMPTY_CODE) == 0);
        return;
    }
    bool stateful = false;
    check_block(code.get(), length, text_numbers, &stateful);
    if (g_seed_dir) write_seed(g_seed_dir, code.get(), length);

    // The block is handed back exactly as long as its header says.
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[length]);
    std::memcpy(block.get(), code.get(), length);
    std::unique_ptr<std::uint8_t[]> result(new std::uint8_t[FCL_MAX_VALUE]);
    std::memset(result.get(), 0xBE, FCL_MAX_VALUE);
    host.relaxed = false;
    host.value_pending = false;
    host.requests = 0;
    host.pass_key = host.pass_key == 0x2345 ? 0x2346 : 0x2345;
    const std::uint16_t run = FCLEXECUTE2(field_callback, &host, block.get(), result.get(), g_handle);
    check_result(host, run, block[0], text_numbers, result.get());

    // Both contexts must agree, unless the formula reads process-wide state or the clock, or
    // the host answered a type the formula was not compiled for: handlers read arguments by
    // their compiled types, so a short value of another type lets them read the bytes after it,
    // which an earlier run may have left.
    if (stateful || host.relaxed) return;
    std::unique_ptr<std::uint8_t[]> global(new std::uint8_t[FCL_MAX_VALUE]);
    std::memset(global.get(), 0xBE, FCL_MAX_VALUE);
    host.value_pending = false;
    host.requests = 0;
    FUZZ_CHECK(FCLEXECUTE(field_callback, &host, block.get(), global.get()) == run);
    if (run == FCL_OK) {
        const std::size_t size = fuzz::tagged_size(result.get(), FCL_MAX_VALUE, text_numbers);
        FUZZ_CHECK(std::memcmp(result.get(), global.get(), size) == 0);
    } else {
        std::uint8_t blank[16];
        const std::size_t size = fuzz::blank_value(block[0], text_numbers, blank);
        FUZZ_CHECK(std::memcmp(result.get(), global.get(), size) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_handle = FCLCREATEHANDLE();
    FUZZ_CHECK(g_handle != nullptr);
    const char* dir = std::getenv("FCLIB_FUZZ_SEED_DIR");
    g_seed_dir = dir && *dir ? dir : nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    Reader in(data, size);
    Host host;
    host.flags = in.byte();
    for (std::uint8_t& slot : host.slots) slot = in.byte();
    const std::string formula = in.text();
    for (int i = 0; i < 8 && !in.empty(); ++i) {
        std::size_t n = in.byte();
        if (n == 255) n = in.u16();
        std::string value(n, '\0');
        value.resize(in.bytes(value.data(), n));
        host.values[i] = value;
        host.has_value[i] = true;
    }
    use_backend(host.flags & 1 ? 0 : FCL_BACKEND_DECIMAL);
    g_host = &host;
    run_mode(host, formula, 0);
    run_mode(host, formula, 1);
    g_host = nullptr;
    return 0;
}
