// The process-wide number-encoding mode: 0 numbers are 8-byte doubles, otherwise number text.
#pragma once

#include <atomic>
#include <cstdint>

namespace fcl {

namespace detail {
// Read on every number operation, so it lives here where every caller can inline it. Set by
// FCLSETMODE before the host starts its threads; an atomic so that even a host that changes it
// while others run reads whole values (a relaxed load is a plain load).
inline constinit std::atomic<std::int32_t> g_number_mode{0};
}  // namespace detail

inline std::int32_t number_mode() { return detail::g_number_mode.load(std::memory_order_relaxed); }
inline void set_number_mode(std::int32_t mode) { detail::g_number_mode.store(mode, std::memory_order_relaxed); }
inline bool text_numbers() { return number_mode() != 0; }

}  // namespace fcl
