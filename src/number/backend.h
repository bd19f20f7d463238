// The backend table: every number operation of text-number mode goes through it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "fclib.h"

namespace fcl {

// Bytes of one backend number of the widest backend (the decimal one).
constexpr std::size_t kNumberSize = FCL_NUM_MAX_SIZE;
// NumSetup's argument and NumType's answer for the decimal backend.
constexpr std::int32_t kDecimalBackendType = FCL_BACKEND_DECIMAL;

// Text written by ToStr: the longest decimal text is about 70 bytes; the fixed form of
// a large double with the widest allowed number of decimals fits as well.
constexpr std::size_t kNumberTextSize = FCL_NUM_TEXT_MAX;
// The double backend clamps the decimals of its fixed form to this many.
constexpr std::int32_t kMaxFixedDecimals = 340;

constexpr std::int32_t kStyleFull = FCL_NUM_FULL;    // with digits -1: the payload form
constexpr std::int32_t kStylePlain = FCL_NUM_PLAIN;  // with digits 0: the plain form
constexpr std::int32_t kStyleScientific = FCL_NUM_SCIENTIFIC;

struct Backend {
    std::int32_t type;
    std::int32_t size;
    // Whether from_str reads the payload text (to_str full form, digits -1) back as the very
    // number it was written from, so that a run may keep the number instead of reading the
    // text again. The decimal backend's digit string is exact; the double backend's 16 digits
    // are not.
    bool payload_round_trips;
    // Writes at most out_size bytes including the NUL.
    void (*to_str)(const void* number, char* out, std::size_t out_size, std::int32_t style, std::int32_t digits);
    void (*from_str)(void* number, const char* text);
    void (*from_int)(void* number, std::int32_t value);
    void (*from_dbl)(void* number, double value);
    std::int32_t (*comp)(const void* a, const void* b);
    std::int32_t (*is_zero)(const void* a);
    void (*zero)(void* a);
    void (*min)(void* a);
    void (*max)(void* a);
    void (*neg)(void* a);
    void (*int_part)(void* a);
    void (*add)(void* a, const void* b);
    void (*sub)(void* a, const void* b);
    void (*mul)(void* a, const void* b);
    void (*div)(void* a, const void* b);
    // The number units * 10^-8, for units below 10^16 in magnitude: exact where the payload text
    // round trips. For the library's own use (a text-number run's short numbers), not a Num
    // entry point.
    void (*from_units)(void* number, std::int64_t units);
    // The payload text (to_str full form, digits -1) of that number, written to out (room for
    // kUnitsTextSize bytes) without making the number; returns its length. For the library's
    // own use too.
    std::size_t (*units_to_str)(std::int64_t units, char* out);
};

// Room for the payload text of a number of units below 10^16, NUL included.
constexpr std::size_t kUnitsTextSize = 32;

// The backends' constant tables, for install_backend and the first current table only. The
// double backend has two, differing only in the type code NumType reports.
extern const Backend kDoubleBackend;
extern const Backend kDoubleBackendType1;
extern const Backend kDecimalBackend;

namespace detail {
// The current table. Read by every number operation of text-number mode, so it lives here where
// every caller can inline it. Constant-initialised to the decimal backend, so it is in place
// before any code runs whatever the link order; NumSetup switches it, before any thread starts.
inline constinit std::atomic<const Backend*> g_backend{&kDecimalBackend};
}  // namespace detail

// The current table. Callers never name a backend; they call its slots.
inline const Backend& backend() { return *detail::g_backend.load(std::memory_order_relaxed); }

// NumSetup: FCL_BACKEND_DECIMAL installs the decimal backend, FCL_BACKEND_DOUBLE the double
// backend with that type code, anything else the double backend with type code 0.
void install_backend(std::int32_t type);

// ToStr followed by the shaping of NumToStr (truncation, padding, trailing zeros, "-0").
void shaped_to_str(const void* number, char* out, std::size_t out_size, std::int32_t style, std::int32_t digits);

// The whole part of a number as plain decimal text, truncated toward zero (never rounded,
// whatever the backend), with "-0" written "0".
void whole_number_text(const void* number, char* out, std::size_t out_size);

}  // namespace fcl
