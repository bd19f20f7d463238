// The process-attach notification of fclib.dll: the load-time work runs when a host loads the
// DLL. Thread attach and detach and process detach do nothing. A program linked with the static
// library never calls DllMain; its first entry point does the work instead.
#include <windows.h>

#include "platform/process_attach.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) fcl::platform::on_library_load();
    return TRUE;
}
