// The stand-in profile routines read the directory named by FCLIB_PROFILE_DIR. A test process
// points it at a temporary directory of its own, so that the tests' profiles never land in a
// real profile directory, and removes it at the end. A child process of the tests (a fresh
// process, see fresh_process.h) keeps its parent's.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kPrefix = "/tmp/fclib-tests-";

struct TemporaryProfileDirectory {
    std::string path;
    TemporaryProfileDirectory() {
        const char* inherited = std::getenv("FCLIB_PROFILE_DIR");
        if (inherited && std::string(inherited).rfind(kPrefix, 0) == 0) return;
        std::string pattern = std::string(kPrefix) + "XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
        setenv("FCLIB_PROFILE_DIR", path.c_str(), 1);
    }
    ~TemporaryProfileDirectory() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

const TemporaryProfileDirectory g_directory;

}  // namespace
