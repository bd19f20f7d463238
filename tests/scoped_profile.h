// A temporary profile directory with one ORBISRPT.INI, used as FCLIB_PROFILE_DIR while alive.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fcl::test {

class ScopedProfile {
public:
    // contents is the whole file; file_name lets tests vary the case of the name.
    explicit ScopedProfile(const std::string& contents, const std::string& file_name = "ORBISRPT.INI") {
        char pattern[] = "/tmp/fclib-profile-XXXXXX";
        dir_ = mkdtemp(pattern);
        std::ofstream(dir_ + "/" + file_name, std::ios::binary) << contents;
        const char* previous = std::getenv("FCLIB_PROFILE_DIR");
        had_previous_ = previous != nullptr;
        if (previous) previous_ = previous;
        setenv("FCLIB_PROFILE_DIR", dir_.c_str(), 1);
    }
    ~ScopedProfile() {
        if (had_previous_) setenv("FCLIB_PROFILE_DIR", previous_.c_str(), 1);
        else unsetenv("FCLIB_PROFILE_DIR");
        std::filesystem::remove_all(dir_);
    }
    ScopedProfile(const ScopedProfile&) = delete;
    ScopedProfile& operator=(const ScopedProfile&) = delete;

private:
    std::string dir_;
    std::string previous_;
    bool had_previous_ = false;
};

}  // namespace fcl::test
