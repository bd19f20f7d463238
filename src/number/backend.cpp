#include "number/backend.h"

#include <cstring>

namespace fcl {

namespace {

// Removes trailing zeros after a "." and the "." itself when nothing follows it.
void trim_fraction_zeros(char* text) {
    char* point = std::strchr(text, '.');
    if (!point) return;
    std::size_t end = std::strlen(text);
    while (end > 0 && text[end - 1] == '0' && &text[end - 1] > point) --end;
    if (&text[end - 1] == point) --end;
    text[end] = '\0';
}

}  // namespace

void install_backend(std::int32_t type) {
    const Backend* chosen = type == kDecimalBackendType  ? &kDecimalBackend
                            : type == FCL_BACKEND_DOUBLE ? &kDoubleBackendType1
                                                         : &kDoubleBackend;
    detail::g_backend.store(chosen, std::memory_order_relaxed);
}

void shaped_to_str(const void* number, char* out, std::size_t out_size, std::int32_t style, std::int32_t digits) {
    if (out_size == 0) return;
    backend().to_str(number, out, out_size, style, digits);
    if (style > 0) return;
    if (digits == 0) {
        if (char* point = std::strchr(out, '.')) *point = '\0';
    } else if (digits > 0) {
        char* point = std::strchr(out, '.');
        if (point) {
            const std::size_t following = std::strlen(point + 1);
            if (following >= static_cast<std::size_t>(digits)) {
                point[1 + digits] = '\0';
            } else if (style == 0) {
                std::size_t len = std::strlen(out);
                for (std::size_t i = following; i < static_cast<std::size_t>(digits) && len + 1 < out_size; ++i)
                    out[len++] = '0';
                out[len] = '\0';
            }
        } else if (style == 0) {
            std::size_t len = std::strlen(out);
            if (len + 1 < out_size) out[len++] = '.';
            for (std::int32_t i = 0; i < digits && len + 1 < out_size; ++i) out[len++] = '0';
            out[len] = '\0';
        }
    }
    if (style < 0 || digits < 0) trim_fraction_zeros(out);
    if (std::strcmp(out, "-0") == 0) std::strcpy(out, "0");
}

void whole_number_text(const void* number, char* out, std::size_t out_size) {
    // Digits -1 keeps the fraction (the double backend would round with 0 decimals); it is cut here.
    backend().to_str(number, out, out_size, kStylePlain, -1);
    if (char* point = std::strchr(out, '.')) *point = '\0';
    if (std::strcmp(out, "-0") == 0) std::strcpy(out, "0");
}

}  // namespace fcl
