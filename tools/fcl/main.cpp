// fcl: the command-line host of fclib. Reads the command line (cli.cpp), settles the encodings,
// sets the library's process-wide settings and runs the command.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fcl.h"

namespace fcltool {

namespace {

int run_help(const Options& options) {
    if (options.arguments.size() > 1) return usage_error("help", "give at most one command");
    const std::string command = options.arguments.empty() ? "" : options.arguments[0];
    if (!command.empty() && !is_command(command)) return usage_error("help", "no command is named \"" + command + "\"");
    print_help(command);
    return kExitOk;
}

struct Command {
    const char* name;
    int (*run)(const Options&);
    bool uses_library;  // reads the profile and the library's settings
};

constexpr Command kCommands[] = {
    {"eval", run_eval, true},
    {"compile", run_compile, true},
    {"report", run_report, true},
    {"lint", run_lint, true},
    {"gen-orders", run_gen_orders, false},
    {"functions", run_functions, false},
    {"help", run_help, false},
};

// --backend (NumSetup) then --text-numbers (FCLSETMODE), in the order the library expects:
// both before any formula is compiled.
void apply_library_settings(const Options& options) {
    if (options.backend != 0) NumSetup(options.backend);
    FCLSETMODE(options.text_numbers ? 1 : 0);
}

// The encodings given, else the locale's.
void settle_encodings(Options& options) {
    const bool locale_cp932 = locale_is_cp932();
    options.input_cp932 = options.input_encoding.empty() ? locale_cp932 : options.input_encoding == "cp932";
    options.terminal_cp932 = options.terminal_encoding.empty() ? locale_cp932 : options.terminal_encoding == "cp932";
    options.arguments_cp932 = options.terminal_cp932 && !kArgumentsAlwaysUtf8;
}

// Output that did not reach its destination (a full disk, a closed pipe) is a failure: the
// exit status says so, whatever the command itself reported.
int finish_output(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "fcl: cannot write the output: %s\n", std::strerror(errno));
    return kExitUsage;
}

int run(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parse_command_line(argc, argv, options, error)) return usage_error(options.command, error);
    if (!options.command.empty() && !is_command(options.command))
        return usage_error("", "unknown command \"" + options.command + "\"");
    if (options.help) {
        print_help(options.command);
        return kExitOk;
    }
    if (options.version) {
        std::printf("fcl %s\n", FCL_VERSION);
        return kExitOk;
    }
    if (options.command.empty()) {
        print_short_usage();
        return kExitUsage;
    }
    settle_encodings(options);
    for (const auto& command : kCommands) {
        if (options.command != command.name) continue;
        if (command.uses_library) {
            if (!apply_profile_dir(options, error)) {
                std::fprintf(stderr, "fcl: %s\n", error.c_str());
                return kExitUsage;
            }
            apply_library_settings(options);
        }
        return command.run(options);
    }
    return usage_error("", "unknown command \"" + options.command + "\"");
}

}  // namespace

}  // namespace fcltool

int main(int argc, char** argv) {
    fcltool::start_process(argc, argv);
    return fcltool::finish_output(fcltool::run(argc, argv));
}
