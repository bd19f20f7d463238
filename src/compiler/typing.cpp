#include "compiler/typing.h"

#include <cstring>

#include "compiler/node_pool.h"
#include "compiler/operator_table.h"
#include "functions/function_table.h"

namespace fcl {

namespace {

// A comparison's token kind seen from the other side (EQ and NE stay as they are).
std::uint8_t mirrored(std::uint8_t kind) {
    switch (kind) {
        case kTokGt: return kTokLt;
        case kTokLt: return kTokGt;
        case kTokGe: return kTokLe;
        case kTokLe: return kTokGe;
        default: return kind;
    }
}

bool call_or_name(const ParseNode& node) { return node.kind == kTokName || node.kind == kTokFunction; }

// A comparison written with its symbols keeps a name reference or a call on its left:
// 5 < Amount becomes Amount > 5.
void swap_operands(ParseNode& node) {
    ParseNode* left = node.child(0);
    ParseNode* right = node.child(1);
    if (call_or_name(*left) || !call_or_name(*right)) return;
    node.set_child(0, right);
    node.set_child(1, left);
    const std::uint8_t mirror = mirrored(node.kind);
    if (mirror == node.kind) return;
    // The mirrored operator's record name is as long as the one it replaces.
    const OperatorEntry& op = *operator_of_kind(mirror);
    const char* name = function_record(op.record)->name;
    node.kind = mirror;
    std::memcpy(node.spelling(), name, std::strlen(name) + 1);
    node.record = static_cast<std::uint8_t>(op.record);
}

}  // namespace

Status select_overload(Context& ctx, ParseNode*& fn, std::uint16_t written) {
    if (fn->argc == written) return kOk;
    // Empty parentheses need a record without arguments: a call such as LEFT() is refused here
    // rather than compiled into a formula that can only fail when run.
    const FunctionRecord* record = function_record(find_function(fn->spelling(), written));
    ctx.why = {WhyCode::ArgumentCount, fn->record, 0, 0, 0, CompileWhy::counted(written, false)};
    if (!record) return kTypeError;
    ParseNode* replacement = new_record_node(ctx, kTokFunction, fn->spelling(), std::strlen(fn->spelling()), *record,
                                             static_cast<std::uint8_t>(written));
    ctx.why.code = WhyCode::NoRoom;
    if (!replacement) return kTypeError;
    replacement->offset = fn->offset;
    fn = replacement;
    ctx.why = {};
    return kOk;
}

Status type_by_kind(ParseNode& node, ParseNode*& culprit, CompileWhy& why) {
    if (node.prec == kClsCompare) swap_operands(node);
    // Compare and Unify type against the first argument; Choice (IF, SELECT) against the second.
    const unsigned reference = node.typing() == Typing::Choice ? 1 : 0;
    culprit = &node;
    const std::uint8_t count = CompileWhy::counted(node.argc, node.prec != kClsFunction);
    why = {WhyCode::ArgumentCount, node.record, 0, 0, 0, count};
    if (reference >= node.argc) return kTypeError;
    const std::uint8_t type = node.child(reference)->mask;
    const WhyCode differ = node.typing() == Typing::Choice    ? WhyCode::BranchesDiffer
                           : node.typing() == Typing::Compare ? WhyCode::ComparisonTypes
                                                              : WhyCode::OperandsDiffer;
    for (unsigned i = reference + 1; i < node.argc; ++i) {
        ParseNode& argument = *node.child(i);
        culprit = &argument;
        why = {differ, node.record, static_cast<std::uint8_t>(i), type, argument.mask, count};
        if (argument.mask != type && coerce_literal(argument, type) != kOk) return kTypeError;
    }
    why = {};
    if (node.typing() != Typing::Compare) node.mask = type;
    return kOk;
}

}  // namespace fcl
