// fcl: command-line host of fclib. Dispatches to the commands.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "fclib.h"
#include "library_settings.h"
#include "options.h"
#include "process_start.h"
#include "profile_dir.h"

namespace {

using fcltool::Options;

struct Command {
    const char* name;
    int (*run)(const Options&);
};

constexpr Command kCommands[] = {
    {"eval", fcltool::run_eval},
    {"compile", fcltool::run_compile},
    {"report", fcltool::run_report},
    {"gen-orders", fcltool::run_gen_orders},
    {"functions", fcltool::run_functions},
    {"help", fcltool::run_help},
};

// Output that did not reach its destination (a full disk, a closed pipe) is a failure: the
// exit status says so, whatever the command itself reported.
int finish_output(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "fcl: cannot write the output: %s\n", std::strerror(errno));
    return fcltool::kExitUsage;
}

int run(int argc, char** argv) {
    Options options;
    std::string error;
    if (!fcltool::parse_options(argc, argv, options, error)) {
        std::fprintf(stderr, "fcl: %s (see fcl --help)\n", error.c_str());
        return fcltool::kExitUsage;
    }
    if (options.help) return fcltool::run_help(options);
    if (options.version) {
        std::printf("fcl %s\n", FCL_VERSION);
        return fcltool::kExitOk;
    }
    if (options.command.empty()) {
        fcltool::run_help(options);
        return fcltool::kExitUsage;
    }
    if (!fcltool::apply_profile_dir(options, error)) {
        std::fprintf(stderr, "fcl: %s\n", error.c_str());
        return fcltool::kExitUsage;
    }
    for (const auto& command : kCommands) {
        if (options.command != command.name) continue;
        fcltool::apply_library_settings(options);
        return command.run(options);
    }
    std::fprintf(stderr, "fcl: unknown command \"%s\" (see fcl --help)\n", options.command.c_str());
    return fcltool::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    fcltool::start_process(argc, argv);
    return finish_output(run(argc, argv));
}
