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

}  // namespace fcl
