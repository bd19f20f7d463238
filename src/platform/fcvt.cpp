#include "platform/fcvt.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/format_double.h"

namespace fcl::platform {

namespace {

// The digits of units (none for zero), NUL-terminated; returns how many.
int write_digits(unsigned __int128 units, char* out) {
    constexpr std::uint64_t kChunk = 10'000'000'000'000'000'000u;  // 19 digits
    std::uint64_t chunks[3];
    int count = 0;
    for (; units >= kChunk; units /= kChunk) chunks[count++] = static_cast<std::uint64_t>(units % kChunk);
    char* p = out;
    if (units != 0) p = std::to_chars(p, p + 20, static_cast<std::uint64_t>(units)).ptr;
    while (count > 0) {
        std::uint64_t chunk = chunks[--count];
        for (int d = 18; d >= 0; --d, chunk /= 10) p[d] = static_cast<char>('0' + chunk % 10);
        p += 19;
    }
    *p = '\0';
    return static_cast<int>(p - out);
}

}  // namespace

void fcvt(double value, int decimals, FixedDigits& out) {
    out.digits[0] = '\0';
    out.point = 0;
    out.negative = std::signbit(value);
    if (!std::isfinite(value)) return;
    if (decimals < 0) decimals = 0;
    if (decimals > 340) decimals = 340;
    // Most values and precisions: the rounded digits as one whole number.
    if (unsigned __int128 units = 0; fixed_units(value, decimals, units)) {
        out.point = write_digits(units, out.digits) - decimals;
        return;
    }
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
