// Stand-in for the formatting library's gQXdtoa: a double formatted with a printf-style format.
#pragma once

#include <cstddef>

namespace fcl::platform {

// Writes the NUL-terminated text of value as the printf conversion in format would,
// cut to out_size - 1 bytes.
void format_double(char* out, std::size_t out_size, const char* format, double value);

}  // namespace fcl::platform
