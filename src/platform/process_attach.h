// The process-attach notification of the library's load: a constructor of the shared object
// (process_attach.cpp), DllMain on Windows (windows/process_attach.cpp).
#pragma once

namespace fcl::platform {

// The library's load-time work. The platform calls it when the library is loaded; the layer
// above defines it.
void on_library_load();

}  // namespace fcl::platform
