// Code page 932 (Shift-JIS) byte classes and the multibyte text routines built on them,
// in place of the C runtime's _mbbtype, _mbsbtype, _ismbblead, _mbslen, _mbsrev and _mbscmp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl::cp932 {

inline bool is_lead(std::uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }
inline bool is_trail(std::uint8_t byte) { return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC); }

enum class ByteType { Single, Lead, Trail, Invalid };

// Type of the byte at index i, judged by walking the text from its start
// (Invalid at and beyond the terminating NUL, and for a trail position holding a non-trail byte).
ByteType byte_type(const char* text, std::size_t i);

// Three-way comparison character by character: a lead byte followed by a non-NUL byte is
// one character of value lead * 256 + trail; a lead byte just before the NUL ends the text.
int compare(const char* a, const char* b);

// Reverses the characters of the text in place, keeping double-byte characters intact.
void reverse(char* text);

}  // namespace fcl::cp932
