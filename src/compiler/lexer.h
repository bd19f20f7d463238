// The lexer: cuts the formula text in the context's text area into tokens, one parse node each.
#pragma once

#include "compiler/parse_node.h"
#include "interface/types.h"

namespace fcl {

// Reads the token at the lexer position (after blanks) and advances past it. Status 0 with a
// node, or status 0 and no node for a run of prefix signs that cancel out; any failure status
// comes with no node. Reads the previous token class; sets the token's bit in the flags word.
// On a failure the lexer position is left at the start of the token that failed.
Status next_token(Context& ctx, ParseNode*& node);

// Records where compilation stopped: the lexer position goes to offset in the text area and
// the token text receives the token that starts there, as written (empty at the end).
void mark_stop(Context& ctx, std::size_t offset);

}  // namespace fcl
