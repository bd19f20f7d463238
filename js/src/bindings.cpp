// The WebAssembly module's own entry points, beside the 34 of fclib.h: the field callback that
// hands every request to JavaScript, the profile text, code page 932 text through the platform's
// table, and the analysis API (tokens, diagnostics, lint, the function catalogue) in flat form.
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "analysis/analysis.h"
#include "fclib.h"
#include "interface/settings.h"
#include "interface/values.h"
#include "platform/wasm/cp932_text.h"
#include "platform/wasm/profile_text.h"

namespace {

EM_JS(std::int32_t, js_field, (void* data, const char* name, void* raw, std::uint16_t* type), {
    return Module["fclField"](data, name, raw, type);
});

// A run's field answers that JavaScript writes before the run (see Formula._fill), so that
// numbers and logicals reach the executor without a call out of the module. Slots are matched
// by name; a slot in the kAsk state, or a name without a slot, is asked of JavaScript.
constexpr std::size_t kMostSlots = 32;
constexpr std::size_t kSlotNameBytes = 63;  // longer names are always asked of JavaScript
enum SlotState : std::int32_t { kAsk = 0, kNumber = 1, kLogical = 2, kNoValue = 3 };
struct FieldSlot {
    double number;
    // The address the name came at in an earlier run of the same code: a run passes the name
    // of one item at one address every time. JavaScript clears it with the name.
    const char* seen;
    std::int32_t state;
    std::uint8_t logical;
    char name[kSlotNameBytes];  // NUL-terminated
};
// index.js writes the slots at these offsets; the count and the name's room it asks of the module.
static_assert(sizeof(FieldSlot) == 80 && offsetof(FieldSlot, seen) == 8 && offsetof(FieldSlot, state) == 12 &&
              offsetof(FieldSlot, logical) == 16 && offsetof(FieldSlot, name) == 17);

FieldSlot g_slots[kMostSlots];
std::size_t g_slot_count = 0;  // the slots in force for the run in progress; 0 outside runs
void* g_host_token = nullptr;  // the data pointer of field requests (aggregates use others)
void* g_handle = nullptr;
unsigned char* g_result = nullptr;

FieldSlot* find_slot(const char* name) {
    for (std::size_t i = 0; i < g_slot_count; ++i)
        if (g_slots[i].seen == name) return &g_slots[i];
    for (std::size_t i = 0; i < g_slot_count; ++i) {
        if (std::strcmp(g_slots[i].name, name) == 0) {
            g_slots[i].seen = name;
            return &g_slots[i];
        }
    }
    return nullptr;
}

std::int32_t field_callback(void* data, const char* name, void* raw, std::uint16_t* type) {
    if (data == g_host_token && raw != nullptr) {
        if (const FieldSlot* slot = find_slot(name)) {
            switch (slot->state) {
            case kNumber:
                std::memcpy(raw, &slot->number, sizeof slot->number);
                *type = FCL_T_NUMBER | (FCL_RAW_DOUBLE << 8);
                return 0;
            case kLogical:
                *static_cast<unsigned char*>(raw) = slot->logical;
                *type = FCL_T_LOGICAL;
                return 0;
            case kNoValue:
                return 1;
            default:
                break;
            }
        }
    }
    return js_field(data, name, raw, type);
}

fcl::analysis::Analysis g_analysis;
fcl::analysis::LintResult g_lint;

}  // namespace

extern "C" {

// The callback to pass to FCLCOMPILE and FCLEXECUTE: it calls Module.fclField.
EMSCRIPTEN_KEEPALIVE FCLFIELDPROC fclw_callback() { return field_callback; }

// The instance's host token, handle and result buffer, which fclw_run passes to FCLEXECUTE2.
EMSCRIPTEN_KEEPALIVE void fclw_bind(void* host_token, void* handle, unsigned char* result) {
    g_host_token = host_token;
    g_handle = handle;
    g_result = result;
}

EMSCRIPTEN_KEEPALIVE FieldSlot* fclw_slots() { return g_slots; }
EMSCRIPTEN_KEEPALIVE int fclw_most_slots() { return kMostSlots; }
EMSCRIPTEN_KEEPALIVE int fclw_slot_name_bytes() { return kSlotNameBytes; }

// Runs code with the first slot_count slots answering fields (0: JavaScript answers them all);
// -1 when the library's number mode is not mode, the one the code was compiled for. The slots
// are in force for this run only (index.js starts no run from inside another).
EMSCRIPTEN_KEEPALIVE int fclw_run(const unsigned char* code, std::size_t slot_count, int mode) {
    if (FCLMODE() != mode) return -1;
    g_slot_count = slot_count < kMostSlots ? slot_count : kMostSlots;
    const int status = FCLEXECUTE2(field_callback, g_host_token, code, g_result, g_handle);
    g_slot_count = 0;
    return status;
}

// Refuses a run of code as the library refuses one from inside a field callback: the blank
// value of its result type and FCL_E_BUSY.
EMSCRIPTEN_KEEPALIVE int fclw_refuse(const unsigned char* code) {
    fcl::write_blank_value(code[0], g_result);
    return FCL_E_BUSY;
}

// Replaces the profile (null bytes: none) and reads the load-time settings again.
EMSCRIPTEN_KEEPALIVE int fclw_set_profile(const unsigned char* bytes, std::size_t size) {
    const bool kept = fcl::platform::set_profile_text(bytes, size);
    fcl::on_process_attach();
    return kept;
}

// UTF-16 to code page 932: the bytes written (at most out_size), or -1 - i when units[i] is a
// character that code page 932 cannot hold (its code would read back as another character).
EMSCRIPTEN_KEEPALIVE int fclw_encode(const std::uint16_t* units, std::size_t count, unsigned char* out,
                                     std::size_t out_size) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char bytes[2];
        const std::size_t length = fcl::platform::cp932_encode(units[i], bytes);
        std::size_t used = 0;
        if (length == 0 || fcl::platform::cp932_decode(bytes[0], length == 2 ? bytes[1] : 0, used) != units[i])
            return -1 - static_cast<int>(i);
        if (written + length > out_size) break;
        std::memcpy(out + written, bytes, length);
        written += length;
    }
    return static_cast<int>(written);
}

// Code page 932 to UTF-16 (out holds count units): bytes that are no character give U+FFFD.
EMSCRIPTEN_KEEPALIVE std::size_t fclw_decode(const unsigned char* bytes, std::size_t count, std::uint16_t* out) {
    std::size_t units = 0;
    for (std::size_t at = 0; at < count;) {
        std::size_t used = 1;
        const std::uint16_t unit = fcl::platform::cp932_decode(bytes[at], at + 1 < count ? bytes[at + 1] : 0, used);
        out[units++] = unit || bytes[at] == 0 ? unit : 0xFFFD;
        at += used;
    }
    return units;
}

// The tokens of text as (kind, begin, end) triples; returns their count.
EMSCRIPTEN_KEEPALIVE std::size_t fclw_tokens(const char* text, std::uint16_t* out, std::size_t most) {
    static fcl::analysis::Token tokens[fcl::analysis::kMostTokens];
    const std::size_t count = fcl::analysis::tokenize(text, tokens, most < fcl::analysis::kMostTokens ? most : fcl::analysis::kMostTokens);
    for (std::size_t i = 0; i < count; ++i) {
        out[3 * i] = static_cast<std::uint16_t>(tokens[i].kind);
        out[3 * i + 1] = tokens[i].span.begin;
        out[3 * i + 2] = tokens[i].span.end;
    }
    return count;
}

EMSCRIPTEN_KEEPALIVE const char* fclw_token_kind(int kind) {
    return fcl::analysis::token_kind_name(static_cast<fcl::analysis::TokenKind>(kind));
}

// Analyses text with the JavaScript callback (data is handed to it) and, for a formula that
// compiles, lints it for the number mode. Returns the status; the fclw_diagnostic_* and
// fclw_warning_* functions read the result.
EMSCRIPTEN_KEEPALIVE int fclw_analyze(void* data, const char* text, int double_numbers) {
    const int status = fcl::analysis::analyze(nullptr, field_callback, data, text, g_analysis);
    g_lint.count = 0;
    if (status == FCL_OK) fcl::analysis::lint(g_analysis, double_numbers != 0, g_lint);
    return status;
}

EMSCRIPTEN_KEEPALIVE int fclw_diagnostic_begin() { return g_analysis.diagnostic.span.begin; }
EMSCRIPTEN_KEEPALIVE int fclw_diagnostic_end() { return g_analysis.diagnostic.span.end; }
EMSCRIPTEN_KEEPALIVE const char* fclw_diagnostic_message() { return g_analysis.diagnostic.message; }
EMSCRIPTEN_KEEPALIVE const char* fclw_diagnostic_reason() { return g_analysis.diagnostic.reason; }
EMSCRIPTEN_KEEPALIVE const char* fclw_status_message(int status) { return fcl::analysis::status_message(status); }

EMSCRIPTEN_KEEPALIVE int fclw_warning_count() { return static_cast<int>(g_lint.count); }
EMSCRIPTEN_KEEPALIVE const char* fclw_warning_code(int i) { return g_lint.warnings[i].code; }
EMSCRIPTEN_KEEPALIVE const char* fclw_warning_message(int i) { return g_lint.warnings[i].message; }
EMSCRIPTEN_KEEPALIVE int fclw_warning_begin(int i) { return g_lint.warnings[i].span.begin; }
EMSCRIPTEN_KEEPALIVE int fclw_warning_end(int i) { return g_lint.warnings[i].span.end; }
// The fix's replacement text, or null when the warning has none.
EMSCRIPTEN_KEEPALIVE const char* fclw_warning_fix(int i) {
    return g_lint.warnings[i].has_fix ? g_lint.warnings[i].fix.text : nullptr;
}
EMSCRIPTEN_KEEPALIVE int fclw_warning_fix_begin(int i) { return g_lint.warnings[i].fix.span.begin; }
EMSCRIPTEN_KEEPALIVE int fclw_warning_fix_end(int i) { return g_lint.warnings[i].fix.span.end; }

EMSCRIPTEN_KEEPALIVE int fclw_function_count() { return fcl::analysis::function_count(); }
EMSCRIPTEN_KEEPALIVE const char* fclw_function_name(int record) { return fcl::analysis::function_info(record)->name; }
EMSCRIPTEN_KEEPALIVE const char* fclw_function_summary(int record) {
    return fcl::analysis::function_info(record)->summary;
}
EMSCRIPTEN_KEEPALIVE const char* fclw_function_anchor(int record) {
    return fcl::analysis::function_info(record)->docs_anchor;
}
EMSCRIPTEN_KEEPALIVE int fclw_function_argc(int record) { return fcl::analysis::function_info(record)->argc; }
EMSCRIPTEN_KEEPALIVE int fclw_function_result(int record) { return fcl::analysis::function_info(record)->result; }
EMSCRIPTEN_KEEPALIVE int fclw_function_arg(int record, int i) { return fcl::analysis::function_info(record)->args[i]; }
EMSCRIPTEN_KEEPALIVE int fclw_function_aggregate(int record) {
    return static_cast<int>(fcl::analysis::function_info(record)->aggregate);
}

}  // extern "C"
