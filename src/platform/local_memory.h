// Windows local memory (LocalAlloc moveable + zero-initialise, LocalLock; LocalHandle,
// LocalUnlock, LocalFree), with a calloc stand-in elsewhere: zero-filled blocks owned by the
// aggregate work areas.
#pragma once

#include <cstddef>

namespace fcl::platform {

// A zero-filled block of bytes, or null when memory is exhausted.
void* local_alloc_zeroed(std::size_t bytes);
void local_free(void* block);

}  // namespace fcl::platform
