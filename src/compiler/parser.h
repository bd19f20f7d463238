// The operator-precedence parser: formula text in the context's text area to an expression tree.
#pragma once

#include "compiler/parse_node.h"
#include "interface/types.h"

namespace fcl {

// Deepest nesting of function calls (each level keeps its own argument counter).
constexpr unsigned kMaxCallDepth = 15;

// Parses the text area. On status 0 the subtree stack holds exactly one entry, the root
// (ctx.subtree_stack[1]). Expects the stack depths and the node pool reset by the caller.
Status parse(Context& ctx);

}  // namespace fcl
