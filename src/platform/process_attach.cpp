// The process-attach notification: the load-time work runs when the shared library is loaded
// (or before main for a program linked with its objects). A static link that leaves this unit
// out still gets the work done by the first entry point.
#include "platform/process_attach.h"

namespace {

[[gnu::constructor]] void attach() { fcl::platform::on_library_load(); }

}  // namespace
