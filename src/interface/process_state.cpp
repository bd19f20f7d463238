#include "interface/process_state.h"

namespace fcl::state {

constinit Context global_context{};
constinit LoadSettings settings{};
constinit std::atomic<bool> loaded{false};
constinit WorkArea work_areas[4] = {};
std::mutex aggregate_lock;

}  // namespace fcl::state

namespace fcl {

Context& global_context() { return state::global_context; }

}  // namespace fcl
