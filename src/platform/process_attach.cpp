// The process-attach notification: the load-time work runs once, before main for a
// program linked with the library and when the shared library is loaded.
#include "interface/settings.h"

namespace {

[[gnu::constructor]] void attach() { fcl::on_process_attach(); }

}  // namespace
