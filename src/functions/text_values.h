// Reading text arguments and writing the results of the string functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

// No tagged value is longer than the 528-byte areas that hold them, so no argument text is
// longer than this; lengths are measured within it.
constexpr std::size_t kMaxArgumentText = kCodeAreaSize - 2;

inline const char* text_of(const std::uint8_t* value) { return reinterpret_cast<const char*>(value + 1); }

inline std::size_t text_length(const std::uint8_t* value) { return strnlen(text_of(value), kMaxArgumentText); }

// Writes a string result (type byte, text, NUL); a text longer than 512 bytes is status 1004
// and nothing is written. The text may overlap the result area.
Status write_text_result(std::uint8_t* result, const char* text, std::size_t length);

// Collects the text of a string result, at most 512 bytes; appending beyond that marks the
// text as too long instead of writing past it.
class ResultText {
public:
    void append(const char* bytes, std::size_t count);
    void repeat(char byte, std::size_t count);
    // Removes the last count bytes (at most all of them).
    void drop(std::size_t count) { length_ -= count < length_ ? count : length_; }
    const char* data() const { return text_; }
    std::size_t length() const { return length_; }
    bool too_long() const { return too_long_; }
    // Writes the result (type byte, text, NUL), or returns 1004 when the text was too long.
    Status write(std::uint8_t* result) const;

private:
    char text_[kMaxStringText];
    std::size_t length_ = 0;
    bool too_long_ = false;
};

// Writes a length, position or byte value as a number result in the current number encoding
// (in text-number mode made with FromInt in the context's number scratch, in full form).
void write_count_result(std::uint8_t* result, std::int32_t value, Context& ctx);

}  // namespace fcl
