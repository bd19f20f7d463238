// The process-wide number-encoding mode: 0 numbers are 8-byte doubles, otherwise number text.
#pragma once

#include <cstdint>

namespace fcl {

std::int32_t number_mode();
void set_number_mode(std::int32_t mode);
inline bool text_numbers() { return number_mode() != 0; }

}  // namespace fcl
