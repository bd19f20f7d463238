#include "display_width.h"

#include <cstdint>

namespace fcltool {

namespace {

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

// Wide and fullwidth blocks: Hangul Jamo, CJK radicals to Yi, Hangul syllables, CJK
// compatibility ideographs and forms, fullwidth forms, and the supplementary ideograph planes.
constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x20000, 0x3FFFD},
};

bool is_wide(std::uint32_t code) {
    for (const auto& range : kWide)
        if (code >= range.first && code <= range.last) return true;
    return false;
}

}  // namespace

std::size_t display_width(std::string_view text, bool byte_widths) {
    if (byte_widths) return text.size();
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        std::uint32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        width += is_wide(code) ? 2 : 1;
        i += length;
    }
    return width;
}

}  // namespace fcltool
