// Function resolution and typing: overload selection, typing by function kind, literal coercion.
#pragma once

#include <cstdint>

#include "compiler/parse_node.h"
#include "interface/types.h"

namespace fcl {

// Picks the record with the function node's name and the argument count written in the call.
// The node stays when its record already has that count; otherwise fn is replaced by a new
// node for the first such record. 1003 when no record fits or the pool has no room (ctx.why
// says which).
Status select_overload(Context& ctx, ParseNode*& fn, std::uint16_t written);

// Typing of a reduced node typed Compare, Unify or Choice: the operand swap of symbol comparisons,
// coercion of later arguments to the reference argument's type, and the result type. On 1003
// culprit is the argument that does not agree (the node itself when it lacks the reference),
// and why says what disagreed.
Status type_by_kind(ParseNode& node, ParseNode*& culprit, CompileWhy& why);

// Rewrites a literal into a logical (mask 4), time (8) or date (16) literal; 1003 for any other
// mask or a node that is not a literal of the needed kind.
Status coerce_literal(ParseNode& node, std::uint8_t mask);

}  // namespace fcl
