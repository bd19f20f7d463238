// Code page 932 through the generated table, for the WebAssembly build's bindings.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl::platform {

// The code page 932 bytes of a UTF-16 code unit (1 or 2), or 0 when it has none.
std::size_t cp932_encode(std::uint16_t unit, unsigned char (&out)[2]);

// The UTF-16 code unit of the character at first (second the byte after it, 0 at the end);
// used gets the bytes it takes. 0 when the bytes are no character (used 1 for a lone byte,
// 2 for a pair).
std::uint16_t cp932_decode(std::uint8_t first, std::uint8_t second, std::size_t& used);

}  // namespace fcl::platform
