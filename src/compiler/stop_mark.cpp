// Where a failed compilation stopped: the lexer position and the token text of the context
// keep the failing token for the host, which can point at it in the formula text.
#include <cstring>

#include "compiler/char_class.h"
#include "compiler/lexer.h"
#include "compiler/operator_table.h"

namespace fcl {

namespace {

bool is_name_byte(char c) {
    const CharClass cls = char_class(c);
    return cls == CharClass::Letter || cls == CharClass::Digit || cls == CharClass::Lead || c == '.' || c == '@';
}

// Bytes of the token that starts at text: a quoted literal or field reference to its closing
// byte, a run of operator bytes, a name, or one byte. Diagnostics only: the lexer proper decides
// what a token is.
std::size_t token_extent(const char* text) {
    const char first = text[0];
    if (first == '\0') return 0;
    const char close = first == '"' ? '"' : first == '\'' ? '\'' : first == '[' ? ']' : '\0';
    std::size_t i = 1;
    if (close) {
        while (text[i] != '\0' && text[i] != close) i += (text[i] == '\\' && text[i + 1] != '\0') ? 2 : 1;
        return text[i] == close ? i + 1 : i;
    }
    if (is_operator_byte(first)) {
        while (is_operator_byte(text[i])) ++i;
        return i;
    }
    if (!is_name_byte(first)) return 1;
    while (text[i] != '\0' && is_name_byte(text[i])) i += (char_class(text[i]) == CharClass::Lead && text[i + 1]) ? 2 : 1;
    return i;
}

}  // namespace

void mark_stop(Context& ctx, std::size_t offset) {
    const std::size_t length = strnlen(ctx.text, kTextAreaSize - 1);
    if (offset > length) offset = length;
    ctx.lex_pos = ctx.text + offset;
    std::size_t extent = token_extent(ctx.lex_pos);
    if (extent > length - offset) extent = length - offset;
    std::memcpy(ctx.token_text, ctx.lex_pos, extent);
    ctx.token_text[extent] = '\0';
}

}  // namespace fcl
