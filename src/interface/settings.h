// Process-wide settings fixed when the library is loaded: month names, the reactions of
// date and time functions to invalid input, and the load date and time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/clock.h"

namespace fcl {

constexpr std::size_t kMonthNameSize = 17;  // 16 bytes of text and a NUL

struct LoadSettings {
    char month_names[12][kMonthNameSize];
    std::int32_t date_error;  // 1 blank the date, 2 fail with 1003, other: go on with the text as left
    std::int32_t time_error;
    platform::LocalTime load_date;  // year, month, day are used
    platform::LocalTime load_time;  // hour, minute, second are used
};

const LoadSettings& load_settings();

// Runs the load-time work: load date and time, "Month", "DateError", "TimeError" (the backend
// table needs no work: it starts as the decimal backend). ensure_loaded runs it once; tests
// call it again after changing the profile.
void on_process_attach();

namespace state {
extern std::atomic<bool> loaded;
}  // namespace state

namespace detail {
void load_once();
}  // namespace detail

// Makes sure the load-time work has run, exactly once, before an entry point does its own work:
// at process attach when the library is loaded, else (linked statically) at the first call.
inline void ensure_loaded() {
    if (!state::loaded.load(std::memory_order_acquire)) [[unlikely]] detail::load_once();
}

// Splits a "Month" profile value into names and stores the first twelve over the defaults.
// Exposed for tests of the splitting rule.
void apply_month_names(const char* value, char (&names)[12][kMonthNameSize]);

}  // namespace fcl
