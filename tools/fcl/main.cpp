// fcl: the command-line host of fclib. Reads the options, sets the library's process-wide
// settings and runs the command.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "fcl.h"

namespace fcltool {

namespace {

// ---- Options ----------------------------------------------------------------------------

using Apply = bool (*)(Options&, const std::string&);

constexpr unsigned long kMaxThreads = 64;

struct OptionEntry {
    const char* name;
    bool takes_value;
    Apply apply;
};

bool one_of(const std::string& value, std::initializer_list<const char*> allowed) {
    for (const char* word : allowed)
        if (value == word) return true;
    return false;
}

struct BackendWord {
    const char* word;
    std::int32_t backend;
};

constexpr BackendWord kBackends[] = {{"decimal", FCL_BACKEND_DECIMAL}, {"double", FCL_BACKEND_DOUBLE}};

bool set_backend(Options& options, const std::string& word) {
    for (const auto& entry : kBackends) {
        if (word != entry.word) continue;
        options.backend = entry.backend;
        return true;
    }
    return false;
}

constexpr OptionEntry kOptions[] = {
    {"--field", true, [](Options& o, const std::string& v) { o.fields.push_back(v); return true; }},
    {"--column", true, [](Options& o, const std::string& v) { o.columns.push_back(v); return true; }},
    {"--formulas", true, [](Options& o, const std::string& v) { o.formulas = v; return true; }},
    {"--group-by", true, [](Options& o, const std::string& v) { o.group_by = v; return true; }},
    {"--output", true,
     [](Options& o, const std::string& v) { o.output = v; return one_of(v, {"table", "csv", "json"}); }},
    {"--encoding", true,
     [](Options& o, const std::string& v) { o.encoding = v; return one_of(v, {"utf8", "utf-8", "cp932"}); }},
    {"--backend", true, set_backend},
    {"--profile-dir", true, [](Options& o, const std::string& v) { o.profile_dir = v; return !v.empty(); }},
    {"--seed", true,
     [](Options& o, const std::string& v) {
         char* end = nullptr;
         o.seed = std::strtoull(v.c_str(), &end, 10);
         return !v.empty() && *end == 0;
     }},
    {"--threads", true,
     [](Options& o, const std::string& v) {
         char* end = nullptr;
         const unsigned long count = std::strtoul(v.c_str(), &end, 10);
         o.threads = static_cast<unsigned>(count);
         return !v.empty() && v[0] >= '0' && v[0] <= '9' && *end == 0 && count >= 1 && count <= kMaxThreads;
     }},
    {"--text-numbers", false, [](Options& o, const std::string&) { o.text_numbers = true; return true; }},
    {"--exact", false, [](Options& o, const std::string&) { o.exact = true; return true; }},
    {"--quiet", false, [](Options& o, const std::string&) { o.quiet = true; return true; }},
    {"--help", false, [](Options& o, const std::string&) { o.help = true; return true; }},
    {"--version", false, [](Options& o, const std::string&) { o.version = true; return true; }},
    {"-h", false, [](Options& o, const std::string&) { o.help = true; return true; }},
};

const OptionEntry* find_option_entry(const std::string& name) {
    for (const auto& entry : kOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

// Fills options from argv; false with a message for unknown options, missing or bad values.
bool parse_options(int argc, char** argv, Options& options, std::string& error) {
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--" && !options_end) {
            options_end = true;
            continue;
        }
        // A lone "-" (standard input), negative numbers and everything after "--" are arguments.
        if (options_end || word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9') ||
            word[1] == '.') {
            if (options.command.empty()) {
                options.command = word;
            } else {
                options.arguments.push_back(word);
            }
            continue;
        }
        std::string value;
        bool inline_value = false;
        const auto equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = word.substr(equals + 1);
            word.resize(equals);
            inline_value = true;
        }
        const OptionEntry* entry = find_option_entry(word);
        if (!entry) {
            error = "unknown option " + word;
            return false;
        }
        if (entry->takes_value && !inline_value) {
            if (i + 1 >= argc) {
                error = word + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!entry->takes_value && inline_value) {
            error = word + " takes no value";
            return false;
        }
        if (!entry->apply(options, value)) {
            error = "bad value for " + word + ": " + value;
            return false;
        }
    }
    return true;
}

// ---- Usage ------------------------------------------------------------------------------

constexpr const char* kUsage = R"usage(fcl - command-line host of fclib, the report formula library

Usage:
  fcl eval FORMULA [--field NAME=TYPE:VALUE ...] [settings]
      Compile and run one formula; print "<type> <value>" (number 7, string abc,
      logical true, date 2024-03-15, time 12:34:56). A failure prints the status
      code and its meaning on standard error and exits with status 1.
  fcl compile FORMULA [--field NAME=TYPE:VALUE ...] [settings]
      Print the compiled formula as hex bytes, then one line per item: the byte
      offset and the item (literal with type and value, field [Name], name Name,
      call INDEX NAME/ARGC).
  fcl report [DATA.csv] [--column "HEADER=FORMULA" ...] [--formulas FILE]
             [--group-by FIELD] [--output table|csv|json] [--threads N] [--quiet]
             [settings]
      Run formulas over every record of a CSV file: each formula is compiled once
      and executed per record; each becomes one output column. Without DATA and
      columns, runs the example report (examples/orders.csv, examples/orders.formulas,
      with the sample profile's era list unless a profile directory is set).
  fcl functions [NAME]
      List the built-in functions: index, name, argument and result types, and
      what each does (only the records of NAME when given).
  fcl gen-orders N [--seed S]
      Write N generated order records as CSV (for trying large reports).
  fcl help | fcl --help

Fields:
  TYPE is string, number, logical, time or date. Dates are yyyymmdd, yyyy/mm/dd or
  yyyy-mm-dd; times hh:mm or hh:mm:ss; logicals true/false or 1/0. A formula names
  a field as [Name] or, when the name is a plain word, as Name.

Reports:
  The CSV header row names the fields (RFC 4180 quoting; a cell may hold commas and
  line breaks); DATA "-" reads standard input. A header may carry a type:
  "Price:number", "OrderDate:date" (required on every header for standard input).
  Without one the type comes from the values: all dates -> date, all numbers ->
  number, all hh:mm:ss -> time, all true/false -> logical, else string.
  A column may use the columns before it by their header: "Amount=[Qty]*[Price]",
  then "Total=SUM([Amount])" (a field of the data wins over a column of its name).
  SUM, AVG, MIN, MAX and COUNT are running totals within each group (the runs of
  records with equal --group-by values; sort the data by that field) and start
  again with every group; empty cells are not counted. Their argument must be a
  field or column name. Each group ends with a subtotal row: the values of the
  columns that use them at the group's last record (table and json; csv stays one
  line per record). More SUM, AVG, MIN or MAX calls per record than the profile's
  SumSize, AvgSize, MinSize, MaxSize (default 10) show #limit. P forms (PSUM, ...)
  aggregate the current record. PAGE() numbers the rows.
  A formula file holds one "HEADER = FORMULA" per line, "#" comments and an
  optional "@group-by FIELD" line. Formulas that do not compile are listed with
  their status before any record runs; a record whose formula fails shows #STATUS
  in its cell (the message goes to standard error) and the report goes on.
  --threads N (1 to 64) runs the formulas on N threads, each with its own library
  handle, in chunks of records; the output is the same as with one thread. A report
  whose formulas use SUM, AVG, MIN, MAX, COUNT, their P forms or PAGE depends on the
  order of the records: it runs on one thread, with a note on standard error.
  Inputs over 100,000 records show progress on standard error; the rate in records
  per second is printed there at the end (--quiet leaves both out).

Settings:
  --text-numbers          numbers as decimal text (exact decimal arithmetic)
  --exact                 print doubles with every digit (default: 15 significant)
  --backend decimal|double  number backend of text-number mode (default decimal)
  --profile-dir DIR       read ORBISRPT.INI from DIR (default: FCLIB_PROFILE_DIR, else
                          the installed profile, else the source tree's sample profile)
  --encoding utf8|cp932   text of arguments, files and output (default utf8; the
                          library works in code page 932 and fcl converts at the edges)

A formula that starts with "-" goes after "--": fcl eval -- '-2 * 3'.

Exit status: 0 success, 1 a formula failed (or records failed in a report),
2 usage or input error.

Examples:
  fcl eval '1+2*3'
  fcl eval '[Price] * [Qty] + 1' --field Price=number:12.5 --field Qty=number:4
  fcl eval --text-numbers '0.1 + 0.2 = 0.3'
  fcl compile 'Amount > 5' --field Amount=number:1
  fcl report
  fcl report examples/orders.csv --column "Customer=[Customer]" \
      --column "Amount=[Qty]*[Price]" --column "Total=SUM(Amount)" --group-by Category
)usage";

int run_help(const Options&) {
    std::fputs(kUsage, stdout);
    return kExitOk;
}

// ---- Commands ---------------------------------------------------------------------------

struct Command {
    const char* name;
    int (*run)(const Options&);
};

constexpr Command kCommands[] = {
    {"eval", run_eval},
    {"compile", run_compile},
    {"report", run_report},
    {"gen-orders", run_gen_orders},
    {"functions", run_functions},
    {"help", run_help},
};

// --backend (NumSetup) then --text-numbers (FCLSETMODE), in the order the library expects:
// both before any formula is compiled.
void apply_library_settings(const Options& options) {
    if (options.backend != 0) NumSetup(options.backend);
    FCLSETMODE(options.text_numbers ? 1 : 0);
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
    if (!parse_options(argc, argv, options, error)) {
        std::fprintf(stderr, "fcl: %s (see fcl --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options.help) return run_help(options);
    if (options.version) {
        std::printf("fcl %s\n", FCL_VERSION);
        return kExitOk;
    }
    if (options.command.empty()) {
        run_help(options);
        return kExitUsage;
    }
    if (!apply_profile_dir(options, error)) {
        std::fprintf(stderr, "fcl: %s\n", error.c_str());
        return kExitUsage;
    }
    for (const auto& command : kCommands) {
        if (options.command != command.name) continue;
        apply_library_settings(options);
        return command.run(options);
    }
    std::fprintf(stderr, "fcl: unknown command \"%s\" (see fcl --help)\n", options.command.c_str());
    return kExitUsage;
}

}  // namespace

}  // namespace fcltool

int main(int argc, char** argv) {
    fcltool::start_process(argc, argv);
    return fcltool::finish_output(fcltool::run(argc, argv));
}
