// The time normaliser: decides whether a text is a time of day and compacts it to hhmmss.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interface/types.h"

namespace fcl {

constexpr std::size_t kTimeDigits = 6;
constexpr std::size_t kTimeBufferSize = kTimeDigits + 1;
constexpr std::int32_t kSecondsPerDay = 86400;

// Reads a NUL-terminated text of any length and writes its compacted form to out: digits are
// kept; ":" anywhere and any character at read position 2 or 5 are dropped; any other
// character ends the scan. Returns 0 when the whole text gave exactly six digits forming a
// valid hour, minute and second, else 1003. Only the first six digits are stored: callers read
// no further, and the input itself is never changed.
Status normalise_time(const char* text, char (&out)[kTimeBufferSize]);

// Seconds since midnight of a normalised time.
std::int32_t seconds_of_day(const char (&time)[kTimeBufferSize]);

}  // namespace fcl
