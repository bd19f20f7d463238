// Readable meanings of the library's status codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fcltool {

// The meaning of a status code, or "unknown status" for a code the library does not define.
const char* status_meaning(std::uint16_t status);

// "status 1009: division by zero"
std::string status_line(std::uint16_t status);

// Why a formula text of `bytes` bytes (code page 932) cannot compile, or "" when it fits.
std::string formula_length_problem(std::size_t bytes);

}  // namespace fcltool
