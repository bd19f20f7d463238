// The compile driver behind FCLCOMPILE and FCLCOMPILE2.
#include <cstring>

#include "compiler/compiler.h"
#include "compiler/emitter.h"
#include "compiler/lexer.h"
#include "compiler/parser.h"
#include "interface/code_format.h"

namespace fcl {

namespace {

bool is_leaf_comparison(ParseNode& root) {
    return root.prec == kClsCompare && root.child(0)->prec == kClsOperand && root.child(1)->prec == kClsOperand;
}

// Copies the text without its leading blanks into the text area; false when the text does not
// fit (527 bytes at most, leading blanks included), in which case nothing is copied.
bool copy_text(Context& ctx, const char* text) {
    const std::size_t length = strnlen(text, kTextAreaSize);
    if (length >= kTextAreaSize) return false;
    std::size_t blanks = 0;
    while (text[blanks] == ' ') ++blanks;
    std::memcpy(ctx.text, text + blanks, length - blanks + 1);
    return true;
}

}  // namespace

Status compile_formula(Context& ctx, FCLFIELDPROC callback, void* data, const char* text, std::uint8_t* code,
                       std::uint16_t* length) {
    ctx.code_pos = kCodeHeaderSize;
    ctx.parse_depth = 0;
    ctx.subtree_depth = 0;
    ctx.flags = 0;
    ctx.pool_used = 0;
    ctx.why = {};
    ctx.callback = callback;
    ctx.callback_data = data;

    // The caller holds the empty formula until a compilation succeeds.
    write_empty_formula(code, length);

    // Nothing to point at until a token fails.
    ctx.text[0] = '\0';
    mark_stop(ctx, 0);
    // A null text is taken as an empty one: there is nothing to compile.
    if (!copy_text(ctx, text ? text : "")) return kSyntaxError;
    if (ctx.text[0] == '\0') return kOk;

    if (const Status status = parse(ctx)) return status;
    ParseNode& root = *ctx.subtree_stack[1];
    if (const Status status = emit(ctx, root)) {
        mark_stop(ctx, std::strlen(ctx.text));
        return status;
    }
    if (is_leaf_comparison(root)) ctx.flags |= kFlagLeafComparison;

    // emit() left a byte free for the terminator, so the block fits the 528-byte area.
    ctx.code_build[ctx.code_pos++] = 0;
    write_code_header(ctx.code_build, root.mask, static_cast<std::uint8_t>(ctx.flags & 0xFF), ctx.code_pos);

    if (code) std::memcpy(code, ctx.code_build, ctx.code_pos);
    if (length) *length = ctx.code_pos;
    return kOk;
}

}  // namespace fcl
