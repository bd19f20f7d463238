// The platform start on POSIX systems: the process and the profile directory (fcl.h).
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "fcl.h"

namespace fcltool {

void start_process(int&, char**&) { std::signal(SIGPIPE, SIG_IGN); }

const bool kArgumentsAlwaysUtf8 = false;

std::string program_directory() {
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? std::string() : program.parent_path().string();
}

namespace {

constexpr const char* kProfileFile = "ORBISRPT.INI";

bool is_directory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The profile file of a directory as the library finds it: the name as given where a file has
// it, else the first entry that has the name without regard to case; "" when there is none.
std::string profile_file(const std::string& directory) {
    const std::string exact = directory + "/" + kProfileFile;
    if (access(exact.c_str(), R_OK) == 0) return exact;
    DIR* handle = opendir(directory.c_str());
    if (!handle) return "";
    std::string found;
    while (const dirent* entry = readdir(handle)) {
        if (strcasecmp(entry->d_name, kProfileFile) == 0) {
            found = directory + "/" + entry->d_name;
            break;
        }
    }
    closedir(handle);
    return found;
}

bool has_profile(const std::string& directory) { return !profile_file(directory).empty(); }

// The sample profile: the source tree's while it is there, else the copy installed with fcl,
// found from the program's directory; "" when neither holds a profile file.
std::string sample_profile_dir() {
    if (has_profile(FCL_SAMPLE_PROFILE_DIR)) return FCL_SAMPLE_PROFILE_DIR;
    const std::string program = program_directory();
    if (program.empty()) return "";
    const std::string installed = program + "/" + FCL_INSTALLED_PROFILE;
    return has_profile(installed) ? installed : "";
}

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
        else if (!has_profile(FCL_DEFAULT_PROFILE_DIR)) chosen = sample_profile_dir();
    }
    if (!chosen.empty() && setenv("FCLIB_PROFILE_DIR", chosen.c_str(), 1) != 0) {
        error = "cannot set FCLIB_PROFILE_DIR";
        return false;
    }
    const std::string looked_in = chosen.empty() ? FCL_DEFAULT_PROFILE_DIR : chosen;
    const std::string file = profile_file(looked_in);
    if (file.empty()) {
        std::fprintf(stderr, "fcl: no %s in %s: %s\n", kProfileFile, looked_in.c_str(), kNoProfileSettings);
        return true;
    }
    std::error_code failed;
    const std::filesystem::path full = std::filesystem::absolute(file, failed).lexically_normal();
    check_profile_text(failed ? file : full.string());
    return true;
}

}  // namespace fcltool
