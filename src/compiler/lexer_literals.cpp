// Readers of the literal tokens: strings, character literals, numbers and field references.
#include <cstdio>

#include "compiler/char_class.h"
#include "compiler/lexer_readers.h"
#include "compiler/node_pool.h"

namespace fcl {

namespace {

// Collects a quoted text after its opening quote into out: a backslash takes the next byte
// as it is (and is dropped before a double-byte character). A control byte, the end of the
// text included, means the literal is unterminated; so does a lead byte that ends the text,
// whose partner would lie past the end.
Status read_quoted(const char*& p, char quote, char* out, std::size_t& length) {
    bool pending = false;
    length = 0;
    for (;;) {
        const char c = *p;
        const CharClass cls = char_class(c);
        if (cls == CharClass::Lead) {
            if (p[1] == '\0') return kSyntaxError;
            out[length++] = p[0];
            out[length++] = p[1];
            p += 2;
            pending = false;
        } else if (cls == CharClass::Control) {
            return kSyntaxError;
        } else if (pending) {
            out[length++] = c;
            ++p;
            pending = false;
        } else if (c == '\\') {
            pending = true;
            ++p;
        } else if (c == quote) {
            ++p;
            out[length] = '\0';
            return kOk;
        } else {
            out[length++] = c;
            ++p;
        }
        if (length > kMaxQuotedText) return kSyntaxError;
    }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Status read_string(Context& ctx, const char*& p, ParseNode*& node) {
    ++p;
    std::size_t length;
    if (const Status status = read_quoted(p, '"', ctx.token_text, length)) return status;
    node = new_node(ctx, kTokString, ctx.token_text, length, 0);
    if (!node) return kNodePoolFull;
    node->mask = kString;
    return kOk;
}

Status read_character(Context& ctx, const char*& p, ParseNode*& node) {
    ++p;
    std::size_t length;
    if (const Status status = read_quoted(p, '\'', ctx.token_text, length)) return status;
    if (length != 1) return kSyntaxError;
    char code[4];
    const int digits = std::snprintf(code, sizeof code, "%d", static_cast<std::uint8_t>(ctx.token_text[0]));
    node = new_node(ctx, kTokNumber, code, static_cast<std::size_t>(digits), 0);
    if (!node) return kNodePoolFull;
    node->mask = kNumber;
    return kOk;
}

// Digits with an optional leading sign and at most one point; no exponent form.
Status read_number(Context& ctx, const char*& p, ParseNode*& node) {
    enum class Part { Start, Integer, Fraction } part = Part::Start;
    char* text = ctx.token_text;
    std::size_t length = 0;
    std::size_t digits = 0;
    for (;; ++p) {
        const char c = *p;
        if (is_digit(c)) {
            ++digits;
            if (part == Part::Start) part = Part::Integer;
        } else if (part == Part::Start && (c == '+' || c == '-')) {
            part = Part::Integer;
        } else if (c == '.') {
            if (part == Part::Fraction) return kSyntaxError;
            part = Part::Fraction;
        } else if (part == Part::Start) {
            return kSyntaxError;
        } else {
            break;
        }
        text[length++] = c;
        if (length > kMaxLongToken) return kSyntaxError;
    }
    if (digits == 0) return kSyntaxError;
    node = new_node(ctx, kTokNumber, text, length, 0);
    if (!node) return kNodePoolFull;
    node->mask = kNumber;
    return kOk;
}

// The name between square brackets; a backslash puts a following ']' into the name and is
// kept before any other byte.
Status read_field(Context& ctx, const char*& p, ParseNode*& node) {
    ++p;
    char* name = ctx.token_text;
    std::size_t length = 0;
    bool pending = false;
    for (;;) {
        const char c = *p;
        const CharClass cls = char_class(c);
        if (cls == CharClass::Lead) {
            if (p[1] == '\0') return kSyntaxError;
            if (pending) name[length++] = '\\';
            name[length++] = p[0];
            name[length++] = p[1];
            p += 2;
            pending = false;
        } else if (cls == CharClass::Control) {
            return kSyntaxError;
        } else if (pending) {
            if (c != ']') name[length++] = '\\';
            name[length++] = c;
            ++p;
            pending = false;
        } else if (c == '\\') {
            pending = true;
            ++p;
        } else if (c == ']') {
            ++p;
            break;
        } else {
            name[length++] = c;
            ++p;
        }
        if (length > kMaxName) return kSyntaxError;
    }
    if (length == 0) return kSyntaxError;
    name[length] = '\0';
    return reference_token(ctx, kTokField, name, length, node);
}

}  // namespace fcl
