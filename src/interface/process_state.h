// Every piece of process-wide state of the interface subsystem, in one place, with who writes
// it and when. Everything else a run needs lives in its context or on the stack.
//
// Elsewhere, process-wide by design: the number-encoding mode (interface/number_mode.h, set by
// FCLSETMODE), the backend (number/backend.cpp, set by NumSetup), and the functions' shared
// state kept by the aggregates, PAGE and FORMAT's minus marks (in their family files).
#pragma once

#include <atomic>
#include <mutex>

#include "interface/context.h"
#include "interface/settings.h"
#include "interface/work_areas.h"

namespace fcl::state {

// FCLCOMPILE and FCLEXECUTE's context: used by one thread at a time, as hosts are told.
extern Context global_context;

// Written once by the load work (ensure_loaded, before the first entry point does anything),
// read-only afterwards. `loaded` publishes them.
extern LoadSettings settings;
extern std::atomic<bool> loaded;

// The aggregate work areas: sized and freed by FCLINIT, their slots written by every plain
// aggregate call on any handle, always under `aggregate_lock` (which also guards the
// aggregates' slot counters).
extern WorkArea work_areas[4];
extern std::mutex aggregate_lock;

}  // namespace fcl::state
