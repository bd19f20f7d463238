// Token readers shared by the lexer's dispatch. Each reader starts at the token's first byte,
// leaves p after the bytes it consumed and, on success, returns 0 with the new node.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compiler/parse_node.h"
#include "interface/types.h"

namespace fcl {

// Longest spellings: string and character literals, field references and identifiers, and
// @ names and numbers (the text area holds 527 bytes of formula text).
constexpr std::size_t kMaxQuotedText = 523;
constexpr std::size_t kMaxName = 524;
constexpr std::size_t kMaxLongToken = 526;

Status read_string(Context& ctx, const char*& p, ParseNode*& node);
Status read_character(Context& ctx, const char*& p, ParseNode*& node);
Status read_number(Context& ctx, const char*& p, ParseNode*& node);
Status read_field(Context& ctx, const char*& p, ParseNode*& node);

// A field reference (kTokField, asked with the word preset to 32) or name reference (kTokName,
// preset 64): the host's answer gives the type mask. 1005 when the host does not know it.
Status reference_token(Context& ctx, std::uint8_t kind, const char* name, std::size_t length, ParseNode*& node);

}  // namespace fcl
