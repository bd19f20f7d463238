// Tagged values: sizes, the raw value conversion and the blank value of each type.
#pragma once

#include <cstddef>
#include <cstdint>

#include <cstring>

#include "interface/context.h"
#include "interface/number_mode.h"
#include "interface/types.h"

namespace fcl {

// Size in bytes of the tagged value starting at value (0: no value starts there), in the
// current number encoding. Reads at most limit bytes; a text that is not terminated within
// limit also gives 0. Inline: the executor measures every item and every produced value.
inline std::uint16_t value_size(const std::uint8_t* value, std::size_t limit = kCodeAreaSize) {
    return static_cast<std::uint16_t>(fcl_value_size(value, limit, text_numbers()));
}

// Converts a raw value described by a value type word into a tagged value in out
// (at most out_size bytes). Returns the size written, 0 when nothing was written
// (unknown type, or a value that does not fit). A function call is not a raw value here: the
// field fetch resolves its name through the function table.
// In text-number mode numbers pass through the context's number scratch.
std::uint16_t convert_raw_value(std::uint16_t type_word, const void* raw, std::uint8_t* out,
                                std::size_t out_size, Context& ctx);

// The backend number of a raw number answer (any raw number format, or number text).
void raw_number_to_backend(std::uint8_t format, const void* raw, void* number);

// Writes the blank value of a result type mask (empty text, zero, false, "000000",
// "00000000"); returns its size, 0 for masks that have no blank value.
std::uint16_t write_blank_value(std::uint8_t type_mask, std::uint8_t* out);

// Writes a number into a result area as a tagged value in the current encoding: the double
// itself in double-number mode, else the backend number in full form. Returns the size.
std::uint16_t write_number_double(std::uint8_t* out, double value);
std::uint16_t write_number_backend(std::uint8_t* out, const void* number);

// As write_number_backend for the number from_units makes of units (|units| < 10^16).
std::uint16_t write_units_backend(std::uint8_t* out, std::int64_t units);

// Reads a number argument as a double, whatever the encoding (text is parsed by the backend).
double number_as_double(const std::uint8_t* value, Context& ctx);

// Writes a string result: type byte 1, at most kMaxStringText bytes of text, NUL.
std::uint16_t write_string(std::uint8_t* out, const char* text, std::size_t length);

}  // namespace fcl
