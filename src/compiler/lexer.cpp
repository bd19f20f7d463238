// The lexer's dispatch on the first byte of a token, and the readers of operators and names.
#include "compiler/lexer.h"

#include <cstring>

#include "compiler/char_class.h"
#include "compiler/lexer_readers.h"
#include "compiler/node_pool.h"
#include "functions/function_table.h"
#include "interface/code_format.h"

namespace fcl {

namespace {

// Formula flag set by each token kind.
constexpr std::uint16_t kFlagOfKind[26] = {
    0, 0, kFlagOr, kFlagAnd,  // bottom, end, OR, AND
    kFlagComparison, kFlagComparison, kFlagComparison, kFlagComparison, kFlagComparison, kFlagComparison,
    kFlagArithmetic, kFlagArithmetic, kFlagArithmetic, kFlagArithmetic, kFlagArithmetic,
    kFlagFunction, 0, 0, kFlagName, 0, 0, 0, kFlagArithmetic, 0, 0, 0,  // function name ... name ... prefix
};

// The records that operator tokens stand for.
enum OperatorRecord : std::uint8_t {
    kAnd, kOr, kEq, kNe, kLe, kGe, kLt, kGt, kAdd, kSub, kMul, kDiv, kMod, kNeg, kNot, kOperators
};

// Operator records never change place: their indexes are settled when the library is built.
constexpr unsigned kOperatorIndex[kOperators] = {
    first_record_named("AND"), first_record_named("OR"),  first_record_named("EQ"),  first_record_named("NE"),
    first_record_named("LE"),  first_record_named("GE"),  first_record_named("LT"),  first_record_named("GT"),
    first_record_named("ADD"), first_record_named("SUB"), first_record_named("MUL"), first_record_named("DIV"),
    first_record_named("MOD"), first_record_named("NEG"), first_record_named("NOT")};

const FunctionRecord* operator_record(OperatorRecord op) { return function_record(kOperatorIndex[op]); }

// An operator spelling and the function record it stands for.
struct OperatorSpelling {
    const char* text;
    OperatorRecord record;
    std::uint8_t kind;
};

// Tried in order; the first spelling that the text begins with wins.
constexpr OperatorSpelling kComparisons[] = {
    {"==", kEq, kTokEq}, {"<>", kNe, kTokNe}, {"!=", kNe, kTokNe}, {"<=", kLe, kTokLe}, {"=<", kLe, kTokLe},
    {">=", kGe, kTokGe}, {"=>", kGe, kTokGe}, {"<", kLt, kTokLt},  {">", kGt, kTokGt},  {"=", kEq, kTokEq},
};
constexpr OperatorSpelling kWords[] = {
    {"OR", kOr, kTokOr}, {"||", kOr, kTokOr}, {"AND", kAnd, kTokAnd}, {"&&", kAnd, kTokAnd}};
constexpr OperatorSpelling kArithmetic[] = {
    {"+", kAdd, kTokAdd}, {"-", kSub, kTokSub}, {"*", kMul, kTokMul}, {"/", kDiv, kTokDiv}, {"%", kMod, kTokMod}};

// Length of the spelling when the text begins with it (ASCII letters without case), else 0.
std::size_t match(const char* text, const char* spelling) {
    std::size_t i = 0;
    for (; spelling[i] != '\0'; ++i)
        if (fold_case(text[i]) != spelling[i]) return 0;
    return i;
}

// A node carrying a record's data, or 1002 when there is no record.
Status record_token(Context& ctx, std::uint8_t kind, const FunctionRecord* record, const char* spelling,
                    std::size_t length, ParseNode*& node) {
    if (!record) return kUnknownName;
    node = new_record_node(ctx, kind, spelling, length, *record, static_cast<std::uint8_t>(record->argc));
    return node ? kOk : kNodePoolFull;
}

// An operator token, spelled by its record's name.
Status operator_node(Context& ctx, std::uint8_t kind, OperatorRecord op, ParseNode*& node) {
    const FunctionRecord* record = operator_record(op);
    if (!record) return kUnknownName;
    return record_token(ctx, kind, record, record->name, std::strlen(record->name), node);
}

// A function name token: the first record of the name as written.
Status function_node(Context& ctx, const char* name, std::size_t length, ParseNode*& node) {
    return record_token(ctx, kTokFunction, function_record(find_function(name)), name, length,
                        node);
}

Status operator_token(Context& ctx, const char*& p, const OperatorSpelling* table, std::size_t count,
                      ParseNode*& node) {
    for (std::size_t i = 0; i < count; ++i) {
        if (const std::size_t length = match(p, table[i].text)) {
            p += length;
            return operator_node(ctx, table[i].kind, table[i].record, node);
        }
    }
    return kSyntaxError;
}

template <std::size_t N>
Status operator_token(Context& ctx, const char*& p, const OperatorSpelling (&table)[N], ParseNode*& node) {
    return operator_token(ctx, p, table, N, node);
}

// '!' gives NOT; a run of adjacent signs gives NEG for an odd count of minus signs and no
// token at all for an even count.
Status read_prefix(Context& ctx, const char*& p, ParseNode*& node) {
    if (*p == '!') {
        ++p;
        return operator_node(ctx, kTokPrefix, kNot, node);
    }
    unsigned minus = 0;
    for (; *p == '+' || *p == '-'; ++p) minus += *p == '-';
    if (minus % 2 == 0) return kOk;
    return operator_node(ctx, kTokPrefix, kNeg, node);
}

bool name_byte(CharClass cls) { return cls == CharClass::Letter || cls == CharClass::Digit; }

// A bare name: name bytes with at most one inner point. Followed by '(' (blanks between
// allowed, not consumed) it is a function name, else a name reference. A lead byte that
// ends the text is a malformed name rather than half a character.
Status read_identifier(Context& ctx, const char*& p, ParseNode*& node) {
    char* name = ctx.token_text;
    std::size_t length = 0;
    bool dotted = false;
    bool trailing_point = false;
    for (;;) {
        const CharClass cls = char_class(*p);
        if (cls == CharClass::Lead) {
            if (p[1] == '\0') return kSyntaxError;
            name[length++] = *p++;
            name[length++] = *p++;
            trailing_point = false;
        } else if (name_byte(cls)) {
            name[length++] = *p++;
            trailing_point = false;
        } else if (*p == '.') {
            if (dotted) return kSyntaxError;
            name[length++] = *p++;
            dotted = trailing_point = true;
        } else {
            break;
        }
        if (length > kMaxName) return kSyntaxError;
    }
    name[length] = '\0';
    if (trailing_point) return kSyntaxError;
    const char* next = p;
    while (*next == ' ') ++next;
    if (*next != '(') return reference_token(ctx, kTokName, name, length, node);
    if (dotted || name[0] == '_') return kSyntaxError;
    return function_node(ctx, name, length, node);
}

// '@' and a function name of letters and digits, which must be followed by '('.
Status read_at_name(Context& ctx, const char*& p, ParseNode*& node) {
    ++p;
    if (char_class(*p) != CharClass::Letter) return kSyntaxError;
    char* name = ctx.token_text;
    std::size_t length = 0;
    while (name_byte(char_class(*p))) {
        name[length++] = *p++;
        if (length > kMaxLongToken) return kSyntaxError;
    }
    name[length] = '\0';
    while (*p == ' ') ++p;
    if (*p != '(') return kSyntaxError;
    return function_node(ctx, name, length, node);
}

Status one_byte_token(Context& ctx, const char*& p, std::uint8_t kind, ParseNode*& node) {
    node = new_node(ctx, kind, p, 1, 0);
    if (!node) return kNodePoolFull;
    ++p;
    return kOk;
}

bool follows_operand(const Context& ctx) { return ctx.prev_class == kClsOperand || ctx.prev_class == kClsClose; }

Status dispatch(Context& ctx, const char*& p, ParseNode*& node) {
    switch (*p) {
        case '\0':
            node = new_node(ctx, kTokEnd, "", 0, 0);
            return node ? kOk : kNodePoolFull;
        case '(': return one_byte_token(ctx, p, kTokOpen, node);
        case ')': return one_byte_token(ctx, p, kTokClose, node);
        case ',': return one_byte_token(ctx, p, kTokComma, node);
        case '"': return read_string(ctx, p, node);
        case '\'': return read_character(ctx, p, node);
        case '[': return read_field(ctx, p, node);
        case '@': return read_at_name(ctx, p, node);
        case '.': return read_number(ctx, p, node);
        case '<':
        case '=':
        case '>': return operator_token(ctx, p, kComparisons, node);
        case '!': return p[1] == '=' ? operator_token(ctx, p, kComparisons, node) : read_prefix(ctx, p, node);
        case '*':
        case '/':
        case '%': return operator_token(ctx, p, kArithmetic, node);
        case '+':
        case '-':
            if (follows_operand(ctx)) return operator_token(ctx, p, kArithmetic, node);
            if (char_class(p[1]) == CharClass::Digit || p[1] == '.' || p[1] == '\0') return read_number(ctx, p, node);
            return read_prefix(ctx, p, node);
        case '&':
        case '|': return operator_token(ctx, p, kWords, node);
        default: break;
    }
    switch (char_class(*p)) {
        case CharClass::Digit: return read_number(ctx, p, node);
        case CharClass::Letter:
        case CharClass::Lead:
            return follows_operand(ctx) ? operator_token(ctx, p, kWords, node) : read_identifier(ctx, p, node);
        default: return kSyntaxError;
    }
}

}  // namespace

Status next_token(Context& ctx, ParseNode*& node) {
    node = nullptr;
    const char* p = ctx.lex_pos;
    while (*p == ' ') ++p;
    const char* start = p;
    const Status status = dispatch(ctx, p, node);
    ctx.lex_pos = p;
    if (status != kOk) {
        node = nullptr;
        mark_stop(ctx, static_cast<std::size_t>(start - ctx.text));
        return status;
    }
    if (node) {
        ctx.flags |= kFlagOfKind[node->kind];
        node->offset = static_cast<std::uint16_t>(start - ctx.text);
    }
    return kOk;
}

}  // namespace fcl
