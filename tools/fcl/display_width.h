// Terminal columns taken by a text: East Asian wide characters take two.
#pragma once

#include <cstddef>
#include <string_view>

namespace fcltool {

// Columns of UTF-8 text, or of code page 932 text when `byte_widths` (one column per byte:
// double-byte characters are the wide ones).
std::size_t display_width(std::string_view text, bool byte_widths);

}  // namespace fcltool
