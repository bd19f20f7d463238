// Runs the fcl program as a separate process, as a user would: posix/tool_process.cpp with
// posix_spawn, windows/tool_process.cpp with CreateProcessW.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fcl::test {

struct ToolRun {
    int exit_status = -1;  // -1: the program could not be run or did not exit normally
    std::string out;
    std::string err;
};

// fcl with the arguments (UTF-8), standard input from the file `input` (empty: no input), the
// variables of `environment` ("NAME=VALUE") set, and the profile a user of a fresh build has:
// FCLIB_PROFILE_DIR, which the other suites set, is left out, so fcl falls back to the sample
// profile; on Windows, where the library reads only the Windows directory, the sample profile
// is put there for the run. On POSIX systems LC_ALL, LC_CTYPE and LANG are left out as well,
// so that fcl's encodings are UTF-8 unless `environment` sets them.
ToolRun run_fcl(const std::vector<std::string>& args, const std::string& input,
                const std::vector<std::string>& environment = {});

// The whole content of a file (empty when it cannot be read).
inline std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Whether fcl takes --profile-dir here (on Windows the library reads the Windows directory only).
extern const bool kToolTakesProfileDir;

// Whether the locale variables of fcl's environment are the test's to choose: not under Wine,
// whose processes take their code page from them.
extern const bool kToolTakesLocale;

}  // namespace fcl::test
