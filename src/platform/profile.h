// The Windows profile (INI) reading routines: on Windows the real ones, which look for a file
// named without a directory in the Windows directory; elsewhere a stand-in.
//
// The stand-in looks the file up by name in the directory named by the environment variable
// FCLIB_PROFILE_DIR, else in the directory fixed when the library was configured
// (FCLIB_DEFAULT_PROFILE_DIR: the installation's configuration directory, where the sample
// profile is installed): the name as given, else the first file whose name equals it without
// regard to case. Section and key names compare
// without regard to case; values are trimmed of surrounding blanks and one pair of
// enclosing double quotes; lines starting with ';' are comments.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl::platform {

inline constexpr const char* kProfileFile = "ORBISRPT.INI";
inline constexpr const char* kProfileSection = "Fclib";

// Like GetPrivateProfileStringA: copies at most out_size - 1 bytes of the value (or of
// fallback when the file or key is missing) and returns the number of bytes copied.
std::uint32_t profile_string(const char* section, const char* key, const char* fallback,
                             char* out, std::uint32_t out_size, const char* file);

// The keys of one section (at most kMostKeys) as profile_string with an empty fallback reads
// each: values[i * value_size] gets keys[i]'s value, cut to value_size - 1 bytes and
// NUL-terminated. The stand-in reads the file once for all of them.
inline constexpr std::size_t kMostKeys = 16;
void profile_strings(const char* section, const char* const* keys, std::size_t count, char* values,
                     std::uint32_t value_size, const char* file);

// Like GetPrivateProfileIntA: the leading decimal number of the value, fallback when missing.
std::int32_t profile_int(const char* section, const char* key, std::int32_t fallback, const char* file);

// The directory where a profile file named without a directory is looked for, NUL-terminated
// in out. False when it does not fit.
bool profile_directory(char* out, std::size_t out_size);

}  // namespace fcl::platform
