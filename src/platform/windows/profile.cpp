// The profile routines of Windows. The file is passed as given, so a bare name such as
// "ORBISRPT.INI" is looked for in the Windows directory.
#include "platform/profile.h"

#include <windows.h>

#include <cstring>

namespace fcl::platform {

std::uint32_t profile_string(const char* section, const char* key, const char* fallback,
                             char* out, std::uint32_t out_size, const char* file) {
    if (!out || out_size == 0) return 0;
    // Cleared first: where a value is cut before a double-byte character, the routine may
    // leave the byte after the last whole character unwritten.
    std::memset(out, 0, out_size);
    return GetPrivateProfileStringA(section, key, fallback ? fallback : "", out, out_size, file);
}

void profile_strings(const char* section, const char* const* keys, std::size_t count, char* values,
                     std::uint32_t value_size, const char* file) {
    if (!values || value_size == 0) return;
    if (count > kMostKeys) count = kMostKeys;
    for (std::size_t i = 0; i < count; ++i) profile_string(section, keys[i], "", values + i * value_size, value_size, file);
}

std::int32_t profile_int(const char* section, const char* key, std::int32_t fallback, const char* file) {
    // Negative values come back as their two's complement in the unsigned result.
    return static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, fallback, file));
}

bool profile_directory(char* out, std::size_t out_size) {
    if (out_size == 0) return false;
    const UINT length = GetWindowsDirectoryA(out, static_cast<UINT>(out_size));
    return length > 0 && length < out_size;
}

}  // namespace fcl::platform
