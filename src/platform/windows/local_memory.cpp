// Windows local memory: a moveable, zero-initialised block, kept locked while the work areas
// use it; freeing finds the handle again from the locked pointer.
#include "platform/local_memory.h"

#include <windows.h>

namespace fcl::platform {

void* local_alloc_zeroed(std::size_t bytes) {
    const HLOCAL handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes ? bytes : 1);
    if (!handle) return nullptr;
    void* block = LocalLock(handle);
    if (!block) LocalFree(handle);
    return block;
}

void local_free(void* block) {
    if (!block) return;
    const HLOCAL handle = LocalHandle(block);
    if (!handle) return;
    LocalUnlock(handle);
    LocalFree(handle);
}

}  // namespace fcl::platform
