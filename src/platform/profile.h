// The Windows profile (INI) reading routines: on Windows the real ones, which look for a file
// named without a directory in the Windows directory; elsewhere a stand-in that reads as they
// do (profile_reader.h).
//
// The stand-in looks the file up by name, in the first of these directories that holds it:
// the one named by the environment variable FCLIB_PROFILE_DIR (when set, the only one); in the
// shared library, the installation's configuration directory found from where the library
// itself lies (<libdir>/../etc/fclib); the directory fixed when the library was configured
// (FCLIB_DEFAULT_PROFILE_DIR, where the sample profile is installed). In a directory, the name
// as given, else the first file whose name equals it without regard to case.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl::platform {

inline constexpr const char* kProfileFile = "ORBISRPT.INI";
inline constexpr const char* kProfileSection = "Fclib";

// Like GetPrivateProfileStringA: copies at most out_size - 1 bytes of the value (or of
// fallback when the file or key is missing) and returns the number of bytes copied, or
// out_size - 1 when the value was cut.
std::uint32_t profile_string(const char* section, const char* key, const char* fallback,
                             char* out, std::uint32_t out_size, const char* file);

// The keys of one section (at most kMostKeys) as profile_string with an empty fallback reads
// each: values[i * value_size] gets keys[i]'s value, cut to value_size - 1 bytes and
// NUL-terminated. The stand-in reads the file once for all of them.
inline constexpr std::size_t kMostKeys = 16;
void profile_strings(const char* section, const char* const* keys, std::size_t count, char* values,
                     std::uint32_t value_size, const char* file);

// Like GetPrivateProfileIntA: the number the value starts with (sign, base prefix, digits),
// fallback when it is missing or empty.
std::int32_t profile_int(const char* section, const char* key, std::int32_t fallback, const char* file);

// The directory that the profile file (kProfileFile) is read from: the first above that holds
// it, else the last. NUL-terminated in out; false when it does not fit.
bool profile_directory(char* out, std::size_t out_size);

}  // namespace fcl::platform
