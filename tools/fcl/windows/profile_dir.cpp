// On Windows the library reads ORBISRPT.INI from the Windows directory and nowhere else, so fcl
// cannot point it at another directory: --profile-dir is refused, and every command, the
// example report too, reads the profile installed there.
#include "../profile_dir.h"

#include <windows.h>

#include <cstdio>

namespace fcltool {

bool apply_profile_dir(const Options& options, std::string& error) {
    if (!options.profile_dir.empty()) {
        error = "--profile-dir is not available on Windows: the library reads ORBISRPT.INI from the Windows directory";
        return false;
    }
    char directory[MAX_PATH] = "";
    const UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return true;
    const std::string path = std::string(directory) + "\\ORBISRPT.INI";
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        std::fprintf(stderr,
                     "fcl: no ORBISRPT.INI in %s: built-in settings apply (eras up to Heisei, months Jan to Dec, "
                     "DateError 1, TimeError 1, 10 slots per aggregate)\n",
                     directory);
    return true;
}

}  // namespace fcltool
