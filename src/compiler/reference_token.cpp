// Field and name references: the compile-time type query to the host.
#include "compiler/lexer_readers.h"
#include "compiler/node_pool.h"

namespace fcl {

Status reference_token(Context& ctx, std::uint8_t kind, const char* name, std::size_t length, ParseNode*& node) {
    // A host that passed no callback knows no names: the same failure as a refusing host.
    std::uint16_t word = kind == kTokField ? kFieldRef : kNameRef;
    if (ask_host(ctx, ctx.callback_data, name, nullptr, &word) != 0) return kCallbackFailed;
    node = new_node(ctx, kind, name, length, 0);
    if (!node) return kNodePoolFull;
    node->mask = static_cast<std::uint8_t>(word & 0xFF);
    return kOk;
}

}  // namespace fcl
