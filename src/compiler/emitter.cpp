#include "compiler/emitter.h"

#include "functions/function_table.h"
#include "interface/values.h"

namespace fcl {

namespace {

bool is_call(std::uint8_t cls) { return (cls >= kClsOr && cls <= kClsFunction) || cls == kClsPrefix; }

// Value type word of a leaf item: references by their kind, literals by their type mask.
std::uint16_t leaf_type_word(const ParseNode& node) {
    switch (node.kind) {
        case kTokField: return kFieldRef;
        case kTokName: return kNameRef;
        case kTokString:
        case kTokNumber: return node.mask;
        default: return 0;
    }
}

Status emit_item(Context& ctx, ParseNode& node) {
    std::uint8_t* out = ctx.code_build + ctx.code_pos;
    const std::size_t room = kCodeAreaSize - 1 - ctx.code_pos;
    if (is_call(node.prec)) {
        // The record the node was made from: the first with its name and argument count (the
        // typing keeps it up to date when it mirrors a comparison).
        const unsigned index = node.record;
        if (index == 0 || room < 2) return kCodeError;
        out[0] = kFunctionCall;
        out[1] = static_cast<std::uint8_t>(index);
        ctx.code_pos += 2;
        return kOk;
    }
    const std::uint16_t size = convert_raw_value(leaf_type_word(node), node.spelling(), out, room, ctx);
    if (size == 0) return kCodeError;
    ctx.code_pos += size;
    return kOk;
}

}  // namespace

Status emit(Context& ctx, ParseNode& node) {
    for (unsigned i = 0; i < node.argc; ++i) {
        if (const Status status = emit(ctx, *node.child(i))) return status;
    }
    return emit_item(ctx, node);
}

}  // namespace fcl
