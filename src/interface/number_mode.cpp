#include "interface/number_mode.h"

namespace fcl {

namespace {
std::int32_t g_mode = 0;
}

std::int32_t number_mode() { return g_mode; }
void set_number_mode(std::int32_t mode) { g_mode = mode; }

}  // namespace fcl
