#include "platform/format_double.h"

#include <cstdio>

namespace fcl::platform {

void format_double(char* out, std::size_t out_size, const char* format, double value) {
    if (out_size == 0) return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (std::snprintf(out, out_size, format, value) < 0) out[0] = '\0';
#pragma GCC diagnostic pop
}

}  // namespace fcl::platform
