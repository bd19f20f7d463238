// The load work runs when the module starts, among its static constructors.
#include "platform/process_attach.h"

namespace {

[[gnu::constructor]] void attach() { fcl::platform::on_library_load(); }

}  // namespace
