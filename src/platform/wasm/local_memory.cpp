// Local memory from the WebAssembly heap.
#include "platform/local_memory.h"

#include <cstdlib>

namespace fcl::platform {

void* local_alloc_zeroed(std::size_t bytes) { return std::calloc(bytes ? bytes : 1, 1); }
void local_free(void* block) { std::free(block); }

}  // namespace fcl::platform
