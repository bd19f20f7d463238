#include "compiler/node_pool.h"

#include <cstring>
#include <new>

#include "compiler/operator_table.h"

namespace fcl {

namespace {

// What the pool is charged for a node, whatever its layout takes.
std::size_t charged_size(std::uint8_t argc, std::size_t length) { return 14 + 10 * std::size_t{argc} + length; }

}  // namespace

std::uint8_t precedence_of(std::uint8_t kind) {
    if (const OperatorEntry* op = operator_of_kind(kind)) return op->precedence;
    switch (kind) {
        case kTokBottom: return kClsBottom;
        case kTokEnd: return kClsEnd;
        case kTokFunction: return kClsFunction;
        case kTokComma: return kClsComma;
        case kTokOpen: return kClsOpen;
        case kTokClose: return kClsClose;
        default: return kClsOperand;  // field, name, string, number, placeholder
    }
}

ParseNode* new_node(Context& ctx, std::uint8_t kind, const char* spelling, std::size_t length,
                    std::uint8_t argc) {
    const std::size_t charge = charged_size(argc, length);
    if (ctx.pool_used + charge > kNodePoolSize) return nullptr;
    // The node starts on the next even offset: at most one byte of alignment, then the
    // header, slots and spelling (11 + 3 * argc + length bytes) fit within the charge, with
    // two bytes to spare for a spelling that grows (a six-digit date literal becomes eight).
    const std::size_t start = (ctx.pool_used + 1u) & ~std::size_t{1};
    const std::size_t end = ctx.pool_used + charge;
    ctx.pool_used = static_cast<std::uint16_t>(end);

    std::uint8_t* at = ctx.pool + start;
    const std::size_t header = sizeof(ParseNode) + 3 * std::size_t{argc};
    std::memset(at, 0, header);
    auto* node = new (at) ParseNode{};
    node->prec = precedence_of(kind);
    node->kind = kind;
    node->argc = argc;
    node->room = static_cast<std::uint16_t>(end - start - header);
    std::memcpy(node->spelling(), spelling, length);
    node->spelling()[length] = '\0';
    return node;
}

ParseNode* new_record_node(Context& ctx, std::uint8_t kind, const char* spelling, std::size_t length,
                           const FunctionRecord& record, std::uint8_t argc) {
    ParseNode* node = new_node(ctx, kind, spelling, length, argc);
    if (!node) return nullptr;
    node->record = static_cast<std::uint8_t>(&record - kFunctionTable + 1);
    node->fkind = static_cast<std::uint8_t>(record.typing);
    node->mask = static_cast<std::uint8_t>(record.result_mask);
    for (unsigned i = 0; i < argc; ++i) node->set_arg_mask(i, static_cast<std::uint8_t>(record.arg_masks[i]));
    return node;
}

}  // namespace fcl
