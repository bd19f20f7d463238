// Allocation of parse nodes from the context's 4096-byte node pool.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compiler/parse_node.h"
#include "functions/function_table.h"

namespace fcl {

// Precedence class of a token kind.
std::uint8_t precedence_of(std::uint8_t kind);

// A cleared node of the given kind with argc argument slots and a copy of the spelling.
// The pool is charged 14 + 10 * argc + length bytes; null when that would pass 4096 bytes.
ParseNode* new_node(Context& ctx, std::uint8_t kind, const char* spelling, std::size_t length,
                    std::uint8_t argc);

// A node for a function record (operator or function name) with argc slots (at most the
// record's argc): function kind, result mask and the first argc argument masks come from
// the record. Null when the pool is full.
ParseNode* new_record_node(Context& ctx, std::uint8_t kind, const char* spelling, std::size_t length,
                           const FunctionRecord& record, std::uint8_t argc);

}  // namespace fcl
