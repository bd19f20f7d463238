// The status in words: the C++ layer's text (fclib.hpp), which is kept apart from the library's
// internals because both name a Context.
#include "analysis/analysis.h"
#include "fclib.hpp"

const char* fcl::analysis::status_message(int status) {
    return fcl::status_message(static_cast<std::uint16_t>(status));
}
