// The platform start on POSIX systems: the process and the profile directory (fcl.h).
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "fcl.h"

namespace fcltool {

void start_process(int&, char**&) { std::signal(SIGPIPE, SIG_IGN); }

namespace {

constexpr const char* kProfileFile = "ORBISRPT.INI";

bool is_directory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The library finds the file by name without regard to case; so does this.
bool has_profile(const std::string& directory) {
    DIR* handle = opendir(directory.c_str());
    if (!handle) return false;
    bool found = false;
    while (const dirent* entry = readdir(handle))
        if (strcasecmp(entry->d_name, kProfileFile) == 0) found = true;
    closedir(handle);
    return found;
}

std::string sample_profile_dir() { return FCL_SAMPLE_PROFILE_DIR; }

}  // namespace

bool apply_profile_dir(const Options& options, std::string& error) {
    // --profile-dir, else the sample profile for the example report when no directory is set.
    std::string chosen = options.profile_dir;
    if (chosen.empty() && is_example_report(options) && !std::getenv("FCLIB_PROFILE_DIR"))
        chosen = sample_profile_dir();
    if (!chosen.empty() && !is_directory(chosen)) {
        error = "profile directory " + chosen + " does not exist";
        return false;
    }
    if (chosen.empty()) {
        const char* variable = std::getenv("FCLIB_PROFILE_DIR");
        if (variable && *variable) chosen = variable;
        else if (!has_profile(FCL_DEFAULT_PROFILE_DIR) && has_profile(sample_profile_dir())) chosen = sample_profile_dir();
    }
    if (!chosen.empty() && setenv("FCLIB_PROFILE_DIR", chosen.c_str(), 1) != 0) {
        error = "cannot set FCLIB_PROFILE_DIR";
        return false;
    }
    const std::string looked_in = chosen.empty() ? FCL_DEFAULT_PROFILE_DIR : chosen;
    if (!has_profile(looked_in))
        std::fprintf(stderr, "fcl: no %s in %s: %s\n", kProfileFile, looked_in.c_str(), kNoProfileSettings);
    return true;
}

}  // namespace fcltool
