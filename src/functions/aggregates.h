// Process-wide state of the plain aggregates, exposed for tests.
#pragma once

namespace fcl {

// Back to the state of a freshly loaded library: every slot counter 0, every last pass key 1,
// every COUNT slot 0. The SUM, AVG, MIN and MAX slots belong to FCLINIT and are not touched.
void reset_aggregate_state();

}  // namespace fcl
