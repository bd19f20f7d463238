// The code emitter: writes the items of an expression tree in postfix order.
#pragma once

#include "compiler/parse_node.h"
#include "interface/types.h"

namespace fcl {

// Appends the items of the tree under node (operands before the operator or function that
// takes them, arguments left to right) to the code build area at the code write position.
// One byte of the area always stays free for the terminating 0; an item that would not fit,
// or that no function record or value type can express, is status 1007.
Status emit(Context& ctx, ParseNode& node);

}  // namespace fcl
