#include "platform/fcvt.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace fcl::platform {

void fcvt(double value, int decimals, FixedDigits& out) {
    out.digits[0] = '\0';
    out.point = 0;
    out.negative = std::signbit(value);
    if (!std::isfinite(value)) return;
    if (decimals < 0) decimals = 0;
    if (decimals > 340) decimals = 340;
    // printf's "%.*f", which to_chars with a precision writes without the printf machinery. A
    // double's integer part has at most 309 digits: 309 + point + 340 + NUL fits.
    char text[700];
    *std::to_chars(text, text + sizeof text - 1, std::fabs(value), std::chars_format::fixed, decimals).ptr = '\0';
    const char* point = std::strchr(text, '.');
    const std::size_t int_len = point ? static_cast<std::size_t>(point - text) : std::strlen(text);
    std::size_t n = 0;
    if (!(int_len == 1 && text[0] == '0')) {
        for (std::size_t i = 0; i < int_len; ++i) out.digits[n++] = text[i];
        out.point = static_cast<int>(int_len);
        if (point) for (const char* p = point + 1; *p && n + 1 < sizeof out.digits; ++p) out.digits[n++] = *p;
    } else {
        // Below 1: leading fraction zeros move the point left.
        const char* p = point ? point + 1 : "";
        int zeros = 0;
        while (*p == '0') { ++p; ++zeros; }
        out.point = -zeros;
        while (*p && n + 1 < sizeof out.digits) out.digits[n++] = *p++;
    }
    out.digits[n] = '\0';
}

}  // namespace fcl::platform
