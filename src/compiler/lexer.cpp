// The lexer's dispatch on the first byte of a token, and the readers of operators and names.
#include "compiler/lexer.h"

#include <cstring>
#include <string_view>

#include "compiler/char_class.h"
#include "compiler/lexer_readers.h"
#include "compiler/node_pool.h"
#include "compiler/operator_table.h"
#include "functions/function_table.h"
#include "interface/code_format.h"

namespace fcl {

namespace {

// Formula flag set by a token of the kind.
std::uint16_t flag_of(std::uint8_t kind) {
    if (const OperatorEntry* op = operator_of_kind(kind)) return op->flag;
    if (kind == kTokFunction) return kFlagFunction;
    return kind == kTokName ? kFlagName : 0;
}

// Length of the spelling when the text begins with it (ASCII letters without case), else 0.
std::size_t match(const char* text, std::string_view spelling) {
    for (std::size_t i = 0; i < spelling.size(); ++i)
        if (fold_case(text[i]) != spelling[i]) return 0;
    return spelling.size();
}

// A node carrying a record's data, or 1002 when there is no record.
Status record_token(Context& ctx, std::uint8_t kind, const FunctionRecord* record, const char* spelling,
                    std::size_t length, ParseNode*& node) {
    if (!record) return kUnknownName;
    node = new_record_node(ctx, kind, spelling, length, *record, static_cast<std::uint8_t>(record->argc));
    return node ? kOk : kNodePoolFull;
}

// An operator token, spelled by its record's name.
Status operator_node(Context& ctx, const OperatorEntry& op, ParseNode*& node) {
    const FunctionRecord* record = function_record(op.record);
    return record_token(ctx, op.kind, record, record->name, std::strlen(record->name), node);
}

// A function name token: the first record of the name as written.
Status function_node(Context& ctx, const char* name, std::size_t length, ParseNode*& node) {
    return record_token(ctx, kTokFunction, function_record(find_function(name)), name, length, node);
}

// The operator whose spelling is the longest that the text begins with, binary operators
// before prefix ones ("!=" is NE, a lone "!" is NOT; "-" after an operand is SUB).
const OperatorEntry* spelled_operator(const char* text, bool prefix, std::size_t& length) {
    const OperatorEntry* found = nullptr;
    length = 0;
    for (const OperatorEntry& op : kOperators) {
        if ((op.precedence == kClsPrefix) != prefix) continue;
        for (const std::string_view spelling : op.spellings) {
            const std::size_t matched = match(text, spelling);
            if (matched > length) {
                found = &op;
                length = matched;
            }
        }
    }
    return found;
}

Status read_operator(Context& ctx, const char*& p, ParseNode*& node) {
    std::size_t length = 0;
    const OperatorEntry* op = spelled_operator(p, false, length);
    if (!op) op = spelled_operator(p, true, length);
    if (!op) return kSyntaxError;
    p += length;
    return operator_node(ctx, *op, node);
}

// A run of adjacent signs before an operand: NEG for an odd count of minus signs, no token at
// all for an even count.
Status read_signs(Context& ctx, const char*& p, ParseNode*& node) {
    unsigned minus = 0;
    for (; *p == '+' || *p == '-'; ++p) minus += *p == '-';
    if (minus % 2 == 0) return kOk;
    return operator_node(ctx, *operator_of_kind(kTokNeg), node);
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
        case '+':
        case '-':
            if (follows_operand(ctx)) break;
            if (char_class(p[1]) == CharClass::Digit || p[1] == '.' || p[1] == '\0') return read_number(ctx, p, node);
            return read_signs(ctx, p, node);
        default: break;
    }
    switch (char_class(*p)) {
        case CharClass::Digit: return read_number(ctx, p, node);
        case CharClass::Letter:
        case CharClass::Lead:
            return follows_operand(ctx) ? read_operator(ctx, p, node) : read_identifier(ctx, p, node);
        default: return read_operator(ctx, p, node);
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
        ctx.flags |= flag_of(node->kind);
        node->offset = static_cast<std::uint16_t>(start - ctx.text);
    }
    return kOk;
}

}  // namespace fcl
