// For the C host: the path of ORBISRPT.INI in the directory where the library looks for it
// (FCLIB_PROFILE_DIR, which the test sets, or the Windows directory), made if missing.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/profile.h"

extern "C" int profile_location(char* out, std::size_t out_size) {
    char directory[1024];
    if (!fcl::platform::profile_directory(directory, sizeof directory)) return 0;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    const int length = std::snprintf(out, out_size, "%s/%s", directory, fcl::platform::kProfileFile);
    return !error && length > 0 && static_cast<std::size_t>(length) < out_size;
}
