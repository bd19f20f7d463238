// The process-wide library settings chosen on the command line.
#pragma once

#include "options.h"

namespace fcltool {

// --backend (NumSetup) then --text-numbers (FCLSETMODE), in the order the library expects:
// both before any formula is compiled.
void apply_library_settings(const Options& options);

}  // namespace fcltool
