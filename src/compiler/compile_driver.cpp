// Placeholder until the compiler lands.
#include "compiler/compiler.h"

namespace fcl {

Status compile_formula(Context&, bool, FCLFIELDPROC, void*, const char*, std::uint8_t*, std::uint16_t*) {
    return kSyntaxError;
}

}  // namespace fcl
