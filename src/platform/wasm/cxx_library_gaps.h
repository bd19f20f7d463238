// What emscripten 3.1.6's C++ library lacks of C++20 and the sources use: std::bit_cast and the
// floating-point std::from_chars and std::to_chars. The wasm build adds them to every source.
#pragma once

#ifdef __cplusplus
#include <bit>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace std {

#ifndef __cpp_lib_bit_cast
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
#endif

// The double at [first, last) as strtod reads it.
inline from_chars_result from_chars(const char* first, const char* last, double& value) {
    char buffer[400];
    const size_t length = static_cast<size_t>(last - first) < sizeof buffer - 1 ? last - first : sizeof buffer - 1;
    memcpy(buffer, first, length);
    buffer[length] = '\0';
    char* end = nullptr;
    const double read = strtod(buffer, &end);
    if (end == buffer) return {first, errc::invalid_argument};
    value = read;
    return {first + (end - buffer), errc{}};
}

// The shortest %g text of value that reads back as value.
inline to_chars_result to_chars(char* first, char* last, double value) {
    char buffer[40];
    for (int digits = 1; digits <= 17; ++digits) {
        snprintf(buffer, sizeof buffer, "%.*g", digits, value);
        if (strtod(buffer, nullptr) == value || value != value) break;
    }
    const size_t length = strlen(buffer);
    if (length > static_cast<size_t>(last - first)) return {last, errc::value_too_large};
    memcpy(first, buffer, length);
    return {first + length, errc{}};
}

// value in fixed or scientific form with precision digits after the point, as printf's "%.*f"
// and "%.*e" write it.
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format, int precision) {
    char buffer[400];
    const int length = snprintf(buffer, sizeof buffer, format == chars_format::scientific ? "%.*e" : "%.*f",
                                precision, value);
    if (length < 0 || length >= static_cast<int>(sizeof buffer) || length > last - first)
        return {last, errc::value_too_large};
    memcpy(first, buffer, static_cast<size_t>(length));
    return {first + length, errc{}};
}

}  // namespace std
#endif
