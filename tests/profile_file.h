// The profile file of the tests, written where the library looks for it: the directory that
// the platform layer names (the Windows directory on Windows; elsewhere FCLIB_PROFILE_DIR,
// which each test process points at a temporary directory of its own:
// posix/profile_location.cpp).
#pragma once

#include <string>

namespace fcl::test {

// Removes every file named ORBISRPT.INI in any case from the profile directory.
void remove_profile();

// Replaces the profile with one file: `name` is ORBISRPT.INI in some case, `contents` the
// whole file.
void write_profile(const std::string& name, const std::string& contents);

// A profile in place while alive, none after.
class ScopedProfile {
public:
    explicit ScopedProfile(const std::string& contents) { write_profile("ORBISRPT.INI", contents); }
    ~ScopedProfile() { remove_profile(); }
    ScopedProfile(const ScopedProfile&) = delete;
    ScopedProfile& operator=(const ScopedProfile&) = delete;
};

}  // namespace fcl::test
