// The process-wide number-encoding mode: 0 numbers are 8-byte doubles, otherwise number text.
#pragma once

#include <cstdint>

namespace fcl {

namespace detail {
// Read on every number operation, so it lives here where every caller can inline it.
inline std::int32_t g_number_mode = 0;
}  // namespace detail

inline std::int32_t number_mode() { return detail::g_number_mode; }
inline void set_number_mode(std::int32_t mode) { detail::g_number_mode = mode; }
inline bool text_numbers() { return detail::g_number_mode != 0; }

}  // namespace fcl
