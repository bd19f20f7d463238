// The context: every byte of compile and execute state, one fixed block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fclib.h"
#include "number/backend.h"

namespace fcl {

struct ParseNode;

constexpr std::size_t kTextAreaSize = FCL_MAX_CODE;  // formula text copy / compiled formula copy
constexpr std::size_t kCodeAreaSize = FCL_MAX_VALUE; // code build area / result area
constexpr std::size_t kNodePoolSize = 4096;  // node pool / value area
constexpr std::size_t kStackSlots = 128;     // parse and subtree stacks, entries 1..127 used
constexpr std::size_t kOperandSlots = 32;    // operand stack, entries 1..31 used
constexpr std::uint16_t kMaxOperands = 31;
constexpr std::size_t kProgramBankSize = kStackSlots * sizeof(void*);
constexpr std::size_t kMaxStringText = FCL_MAX_STRING;  // text bytes of a string value
constexpr std::size_t kRawBufferOffset = 10; // the field callback writes after the first 10 result bytes
constexpr std::size_t kRawBufferSize = kCodeAreaSize - kRawBufferOffset;
static_assert(kRawBufferSize == FCL_RAW_BUFFER && kTextAreaSize == FCL_MAX_TEXT + 1);

// Why the last compile failed with a type error (1003), for diagnostics: what the compiler knew
// at the failing step. Hosts read it at FCL_CTX_WHY (fclib.h, which describes each kind).
enum class WhyCode : std::uint8_t {
    None = FCL_WHY_NONE,
    ArgumentCount = FCL_WHY_COUNT,
    ArgumentType = FCL_WHY_TYPE,
    LiteralContent = FCL_WHY_LITERAL,
    BranchesDiffer = FCL_WHY_BRANCHES,
    OperandsDiffer = FCL_WHY_OPERANDS,
    ComparisonTypes = FCL_WHY_COMPARISON,
    NoRoom = FCL_WHY_NO_ROOM,
};

struct CompileWhy {
    WhyCode code;
    std::uint8_t record;    // 1-based function record of the call concerned, 0 for none
    std::uint8_t argument;  // 0-based argument index
    std::uint8_t expected;  // type masks
    std::uint8_t given;
    std::uint8_t count;     // arguments written, with FCL_WHY_OPERATOR when the call is an operator

    static std::uint8_t counted(unsigned argc, bool is_operator) {
        return static_cast<std::uint8_t>((argc & 0x7F) | (is_operator ? FCL_WHY_OPERATOR : 0));
    }
    unsigned arguments() const { return count & 0x7Fu; }
    bool is_operator() const { return (count & FCL_WHY_OPERATOR) != 0; }
};
static_assert(sizeof(CompileWhy) == FCL_WHY_SIZE);

struct OperandEntry {
    const std::uint8_t* value;  // tagged value: a literal in the code copy or a value in the value area
    std::uint16_t bytes;        // bytes the value takes in the value area; 0 for literals
};

// Field order and widths are part of the library's contract with itself across
// compile and execute; the layout is exactly 8384 bytes on 64-bit targets.
struct Context {
    std::uint16_t code_pos;
    std::uint16_t parse_depth;
    std::uint16_t subtree_depth;
    // The two parser stacks are idle while a formula runs; execution keeps its decoded programs
    // there (executor/program_cache.cpp). A compile leaves them to be rebuilt.
    union {
        ParseNode* parse_stack[kStackSlots];
        std::uint8_t program_bank0[kProgramBankSize];
    };
    // While in_use: the frame of the entry point that claimed the context (entry_points.cpp).
    std::uintptr_t claim_frame;
    union {
        ParseNode* subtree_stack[kStackSlots];
        std::uint8_t program_bank1[kProgramBankSize];
    };
    std::uint16_t flags;
    std::uint16_t prev_class;
    // Nonzero while an entry point compiles or executes in this context, so that a field
    // callback calling back into the same context is refused instead of overwriting the run.
    std::uint16_t in_use;
    const char* lex_pos;
    char token_text[kTextAreaSize];
    alignas(8) std::uint8_t pool[kNodePoolSize];  // node pool at compile time, value area at run time
    std::uint16_t pool_used;
    // In what was padding before the callback: the layout stays as it was.
    CompileWhy why;
    FCLFIELDPROC callback;
    void* callback_data;
    const std::uint8_t* current_item;
    union {
        char text[kTextAreaSize];             // compile: formula text
        std::uint8_t code_copy[kTextAreaSize];  // execute: compiled formula being run
    };
    union {
        std::uint8_t code_build[kCodeAreaSize];  // compile: compiled formula being built
        std::uint8_t result[kCodeAreaSize];      // execute: where handlers and the field fetch write
    };
    std::uint16_t stack_depth;
    OperandEntry stack[kOperandSlots];
    std::uint16_t value_used;
    std::uint8_t* value_area;
    alignas(4) std::uint8_t number_scratch[kNumberSize];
    alignas(4) std::uint8_t number_scratch2[kNumberSize];
};

static_assert(sizeof(void*) != 8 || sizeof(Context) == FCL_CONTEXT_SIZE,
              "the context block is 8384 bytes on 64-bit targets");
// Hosts read compile diagnostics at these offsets (fclib.h).
static_assert(sizeof(void*) != 8 || (offsetof(Context, lex_pos) == FCL_CTX_LEX_POS &&
                                     offsetof(Context, token_text) == FCL_CTX_TOKEN_TEXT &&
                                     offsetof(Context, text) == FCL_CTX_TEXT &&
                                     offsetof(Context, why) == FCL_CTX_WHY),
              "the diagnostics fields stay where fclib.h says");

// Calls a host's field callback (not null). The low 16 bits of its answer are what the library
// reads: 0 is success.
inline std::uint16_t call_host(FCLFIELDPROC callback, void* first, const char* name, void* raw,
                               std::uint16_t* type_word) {
    return static_cast<std::uint16_t>(callback(first, name, raw, type_word) & 0xFFFF);
}

// Calls the context's field callback. Without a callback there is no host to answer, which is a
// failure (1005).
inline std::uint16_t ask_host(const Context& ctx, void* first, const char* name, void* raw,
                              std::uint16_t* type_word) {
    if (!ctx.callback) return FCL_E_CALLBACK;
    return call_host(ctx.callback, first, name, raw, type_word);
}

// The process-wide context used by FCLCOMPILE and FCLEXECUTE.
Context& global_context();

}  // namespace fcl
