// The formula analysis for tools: the tokens of a formula as the lexer reads them, the parse
// tree of a compiled formula, diagnostics that say why a compile failed, the linter's warnings
// (lint.cpp) and the function catalogue. It runs the library's own compiler, so its verdict on
// a formula is the library's. Internal to the library's sources (fcl and the bindings link
// it); the shared library exports none of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fclib.h"
#include "functions/function_list.h"

namespace fcl::analysis {

// Byte offsets into the formula text as the caller gave it (leading blanks included).
struct Span {
    std::uint16_t begin = 0;
    std::uint16_t end = 0;
};

enum class TokenKind : std::uint8_t { Operator, Function, Field, Name, String, Number, Comma, Open, Close, Invalid };

// "operator", "function", "field", "name", "string", "number", "comma", "open", "close",
// "invalid".
const char* token_kind_name(TokenKind kind);

struct Token {
    TokenKind kind;
    Span span;
};

// A formula's tokens fill at most this many entries (a token takes a byte at least).
constexpr std::size_t kMostTokens = FCL_MAX_TEXT + 1;

// The tokens of text in order, as the compiler's lexer reads them, with every name taken as a
// known field or name; from a byte the lexer refuses, one Invalid token runs to the end (an
// unterminated string, say). Returns the count written to out (at most most).
std::size_t tokenize(const char* text, Token* out, std::size_t most);

// One node of the parse tree: a call (operator or function) or a leaf (literal, field, name).
struct Node {
    TokenKind kind;
    Span token;              // its own token
    Span span;               // the whole sub-expression (a call up to its closing parenthesis)
    std::uint8_t record;     // 1-based function record of a call, 0 for a leaf
    std::uint8_t type;       // type mask of its value
    std::uint8_t argc;
    std::uint16_t first;     // Tree::args[first ..] are its arguments' node indices
};

// A formula holds at most this many nodes (the compiler's node pool charges 14 bytes a node).
constexpr std::size_t kMostNodes = 4096 / 14 + 1;

struct Tree {
    Node nodes[kMostNodes];
    std::uint16_t args[kMostNodes];
    std::uint16_t count = 0;
    std::uint16_t root = 0;
    const Node& arg(const Node& node, unsigned i) const { return nodes[args[node.first + i]]; }
};

struct Diagnostic {
    int status = 0;        // FCL_OK or an FCL_E_ status
    Span span;             // the token the compiler stopped at
    char message[96];      // the status in words
    char reason[256];      // what went wrong in particular; empty when nothing more is known
};

struct Analysis {
    Diagnostic diagnostic;
    Tree tree;                         // when the compile succeeded
    std::uint8_t code[FCL_MAX_CODE];   // the compiled formula (the empty formula on failure)
    std::uint16_t code_length = 0;
    char text[FCL_MAX_CODE];           // the formula text, cut at FCL_MAX_TEXT bytes
};

// Compiles text on handle (a context from FCLCREATEHANDLE; null for one of the analysis's own)
// with the host's callback, as FCLCOMPILE2 does, and describes the result. Returns the status.
int analyze(FCLHANDLE handle, FCLFIELDPROC callback, void* data, const char* text, Analysis& out);

// The status in words, as fclib.h describes it.
const char* status_message(int status);

// A type error's reason in the C++ layer's words (fclib.hpp's type_error_reason) from the
// compiler's FCL_WHY bytes, with the call's name and the argument counts its forms take.
std::string type_error_words(const unsigned char* why, const char* token, const char* function, int fewest, int most);

// --- The linter (lint.cpp) ---

struct Fix {
    Span span;             // the text to replace
    char text[FCL_MAX_CODE];
};

struct Warning {
    const char* code;      // "guarded-division", ... (docs/language.md lists them)
    Span span;
    char message[256];
    bool has_fix = false;
    Fix fix;
};

constexpr std::size_t kMostWarnings = 16;

struct LintResult {
    Warning warnings[kMostWarnings];
    std::size_t count = 0;
};

// The warnings for a compiled formula (analysis.diagnostic.status 0); double_numbers for the
// number mode it will run in. None for a failed compile.
void lint(const Analysis& analysis, bool double_numbers, LintResult& out);

// --- The function catalogue ---

// The most arguments a function record takes.
constexpr int kMostArguments = 11;

struct FunctionInfo {
    const char* name;
    int record;                    // 1-based
    int argc;
    std::uint16_t result;          // type masks
    std::uint16_t args[kMostArguments];
    const char* summary;
    Aggregation aggregate;
    const char* docs_anchor;       // the section of docs/language.md that lists it
};

// The records in order, 1 to FCL function count; null outside.
const FunctionInfo* function_info(int record);
int function_count();

}  // namespace fcl::analysis
