// fcl's command line: the options and the commands that take them, the parser, the help
// texts (the overview and one per command) and the usage messages.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "fcl.h"

namespace fcltool {

namespace {

// ---- Commands ---------------------------------------------------------------------------

enum : unsigned {
    kEval = 1u << 0,
    kCompile = 1u << 1,
    kReport = 1u << 2,
    kFunctions = 1u << 3,
    kGenOrders = 1u << 4,
    kHelpCommand = 1u << 5,
    kLint = 1u << 6,
};
constexpr unsigned kAllCommands = ~0u;
constexpr unsigned kFormulaCommands = kEval | kCompile | kReport | kLint;
constexpr unsigned kOutputCommands = kFormulaCommands | kGenOrders;

struct CommandText {
    const char* name;
    unsigned bit;
    const char* usage;    // the synopsis after "usage: "
    const char* summary;  // its line in the overview
    const char* text;      // what the command does, before its options
    const char* exits;     // its exit statuses, indented
    const char* examples;  // after them; "" for none
};

constexpr CommandText kCommandTexts[] = {
    {"eval", kEval, "fcl eval FORMULA [OPTIONS]", "compile and run one formula, print its value",
     R"help(Compiles and runs one formula and prints "<type> <value>": number 7, string abc,
logical true, date 2024-03-15, time 12:34:56. A formula that starts with "-" goes
after "--": fcl eval -- '-2 * 3'. A failure prints the status code and its meaning
on standard error.

A field given with --field has a TYPE of string, number, logical, time or date.
Dates are yyyymmdd, yyyy/mm/dd or yyyy-mm-dd; times hh:mm or hh:mm:ss; logicals
true/false, Y/N (either case) or 1/0. A formula names a field as [Name] or, when
the name is a plain word, as Name.
)help",
     "  0 success; 1 the formula does not compile or fails; 2 a usage error",
     R"help(Examples:
  fcl eval '1+2*3'
  fcl eval '[Price] * [Qty] + 1' --field Price=number:12.5 --field Qty=number:4
  fcl eval --text-numbers '0.1 + 0.2 = 0.3'
)help"},
    {"compile", kCompile, "fcl compile FORMULA [OPTIONS]", "print a formula's compiled bytes and items",
     R"help(Prints the compiled formula as hex bytes, then one line per item: the byte offset
and the item (literal with type and value, field [Name], name Name, call INDEX
NAME/ARGC). Fields are given as for fcl eval.
)help",
     "  0 success; 1 the formula does not compile; 2 a usage error",
     R"help(Example:
  fcl compile 'Amount > 5' --field Amount=number:1
)help"},
    {"report", kReport, "fcl report [DATA.csv|-] [OPTIONS]", "run formulas over every record of a CSV file",
     R"help(Runs formulas over every record of a CSV file: each formula is compiled once and
executed per record, and becomes one output column. DATA "-" reads standard
input. Without DATA and columns, runs the example report (orders.csv and
orders.formulas of the examples directory, with the sample profile's era list
unless a profile directory is set).

The CSV header row names the fields (RFC 4180 quoting; a cell may hold commas
and line breaks). A header may carry a type: "Price:number", "OrderDate:date",
"Tel:string" (required on every header for standard input). Without one the type
comes from the values: all dates -> date, all numbers -> number, all hh:mm:ss ->
time, all true/false -> logical, else string. When a column typed from its values
has numbers with leading zeros, or a formula on it fails with a type error, a
note says how to keep it as text.

A column may use the columns before it by their header: "Amount=[Qty]*[Price]",
then "Total=SUM([Amount])" (a field of the data wins over a column of its name).
A formula file holds one "HEADER = FORMULA" per line, "#" comments (whole lines,
or after a formula: a "#" outside "strings", 'c' characters and [field names]
starts one) and an optional "@group-by FIELD" line.

SUM, AVG, MIN, MAX and COUNT are running totals within each group (the runs of
records with equal --group-by values; sort the data by that field) and start
again with every group; empty cells are not counted. Their argument must be a
field or column name. Each group ends with a subtotal row: the values of the
columns that use them at the group's last record (table and json; csv stays one
line per record). More SUM, AVG, MIN or MAX calls per record than the profile's
SumSize, AvgSize, MinSize, MaxSize (default 10) show #limit. P forms (PSUM, ...)
aggregate the current record. PAGE() numbers the rows.

Formulas that do not compile are listed with their status before any record
runs; a record whose formula fails shows #STATUS in its cell (the message goes to
standard error) and the report goes on. A data character that code page 932
lacks stops the report, naming the character (U+XXXX), its row and its field,
unless --on-unmappable says otherwise.

--threads N runs the formulas on N threads, each with its own library handle, in
chunks of records; the output is the same as with one thread. A report whose
formulas use SUM, AVG, MIN, MAX, COUNT, their P forms or PAGE depends on the order
of the records: it runs on one thread, with a note on standard error.
)help",
     "  0 success; 1 a formula does not compile, records failed, or the data cannot be\n"
     "  read (a broken quote, a character that code page 932 lacks); 2 a usage error\n"
     "  or a file that cannot be opened",
     R"help(Examples:
  fcl report
  fcl report examples/orders.csv --column "Customer=[Customer]" \
      --column "Amount=[Qty]*[Price]" --column "Total=SUM(Amount)" --group-by Category
  fcl gen-orders 1000000 | fcl report - --column "Amount=[Qty]*[Price]" --threads 4
)help"},
    {"lint", kLint, "fcl lint FORMULA|--formulas FILE [DATA.csv] [OPTIONS]", "check formulas for the language's traps",
     R"help(Checks formulas for what compiles but does not do what it seems to: a division
that IF appears to guard (IF runs both branches), PAGE() or an aggregate in a
branch, STR without digits joined to text, ROUND with a positive digit count, =
or <> on computed fractions in double-number mode, a number literal with more
digits than a double keeps, a constant SELECT index out of range, a FORMAT
picture too narrow for a constant, a backslash before a picture character. Each
warning names its code, underlines the span and, where there is one, gives the
formula with its fix. A formula that does not compile is reported with the
reason. Checks one FORMULA, or a report's columns (--formulas, --column) with
the field types of DATA.csv's header; a name nothing types is taken as a
number. The warnings are listed in docs/language.md, "Before you write a
formula".
)help",
     "  0 no findings; 1 a warning, or a formula that does not compile; 2 a usage error",
     R"help(Examples:
  fcl lint 'IF([Qty] = 0, 0, [Amount] / [Qty])'
  fcl lint --formulas examples/orders.formulas examples/orders.csv
)help"},
    {"functions", kFunctions, "fcl functions [NAME]", "list the built-in functions",
     R"help(Lists the built-in functions: index, name, argument and result types, and what
each does; only the records of NAME (in any case) when given.
)help",
     "  0 success; 2 a usage error, or no function has that name", ""},
    {"gen-orders", kGenOrders, "fcl gen-orders N [OPTIONS]", "write N generated order records as CSV",
     R"help(Writes N generated order records as CSV, with typed headers, in category blocks
(ready for --group-by Category), for trying large reports. N is a whole number
from 1 up, digits only. The same seed gives the same records.
)help",
     "  0 success; 2 a usage error (a count that is not a whole number from 1 up)", ""},
    {"help", kHelpCommand, "fcl help [COMMAND]", "the overview, or a command's usage and options",
     R"help(Prints the overview, or the usage and options of COMMAND (as fcl COMMAND --help).
)help",
     "  0 success; 2 a usage error", ""},
};

const CommandText* find_command(const std::string& name) {
    for (const auto& command : kCommandTexts)
        if (name == command.name) return &command;
    return nullptr;
}

// ---- Options ----------------------------------------------------------------------------

using Apply = bool (*)(Options&, const std::string&);

constexpr unsigned long kMaxThreads = 64;

bool one_of(const std::string& value, std::initializer_list<const char*> allowed) {
    for (const char* word : allowed)
        if (value == word) return true;
    return false;
}

// "utf8" for "utf8" and "utf-8", "cp932" for "cp932"; false for any other word.
bool set_encoding(std::string& encoding, const std::string& word) {
    if (!one_of(word, {"utf8", "utf-8", "cp932"})) return false;
    encoding = word == "cp932" ? "cp932" : "utf8";
    return true;
}

bool set_backend(Options& options, const std::string& word) {
    if (word == "decimal") options.backend = FCL_BACKEND_DECIMAL;
    else if (word == "double") options.backend = FCL_BACKEND_DOUBLE;
    else return false;
    return true;
}

bool set_unmappable(Options& options, const std::string& word) {
    if (word == "fail") options.on_unmappable = OnUnmappable::Fail;
    else if (word == "replace") options.on_unmappable = OnUnmappable::Replace;
    else if (word == "skip") options.on_unmappable = OnUnmappable::Skip;
    else return false;
    return true;
}

struct OptionEntry {
    const char* name;
    const char* value;   // the value's form in the help; null for an option without one
    const char* wants;   // what a bad value is told it should be
    unsigned commands;   // the commands that take it
    const char* help;    // lines of the help after the first are indented under it
    Apply apply;
};

constexpr OptionEntry kOptions[] = {
    {"--field", "NAME=TYPE:VALUE", "", kEval | kCompile | kLint, "a field the formula reads (repeatable)",
     [](Options& o, const std::string& v) { o.fields.push_back(v); return true; }},
    {"--column", "HEADER=FORMULA", "", kReport | kLint, "an output column (repeatable)",
     [](Options& o, const std::string& v) { o.columns.push_back(v); return true; }},
    {"--formulas", "FILE", "a file name", kReport | kLint, "the columns of a formula file, before those of\n--column",
     [](Options& o, const std::string& v) { o.formulas = v; return !v.empty(); }},
    {"--group-by", "FIELD", "a field name", kReport, "group the records by FIELD (over a formula file's\n@group-by)",
     [](Options& o, const std::string& v) { o.group_by = v; return !v.empty(); }},
    {"--output", "table|csv|json", "table, csv or json", kReport, "output format (default table)",
     [](Options& o, const std::string& v) { o.output = v; return one_of(v, {"table", "csv", "json"}); }},
    {"--threads", "N", "a count from 1 to 64", kReport, "run the formulas on N threads, 1 to 64 (default 1)",
     [](Options& o, const std::string& v) {
         unsigned long long count = 0;
         std::string why;
         if (!read_count(v, kMaxThreads, count, why)) return false;
         o.threads = static_cast<unsigned>(count);
         return true;
     }},
    {"--on-unmappable", "fail|replace|skip", "fail, replace or skip", kReport,
     "what a data character that code page 932 lacks does:\n"
     "fail stops the report (the default), replace writes\n"
     "'?' for it, skip leaves its record out (and says how\n"
     "many); each names the character, row and field",
     set_unmappable},
    {"--seed", "S", "a whole number, digits only", kGenOrders, "seed of the generator (default 1)",
     [](Options& o, const std::string& v) {
         std::string why;
         if (v != "0") return read_count(v, ~0ull, o.seed, why);
         o.seed = 0;
         return true;
     }},
    {"--verbose", nullptr, "", kReport,
     "statistics on standard error: progress every\n100,000 records, the rate at the end",
     [](Options& o, const std::string&) {
         o.verbose = true;
         return true;
     }},
    {"--quiet", nullptr, "", kReport, "no notes on standard error (the one-thread note,\nthe typing notes)",
     [](Options& o, const std::string&) {
         o.quiet = true;
         return true;
     }},
    {"--text-numbers", nullptr, "", kFormulaCommands, "numbers as decimal text (exact decimal arithmetic)",
     [](Options& o, const std::string&) {
         o.text_numbers = true;
         return true;
     }},
    {"--exact", nullptr, "", kEval | kReport, "print doubles with every digit (default: 15\nsignificant)",
     [](Options& o, const std::string&) {
         o.exact = true;
         return true;
     }},
    {"--backend", "decimal|double", "decimal or double", kFormulaCommands,
     "number backend of text-number mode (default\ndecimal)", set_backend},
    {"--profile-dir", "DIR", "a directory", kFormulaCommands,
     "read ORBISRPT.INI from DIR (not on Windows, where\nthe library reads the Windows directory only)",
     [](Options& o, const std::string& v) { o.profile_dir = v; return !v.empty(); }},
    {"--input-encoding", "utf8|cp932", "utf8 or cp932", kReport | kLint,
     "encoding of the data and formula files (default:\nfrom the locale)",
     [](Options& o, const std::string& v) { return set_encoding(o.input_encoding, v); }},
    {"--terminal-encoding", "utf8|cp932", "utf8 or cp932", kOutputCommands,
     "encoding of the arguments and the output (default:\nfrom the locale)",
     [](Options& o, const std::string& v) { return set_encoding(o.terminal_encoding, v); }},
    {"--encoding", "utf8|cp932", "utf8 or cp932", kOutputCommands,
     "both encodings at once: --input-encoding and\n--terminal-encoding",
     [](Options& o, const std::string& v) {
         return set_encoding(o.input_encoding, v) && set_encoding(o.terminal_encoding, v);
     }},
    {"--help", nullptr, "", kAllCommands, "this help (also -h)",
     [](Options& o, const std::string&) {
         o.help = true;
         return true;
     }},
    {"--version", nullptr, "", kAllCommands, "print fcl's version",
     [](Options& o, const std::string&) {
         o.version = true;
         return true;
     }},
};

const OptionEntry* find_option(const std::string& name) {
    for (const auto& entry : kOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

// ---- Help -------------------------------------------------------------------------------

constexpr std::size_t kOptionColumn = 28;  // where the options' help starts

// The options of one command, with --help; for the overview (kAllCommands) those that every
// command takes.
void print_options(unsigned command_bit) {
    std::printf("Options:\n");
    for (const auto& entry : kOptions) {
        const bool everywhere = entry.commands == kAllCommands;
        const bool own = (entry.commands & command_bit) && (!everywhere || std::strcmp(entry.name, "--help") == 0);
        const bool shown = command_bit == kAllCommands ? everywhere : own;
        if (!shown) continue;
        std::string left = std::string("  ") + entry.name;
        if (entry.value) left += std::string(" ") + entry.value;
        if (left.size() + 1 > kOptionColumn) {
            std::printf("%s\n", left.c_str());
            left.clear();
        }
        left.resize(kOptionColumn, ' ');
        for (const char* line = entry.help; *line;) {
            const char* end = std::strchr(line, '\n');
            const std::size_t length = end ? static_cast<std::size_t>(end - line) : std::strlen(line);
            std::printf("%s%.*s\n", left.c_str(), static_cast<int>(length), line);
            left.assign(kOptionColumn, ' ');
            line += length + (end ? 1 : 0);
        }
    }
}

constexpr const char* kOverview = R"help(fcl - command-line host of fclib, the report formula library

usage: fcl COMMAND [ARGUMENTS] [OPTIONS]

Commands:
)help";

constexpr const char* kOverviewMiddle = R"help(
"fcl COMMAND --help" (or "fcl help COMMAND") shows a command's usage and options.
Options may stand before or after the command; "--" ends them.

)help";

constexpr const char* kOverviewRest = R"help(
Encodings:
  The library works in code page 932 (Shift_JIS); fcl converts at the edges. Data
  and formula files are read in the input encoding, arguments and output in the
  terminal encoding: utf8 or cp932 each (--input-encoding, --terminal-encoding,
  or --encoding for both). Both default to cp932 when the locale's code set
  (LC_ALL, else LC_CTYPE, else LANG) is SJIS, CP932 or Shift_JIS, else to utf8.
  From UTF-8, U+00A5 (¥) and U+203E (‾) become the code page 932 bytes 0x5C and
  0x7E, as Japanese conversions write them; they read back as \ and ~.

Environment:
  FCLIB_PROFILE_DIR       the directory of ORBISRPT.INI (when --profile-dir is not
                          given); else the configured directory when the file
                          is there, else the sample profile (the source tree's,
                          or the copy installed with fcl)
  LC_ALL, LC_CTYPE, LANG  the default encodings (see above)

Exit status:
  0 success; 1 a formula or data failure (a formula that does not compile or run,
  records that fail, data that cannot be read or converted); 2 a usage error (an
  unknown command or option, a missing or bad argument, a file that cannot be
  opened, output that cannot be written).

Examples:
  fcl eval 'SEI2WA(CTOD("2024/04/01"))'
  fcl report
  fcl report --help
)help";

}  // namespace

bool is_command(const std::string& name) { return find_command(name) != nullptr; }

void print_help(const std::string& command) {
    const CommandText* text = find_command(command);
    if (!text) {
        std::fputs(kOverview, stdout);
        for (const auto& entry : kCommandTexts) {
            const std::string name = std::string(entry.usage).substr(4);
            std::printf("  %-22s %s\n", name.substr(0, name.find(" [OPTIONS]")).c_str(), entry.summary);
        }
        std::fputs(kOverviewMiddle, stdout);
        print_options(kAllCommands);
        std::fputs(kOverviewRest, stdout);
        return;
    }
    std::printf("usage: %s\n\n%s\n", text->usage, text->text);
    print_options(text->bit);
    std::printf("\nExit status:\n%s\n", text->exits);
    if (*text->examples) std::printf("\n%s", text->examples);
}

void print_short_usage() {
    std::string names;
    for (const auto& entry : kCommandTexts) names += std::string(names.empty() ? "" : ", ") + entry.name;
    std::fprintf(stderr, "usage: fcl COMMAND [ARGUMENTS] [OPTIONS]\ncommands: %s\n"
                         "see fcl --help, and fcl COMMAND --help for a command's options\n",
                 names.c_str());
}

int usage_error(const std::string& command, const std::string& message) {
    const CommandText* text = find_command(command);
    if (!text) {
        std::fprintf(stderr, "fcl: %s\n", message.c_str());
        print_short_usage();
        return kExitUsage;
    }
    std::fprintf(stderr, "fcl %s: %s\nusage: %s; see fcl %s --help\n", text->name, message.c_str(), text->usage,
                 text->name);
    return kExitUsage;
}

bool read_count(const std::string& word, unsigned long long most, unsigned long long& count, std::string& why) {
    count = 0;
    if (word.empty()) {
        why = "it is empty";
        return false;
    }
    if (word[0] == '-' || word[0] == '+') {
        why = "a count has no sign";
        return false;
    }
    for (const char c : word) {
        if (c < '0' || c > '9') {
            why = "a count is digits only";
            return false;
        }
        const auto digit = static_cast<unsigned>(c - '0');
        if (count > (most - digit) / 10) {
            why = "the most is " + std::to_string(most);
            return false;
        }
        count = count * 10 + digit;
    }
    if (count == 0) {
        why = "it must be 1 or more";
        return false;
    }
    return true;
}

bool parse_command_line(int argc, char** argv, Options& options, std::string& error) {
    bool options_end = false;
    const auto fail = [&error](std::string message) {
        if (error.empty()) error = std::move(message);
    };
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
        if (word == "-h") word = "--help";
        std::string value;
        bool inline_value = false;
        const auto equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = word.substr(equals + 1);
            word.resize(equals);
            inline_value = true;
        }
        const OptionEntry* entry = find_option(word);
        if (!entry) {
            fail("unknown option " + word);
            continue;
        }
        if (entry->value && !inline_value) {
            if (i + 1 >= argc) {
                fail(word + " needs a value: " + entry->value);
                continue;
            }
            value = argv[++i];
        } else if (!entry->value && inline_value) {
            fail(word + " takes no value");
            continue;
        }
        options.given.push_back(word);
        if (!entry->apply(options, value)) fail(word + " wants " + entry->wants + ", not \"" + value + "\"");
    }
    const CommandText* command = find_command(options.command);
    if (!command) return error.empty();
    for (const auto& name : options.given) {
        if (find_option(name)->commands & command->bit) continue;
        fail(options.command + " takes no " + name);
    }
    return error.empty();
}

bool locale_is_cp932() {
    const char* locale = nullptr;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        locale = std::getenv(variable);
        if (locale && *locale) break;
    }
    if (!locale) return false;
    const char* dot = std::strchr(locale, '.');
    if (!dot) return false;
    std::string codeset(dot + 1);
    codeset = codeset.substr(0, codeset.find('@'));
    for (char& c : codeset)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return codeset == "SJIS" || codeset == "CP932" || codeset == "SHIFT_JIS";
}

}  // namespace fcltool
