// Command-line options of every fcl command.
#pragma once

#include <string>
#include <vector>

namespace fcltool {

struct Options {
    std::string command;
    std::vector<std::string> arguments;  // the positional words after the command
    std::vector<std::string> fields;     // --field NAME=TYPE:VALUE
    std::vector<std::string> columns;    // --column HEADER=FORMULA
    std::string formulas;                // --formulas FILE
    std::string group_by;
    std::string output = "table";
    std::string encoding = "utf8";
    std::string backend;                 // empty: the library's default (decimal)
    std::string profile_dir;
    unsigned long long seed = 1;
    unsigned threads = 1;                // --threads N: report records on N threads
    bool text_numbers = false;
    bool exact = false;  // numbers with every digit of the double, not 15 significant ones
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Fills options from argv; false with a message for unknown options, missing or bad values.
bool parse_options(int argc, char** argv, Options& options, std::string& error);

}  // namespace fcltool
