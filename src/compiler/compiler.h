// The compile driver behind FCLCOMPILE and FCLCOMPILE2.
#pragma once

#include <cstdint>

#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

// Compiles text into code (or nowhere when code is null) using ctx, resetting only the
// compiler's fields of the context (FCLCOMPILE clears the whole global context first).
// On every failure code and length hold the 7-byte empty formula.
Status compile_formula(Context& ctx, FCLFIELDPROC callback, void* data, const char* text, std::uint8_t* code,
                       std::uint16_t* length);

struct ParseNode;

// FCLCOMPILE2 on ctx (entry_points.cpp), which also gives the root of the parse tree of a
// successful compile: its nodes stay in ctx's node pool until ctx is used again.
Status compile_on(Context& ctx, FCLFIELDPROC callback, void* data, const char* text, std::uint8_t* code,
                  std::uint16_t* length, const ParseNode** root);

}  // namespace fcl
