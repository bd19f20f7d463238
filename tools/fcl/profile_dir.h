// --profile-dir: the library reads some profile settings ("Month", "DateError", "TimeError")
// once, when it is loaded, which for a program linked with it is before main runs. So the
// directory is passed the only robust way: the program sets FCLIB_PROFILE_DIR and re-executes
// itself, and the fresh process loads the library with the variable already in place.
#pragma once

#include <string>

namespace fcltool {

// Returns when `directory` is empty or FCLIB_PROFILE_DIR already names it; otherwise re-executes
// the program with the same arguments and does not return (exits with status 2 if that fails).
void apply_profile_dir(const std::string& directory, char** argv);

}  // namespace fcltool
