// The process-attach notification: the load-time work runs when the shared library is loaded
// (or before main for a program linked with its objects). A static link that leaves this unit
// out still gets the work done by the first entry point.
#include "interface/settings.h"

namespace {

[[gnu::constructor]] void attach() { fcl::ensure_loaded(); }

}  // namespace
