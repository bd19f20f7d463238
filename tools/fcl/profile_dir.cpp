#include "profile_dir.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fcltool {

void apply_profile_dir(const std::string& directory, char** argv) {
    if (directory.empty()) return;
    const char* current = std::getenv("FCLIB_PROFILE_DIR");
    if (current && directory == current) return;  // the re-executed process
    if (setenv("FCLIB_PROFILE_DIR", directory.c_str(), 1) != 0) {
        std::fprintf(stderr, "fcl: cannot set FCLIB_PROFILE_DIR: %s\n", std::strerror(errno));
        std::exit(2);
    }
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "fcl: cannot restart with FCLIB_PROFILE_DIR=%s: %s\n", directory.c_str(),
                 std::strerror(errno));
    std::exit(2);
}

}  // namespace fcltool
