// The compile driver behind FCLCOMPILE and FCLCOMPILE2.
#pragma once

#include <cstdint>

#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

// Compiles text into code (or nowhere when code is null) using ctx. clear_context selects
// FCLCOMPILE's full clearing of the context; otherwise only the compiler's fields are reset.
// On every failure code and length hold the 7-byte empty formula.
Status compile_formula(Context& ctx, bool clear_context, FCLFIELDPROC callback, void* data,
                       const char* text, std::uint8_t* code, std::uint16_t* length);

}  // namespace fcl
