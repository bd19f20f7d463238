#include "tool_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

extern char** environ;

namespace fcl::test {

const bool kToolTakesProfileDir = true;
const bool kToolTakesLocale = true;

namespace {

bool left_out(const std::string& entry) {
    for (const char* name : {"FCLIB_PROFILE_DIR=", "LC_ALL=", "LC_CTYPE=", "LANG="})
        if (entry.rfind(name, 0) == 0) return true;
    return false;
}

}  // namespace

ToolRun run_fcl(const std::vector<std::string>& args, const std::string& input,
                const std::vector<std::string>& environment) {
    const std::string dir = std::filesystem::temp_directory_path() / ("fcl-golden-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<std::string> words = args;
    words.insert(words.begin(), FCL_TOOL_PATH);
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_words = environment;
    for (char** entry = environ; *entry; ++entry)
        if (!left_out(*entry)) env_words.emplace_back(*entry);
    std::vector<char*> envp;
    for (auto& word : env_words) envp.push_back(word.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ToolRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, FCL_TOOL_PATH, &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = read_file(dir + "/out");
    run.err = read_file(dir + "/err");
    std::filesystem::remove_all(dir);
    return run;
}

}  // namespace fcl::test
