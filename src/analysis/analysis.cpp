#include "analysis/analysis.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compiler/compiler.h"
#include "compiler/lexer.h"
#include "compiler/parse_node.h"
#include "functions/function_table.h"

namespace fcl::analysis {

static_assert(kMostArguments == kMaxArgs);

namespace {

std::size_t leading_blanks(const char* text) {
    std::size_t blanks = 0;
    while (text[blanks] == ' ') ++blanks;
    return blanks;
}

TokenKind kind_of(std::uint8_t kind) {
    switch (kind) {
        case kTokFunction: return TokenKind::Function;
        case kTokField: return TokenKind::Field;
        case kTokName: return TokenKind::Name;
        case kTokString: return TokenKind::String;
        case kTokNumber: return TokenKind::Number;
        case kTokComma: return TokenKind::Comma;
        case kTokOpen: return TokenKind::Open;
        case kTokClose: return TokenKind::Close;
        default: return kind >= kTokFirstOperator && kind < kTokFunction ? TokenKind::Operator : TokenKind::Invalid;
    }
}

// Every field and name is known, as text: the lexer only needs an answer.
std::int32_t any_name(void*, const char*, void*, std::uint16_t* type) {
    *type = FCL_T_STRING;
    return 0;
}

// Lexes text (without its leading blanks) in scratch. reuse_pool: each token's node is dropped
// once read, so that any length lexes; else the count stops where the node pool is full.
// Calls each(kind, begin, end) with offsets in the text as given; returns the tokens read.
template <class Each>
std::size_t lex(const char* text, bool reuse_pool, Each each) {
    static thread_local Context scratch;
    Context& ctx = scratch;
    std::memset(&ctx, 0, sizeof ctx);
    const std::size_t blanks = leading_blanks(text);
    const std::size_t kept = strnlen(text + blanks, kTextAreaSize - 1);
    std::memcpy(ctx.text, text + blanks, kept);
    ctx.text[kept] = '\0';
    ctx.callback = any_name;
    ctx.lex_pos = ctx.text;
    ctx.prev_class = kClsBottom;
    const std::size_t length = std::strlen(ctx.text);
    std::size_t count = 0;
    for (;;) {
        if (reuse_pool) ctx.pool_used = 0;
        const char* before = ctx.lex_pos;
        while (*before == ' ') ++before;
        ParseNode* node = nullptr;
        const Status status = next_token(ctx, node);
        const auto at = [&](const char* p) { return static_cast<std::uint16_t>(p - ctx.text + blanks); };
        if (status != kOk) {
            if (status == kNodePoolFull) return count;
            each(TokenKind::Invalid, at(before), static_cast<std::uint16_t>(length + blanks));
            return count + 1;
        }
        if (node && node->kind == kTokEnd) return count;
        each(node ? kind_of(node->kind) : TokenKind::Operator, at(before), at(ctx.lex_pos));
        ++count;
        if (node) ctx.prev_class = node->prec;
    }
}

// The 1-based index of the first record named name with argc arguments and the range of
// argument counts its records take.
void argument_counts(const char* name, int& fewest, int& most) {
    fewest = kMaxArgs + 1;
    most = -1;
    for (int i = 0; i < kFunctionCount; ++i) {
        if (std::strcmp(kFunctionTable[i].name, name) != 0) continue;
        const int argc = kFunctionTable[i].argc;
        if (argc < fewest) fewest = argc;
        if (argc > most) most = argc;
    }
}

// How a call is written in a formula: the operator's symbol, or the function's name.
const char* written_name(int record, bool is_operator) {
    struct Spelled {
        const char* record;
        const char* spelling;
    };
#define FCL_SPELLED(kind, precedence, flag, record, instruction, spelling, ...) {#record, spelling},
    static constexpr Spelled kSpelled[] = {FCL_OPERATOR_LIST(FCL_SPELLED)};
#undef FCL_SPELLED
    const FunctionRecord* found = function_record(record);
    if (!found) return "?";
    if (is_operator)
        for (const Spelled& s : kSpelled)
            if (std::strcmp(s.record, found->name) == 0) return s.spelling;
    return found->name;
}

std::size_t edit_distance(const char* a, const char* b) {
    const std::size_t la = std::strlen(a), lb = std::strlen(b);
    if (la > 16 || lb > 16) return 99;
    std::size_t row[17];
    for (std::size_t j = 0; j <= lb; ++j) row[j] = j;
    for (std::size_t i = 1; i <= la; ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= lb; ++j) {
            const std::size_t up = row[j];
            const bool same = (a[i - 1] & ~0x20) == (b[j - 1] & ~0x20);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[lb];
}

// "; did you mean SUM?" for a name near to some function's (one edit for a name of up to
// four letters, two for a longer one), else "".
void nearest_names(const char* name, char* out, std::size_t size) {
    std::size_t best = std::strlen(name) <= 4 ? 2 : 3;
    const std::size_t allowed = best;
    out[0] = '\0';
    for (int i = 0; i < kFunctionCount; ++i) {
        const char* candidate = kFunctionTable[i].name;
        bool seen = false;
        for (int j = 0; j < i && !seen; ++j) seen = std::strcmp(kFunctionTable[j].name, candidate) == 0;
        if (seen) continue;
        const std::size_t distance = edit_distance(name, candidate);
        if (distance < best) {
            best = distance;
            std::snprintf(out, size, "; did you mean %s?", candidate);
        } else if (distance == best && best < allowed && std::strlen(out) + std::strlen(candidate) + 4 < size) {
            char* mark = std::strrchr(out, '?');
            if (mark) std::snprintf(mark, size - static_cast<std::size_t>(mark - out), " or %s?", candidate);
        }
    }
}

void why_type_error(const CompileWhy& why, const char* token, char* out, std::size_t size) {
    const FunctionRecord* record = function_record(why.record);
    int fewest = -1, most = -1;
    if (record) argument_counts(record->name, fewest, most);
    const char* name = record ? written_name(why.record, why.is_operator()) : "";
    const std::string words = type_error_words(reinterpret_cast<const unsigned char*>(&why), token, name, fewest, most);
    std::snprintf(out, size, "%s", words.c_str());
}

// Why a compile stopped, in words; empty when nothing particular is known.
void reason_for(int status, const CompileWhy& why, const Analysis& a, std::size_t stop, const char* token,
                std::size_t token_count, char* out, std::size_t size) {
    out[0] = '\0';
    switch (status) {
        case FCL_E_TYPE: why_type_error(why, token, out, size); return;
        case FCL_E_UNKNOWN_NAME: {
            char near[128];
            nearest_names(token, near, sizeof near);
            std::snprintf(out, size, "no function is named %s%s", token, near);
            return;
        }
        case FCL_E_NODE_POOL: {
            const std::size_t fit = lex(a.text, false, [](TokenKind, std::uint16_t, std::uint16_t) {});
            std::snprintf(out, size,
                          "the formula is too complex: %zu tokens, at most about %zu fit the compiler's node pool",
                          token_count, fit);
            return;
        }
        case FCL_E_STACK_FULL:
            std::snprintf(out, size, "the formula is nested too deeply: at most 15 levels of calls and 127 pending "
                                     "values");
            return;
        case FCL_E_SYNTAX:
            if (std::strlen(a.text) >= FCL_MAX_TEXT + 1u) std::snprintf(out, size, "the formula is longer than %d bytes", FCL_MAX_TEXT);
            else if (a.text[stop] == '"') std::snprintf(out, size, "this string has no closing quote");
            else if (a.text[stop] == '[') std::snprintf(out, size, "this field name has no closing bracket");
            else if (a.text[stop] == ')') std::snprintf(out, size, "this parenthesis closes nothing");
            else if (a.text[stop] == '\0') std::snprintf(out, size, "the formula ends where an operand or a closing parenthesis is due");
            return;
        default: return;
    }
}

struct TreeBuilder {
    const ParseNode* root;
    const Token* tokens;
    std::size_t token_count;
    std::size_t blanks;
    Tree& tree;

    // The index of the token starting at begin.
    std::size_t token_at(std::uint16_t begin) const {
        for (std::size_t i = 0; i < token_count; ++i)
            if (tokens[i].span.begin == begin) return i;
        return token_count;
    }

    // The index of node in the tree, its arguments added first.
    std::uint16_t add(ParseNode& node) {
        std::uint16_t children[kMaxArgs];
        const unsigned argc = node.argc;
        for (unsigned i = 0; i < argc && i < kMaxArgs; ++i) children[i] = add(*node.child(i));
        const std::uint16_t index = tree.count++;
        Node& out = tree.nodes[index];
        out.first = static_cast<std::uint16_t>(arg_count);
        for (unsigned i = 0; i < argc && i < kMaxArgs; ++i) tree.args[arg_count++] = children[i];
        out.kind = kind_of(node.kind);
        out.record = node.record;
        out.type = node.mask;
        out.argc = static_cast<std::uint8_t>(argc);
        const std::uint16_t begin = static_cast<std::uint16_t>(node.offset + blanks);
        const std::size_t at = token_at(begin);
        out.token = at < token_count ? tokens[at].span : Span{begin, begin};
        out.span = out.token;
        for (unsigned i = 0; i < argc; ++i) {
            const Span child = tree.nodes[children[i]].span;
            if (child.begin < out.span.begin) out.span.begin = child.begin;
            if (child.end > out.span.end) out.span.end = child.end;
        }
        // A call runs to its closing parenthesis.
        if (node.kind == kTokFunction && at + 1 < token_count && tokens[at + 1].kind == TokenKind::Open) {
            int depth = 0;
            for (std::size_t k = at + 1; k < token_count; ++k) {
                if (tokens[k].kind == TokenKind::Open) ++depth;
                if (tokens[k].kind == TokenKind::Close && --depth == 0) {
                    out.span.end = tokens[k].span.end;
                    break;
                }
            }
        }
        return index;
    }
    std::uint16_t arg_count = 0;
};

}  // namespace

const char* token_kind_name(TokenKind kind) {
    static constexpr const char* kNames[] = {"operator", "function", "field", "name", "string",
                                             "number", "comma", "open", "close", "invalid"};
    return kNames[static_cast<unsigned>(kind)];
}

std::size_t tokenize(const char* text, Token* out, std::size_t most) {
    std::size_t written = 0;
    lex(text ? text : "", true, [&](TokenKind kind, std::uint16_t begin, std::uint16_t end) {
        if (written < most) out[written++] = {kind, {begin, end}};
    });
    return written;
}

int analyze(FCLHANDLE handle, FCLFIELDPROC callback, void* data, const char* text, Analysis& out) {
    text = text ? text : "";
    const std::size_t kept = strnlen(text, sizeof out.text - 1);
    std::memcpy(out.text, text, kept);
    out.text[kept] = '\0';
    out.tree.count = 0;
    out.diagnostic = {};
    FCLHANDLE own = handle ? nullptr : FCLCREATEHANDLE();
    Context& ctx = *static_cast<Context*>(handle ? handle : own);
    const ParseNode* root = nullptr;
    const int status = compile_on(ctx, callback, data, text, out.code, &out.code_length, &root);
    static thread_local Token tokens[kMostTokens];
    const std::size_t token_count = tokenize(out.text, tokens, kMostTokens);
    const std::size_t blanks = leading_blanks(text);
    out.diagnostic.status = status;
    std::snprintf(out.diagnostic.message, sizeof out.diagnostic.message, "%s", status_message(status));
    if (status == FCL_OK && root) {
        TreeBuilder builder{root, tokens, token_count, blanks, out.tree};
        out.tree.root = builder.add(*const_cast<ParseNode*>(root));
    } else if (status != FCL_OK && status != FCL_E_BUSY) {
        const std::size_t stop = static_cast<std::size_t>(ctx.lex_pos - ctx.text) + blanks;
        const std::size_t token_length = std::strlen(ctx.token_text);
        out.diagnostic.span = {static_cast<std::uint16_t>(stop), static_cast<std::uint16_t>(stop + token_length)};
        reason_for(status, ctx.why, out, stop < sizeof out.text ? stop : 0, ctx.token_text, token_count,
                   out.diagnostic.reason, sizeof out.diagnostic.reason);
    }
    if (own) FCLRELEASEHANDLE(own);
    return status;
}

namespace {

template <class... Masks>
constexpr int count_of(Masks...) {
    return sizeof...(Masks);
}

constexpr std::array<FunctionInfo, kFunctionCount> make_catalogue() {
#define FCL_INFO(name, handler, fixed, aggregate, typing, result, summary, ...) \
    FunctionInfo{#name, 0, count_of(__VA_ARGS__), result, {__VA_ARGS__}, summary, Aggregation::aggregate, \
                 "all-function-records"},
    std::array<FunctionInfo, kFunctionCount> catalogue = {FCL_FUNCTION_LIST(FCL_INFO)};
#undef FCL_INFO
    for (int i = 0; i < kFunctionCount; ++i) catalogue[i].record = i + 1;
    return catalogue;
}

constexpr std::array<FunctionInfo, kFunctionCount> kCatalogue = make_catalogue();

}  // namespace

const FunctionInfo* function_info(int record) {
    return record >= 1 && record <= kFunctionCount ? &kCatalogue[record - 1] : nullptr;
}

int function_count() { return kFunctionCount; }

}  // namespace fcl::analysis
