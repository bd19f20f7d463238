// The stack machine: runs one compiled formula in a context and yields one tagged value.
#pragma once

#include <cstdint>

#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

// Always writes one tagged value to result (the formula's value, or on failure the blank
// value of its result type) and returns the status.
Status run_formula(Context& ctx, FCLFIELDPROC callback, void* data, const std::uint8_t* code,
                   std::uint8_t* result);

// The same run by the plain walk alone: every item through its handler. The reference the tests
// and the differential fuzzer hold the run loop to.
Status run_formula_walk(Context& ctx, FCLFIELDPROC callback, void* data, const std::uint8_t* code,
                        std::uint8_t* result);

}  // namespace fcl
