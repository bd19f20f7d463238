// fcl, the command-line host of fclib: what its parts share. The command line is read in
// cli.cpp, which holds the help texts too, and dispatched in main.cpp; the commands eval,
// compile, functions and gen-orders, the compile diagnostics and the function catalogue live
// in commands.cpp, the linter's command in lint.cpp, the field host and the type names in host.cpp, the display width in
// output.cpp, the report in report.h, the platform start in platform.cpp (windows/platform.cpp
// on Windows), the profile's text check in profile_check.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fclib.h"
// The internal headers fcl reads, since the public headers do not expose them: the function
// list the library's table is made from, so that the names, argument counts, types, summaries
// and aggregate kinds fcl uses always agree with the function indexes inside compiled
// formulas; and the analysis API for tools (compile diagnostics with their reasons, the
// linter), which the static library that fcl links holds.
#include "analysis/analysis.h"
#include "functions/function_list.h"
#include "text_codec.h"

namespace fcltool {

// ---- The command line (cli.cpp) -------------------------------------------------------

// What `fcl report` does with a data character that code page 932 lacks.
enum class OnUnmappable { Fail, Replace, Skip };

struct Options {
    std::string command;
    std::vector<std::string> arguments;  // the positional words after the command
    std::vector<std::string> given;      // the options given, by name
    std::vector<std::string> fields;     // --field NAME=TYPE:VALUE
    std::vector<std::string> columns;    // --column HEADER=FORMULA
    std::string formulas;                // --formulas FILE
    std::string group_by;
    std::string output = "table";
    // "utf8" or "cp932" as given, in the order given (--encoding sets both); empty: from the
    // locale (locale_is_cp932).
    std::string input_encoding;
    std::string terminal_encoding;
    OnUnmappable on_unmappable = OnUnmappable::Fail;
    std::int32_t backend = 0;            // --backend: FCL_BACKEND_*, 0 for the library's default
    std::string profile_dir;
    unsigned long long seed = 1;
    unsigned threads = 1;                // --threads N: report records on N threads
    bool text_numbers = false;
    bool exact = false;  // numbers with every digit of the double, not 15 significant ones
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    // Settled before a command runs: whether data and formula files, the output and the
    // arguments are raw code page 932 (else UTF-8).
    bool input_cp932 = false;
    bool terminal_cp932 = false;
    bool arguments_cp932 = false;
};

// Exit statuses: 0 success; 1 a formula or data failure (a formula that does not compile or
// run, records that fail, data that cannot be read as CSV or converted to code page 932); 2 a
// usage error (an unknown command or option, a missing or bad argument, a file that cannot be
// opened, output that cannot be written).
constexpr int kExitOk = 0;
constexpr int kExitFormula = 1;
constexpr int kExitUsage = 2;

// Fills options from argv. False with a message for the first unknown option, missing or bad
// value, or option that the command does not take; the words after it are read all the same,
// so that the command is known for the message.
bool parse_command_line(int argc, char** argv, Options& options, std::string& error);

// Whether `name` is one of fcl's commands.
bool is_command(const std::string& name);

// The overview (`command` empty) or a command's usage and options, on standard output.
void print_help(const std::string& command);

// The short usage, on standard error, for a command line without a command.
void print_short_usage();

// Prints "fcl COMMAND: message" and the command's usage line on standard error; kExitUsage.
int usage_error(const std::string& command, const std::string& message);

// Whether LC_ALL, else LC_CTYPE, else LANG (the first one set and not empty) names the code
// set SJIS, CP932 or Shift_JIS, in any case: the default of both encodings.
bool locale_is_cp932();

// Reads a whole count: digits only, from 1 to `most`; false with the reason ("it has a sign",
// "it is 0", ...) for a word that is not one.
bool read_count(const std::string& word, unsigned long long most, unsigned long long& count, std::string& why);

// The commands; each returns the exit status.
int run_eval(const Options& options);
int run_compile(const Options& options);
int run_functions(const Options& options);
int run_gen_orders(const Options& options);
int run_report(const Options& options);
int run_lint(const Options& options);

// True for `fcl report` with neither data nor columns: the example report, which reads its
// era list (with 令和) from the sample profile unless a profile is chosen.
bool is_example_report(const Options& options);

// Text in the encoding of `from` as `to` writes it (through code page 932); the text itself
// when both are the same. Text that cannot be converted stays as it is.
std::string recoded(const std::string& text, TextCodec& from, TextCodec& to);

// ---- The platform -----------------------------------------------------------------------

// What the program does before it reads its options. On POSIX systems the arguments arrive as
// UTF-8 bytes and the standard streams pass bytes unchanged; a closed pipe is made to show as
// a write error rather than end the process silently. On Windows the arguments are taken from
// the UTF-16 command line and the standard streams are set to binary.
void start_process(int& argc, char**& argv);

// True where the arguments are UTF-8 whatever the terminal's encoding: on Windows, which
// takes them from the UTF-16 command line.
extern const bool kArgumentsAlwaysUtf8;

// The directory that holds the running program ("" when it cannot be told): from
// /proc/self/exe on Linux, GetModuleFileNameA on Windows.
std::string program_directory();

// Chooses where the library reads ORBISRPT.INI from before its first call (fcl links the
// library statically, which reads its load-time settings then): --profile-dir (which must
// exist); the sample profile of the source tree for the example report when FCLIB_PROFILE_DIR
// is not set; FCLIB_PROFILE_DIR; the installation's configuration directory when the file is
// there; else the sample profile, so that a fresh build knows the current eras. On Windows the
// library reads the Windows directory only, and --profile-dir is refused. Says on standard
// error when no profile file is found and the built-in settings apply, and when the file found
// is not code page 932 text (check_profile_text); false with a message for a --profile-dir that
// cannot be used.
bool apply_profile_dir(const Options& options, std::string& error);

// Says on standard error, once, when the profile file at `path` is not code page 932 text:
// naming the first line where a value (the text after the line's first '=') holds a lead byte
// that no trail byte follows on the line. A file that starts with a UTF-8 or UTF-16 byte-order
// mark is converted by the library as a whole and is not checked; nothing when it cannot be read.
void check_profile_text(const std::string& path);

// What applies when the library finds no profile file.
inline constexpr const char* kNoProfileSettings =
    "built-in settings apply (eras up to Heisei, months Jan to Dec, DateError 1, TimeError 1, 10 slots per "
    "aggregate)";

// ---- Types and statuses -----------------------------------------------------------------

// The library's type code for "string", "number", "logical", "time" or "date"; 0 for any
// other word.
std::uint8_t type_from_name(std::string_view name);

// The word of a value's type code: "string", "number", ...; "invalid" for any other byte.
const char* value_type_word(std::uint8_t type);

// The words of a type mask joined with "|" ("string|number"); "none" for no type.
std::string type_mask_words(std::uint16_t mask);

// Every type word, as a phrase: "string, number, logical, time or date".
std::string type_words_phrase();

// "status 1009: division by zero", in the words of fcl::status_message.
std::string status_line(std::uint16_t status);

// ---- The function catalogue -------------------------------------------------------------

constexpr unsigned kMaxArgs = 11;
// The kinds of aggregate slots the library keeps: COUNT, SUM, AVG, MIN, MAX.
constexpr unsigned kAggregateKinds = 5;

// One function record of the library, as fcl shows it.
struct FunctionName {
    const char* name;
    std::uint8_t argc;
    std::uint16_t result_mask;
    std::uint16_t arg_masks[kMaxArgs];
    const char* summary;
    fcl::Aggregation aggregation;
    std::uint8_t aggregate_kind;  // an aggregate's slot kind, below kAggregateKinds
};

// The record at a 1-based function index, or null outside 1..142.
const FunctionName* function_name(unsigned index);

// ---- Compiled formulas ------------------------------------------------------------------

struct FormulaItem {
    std::size_t offset;          // from the start of the compiled formula
    const std::uint8_t* bytes;   // the item's tagged value
    std::size_t size;
};

// The items up to the terminating byte, each checked to lie within the formula's length.
std::vector<FormulaItem> formula_items(const std::uint8_t* code, bool text_numbers);

// Function index of a call item, 0 for any other item.
unsigned call_index(const FormulaItem& item);

class RecordHost;

// A compile's status and, on failure, `where`: two lines (the formula, then a caret under the
// token where compilation stopped), and `token`: a phrase naming that token ("unknown function
// FOO", "at \"*\""), both in the outside encoding with control bytes escaped; `stopped_at` is
// that token as the library gave it (code page 932).
struct CompileOutcome {
    std::uint16_t status;
    std::string where;
    std::string token;
    std::string stopped_at;
    std::string reason;  // what in particular went wrong (the analysis API's reason); may be empty
};

// Compiles text (code page 932) in a context of fcl's own, host answering the type queries.
CompileOutcome compile_with_diagnostics(const std::string& text, RecordHost& host, unsigned char* code,
                                        std::uint16_t* length, TextCodec& codec);

// Why a formula text of `bytes` bytes (code page 932) cannot compile, or "" when it fits.
std::string formula_length_problem(std::size_t bytes);

// ---- Output -----------------------------------------------------------------------------

// Buffered writing to a stream: reports of a million rows go out in large blocks.
class OutputSink {
public:
    explicit OutputSink(std::FILE* file) : file_(file) {}
    ~OutputSink() { flush(); }
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;

    void write(std::string_view text) {
        buffer_ += text;
        if (buffer_.size() >= kFlushSize) flush();
    }
    void put(char c) {
        buffer_ += c;
        if (buffer_.size() >= kFlushSize) flush();
    }
    void flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
        buffer_.clear();
        std::fflush(file_);
    }

private:
    static constexpr std::size_t kFlushSize = 1 << 16;
    std::FILE* file_;
    std::string buffer_;
};

// Terminal columns of UTF-8 text (East Asian wide characters take two), or of code page 932
// text when `byte_widths` (one column per byte: double-byte characters are the wide ones).
std::size_t display_width(std::string_view text, bool byte_widths);

// ---- The field host ---------------------------------------------------------------------

// A CSV header cell split into field name and type: "Price:number" gives Price and number;
// without a known suffix the type is 0 (to be inferred) and the name is the whole cell.
struct HeaderField {
    std::string name;
    std::uint8_t type;
};
HeaderField split_header(std::string_view cell);

// Infers a column's type from all its non-empty values. Dates are tried before numbers, so that
// a column of valid yyyymmdd days is a date column; a column with no values is a string column.
class TypeGuess {
public:
    void see(std::string_view text);
    std::uint8_t type() const;
    // Whether a value read as a number has a zero before its first digit ("0312", "-07"), which
    // the number loses.
    bool leading_zeros() const { return leading_zero_; }

private:
    bool any_ = false;
    bool leading_zero_ = false;
    bool date_ = true;
    bool number_ = true;
    bool time_ = true;
    bool logical_ = true;
};

// Field name of the report's aggregate stand-ins (AggregateSync in report.h): a number that
// supplies no value to aggregates.
inline constexpr const char* kSyncField = "fcl:sync";

// The host side of the library's field callback: field values of the current record, the
// values of columns computed earlier in the same record, and the aggregate protocol.
//
// Aggregates: the query of SUM/AVG/MIN/MAX is answered "running total" (0xFFFF). A value
// request gets the current record's value and the record's pass key; the following request of
// the same call gets the end mark: 0xFFFE while the group goes on, 0xFFFF at the group's last
// record, so that the slot reports its group total and starts again. Empty cells and failed
// columns supply no value. P forms get the current record's value, then 0xFFFF.
class RecordHost {
public:
    explicit RecordHost(bool text_numbers) : text_numbers_(text_numbers) {}

    // Cell `cell` of each record is the field `name` (code page 932) of the given type.
    void add_field(std::string name, std::uint8_t type, std::size_t cell);

    // Column `column`'s result, once computed in a record, is readable under `name`.
    void add_column(std::string name, std::uint8_t type, std::size_t column);

    // The record that formulas now read (code page 932). `cells` and the texts it views stay
    // owned by the caller and unchanged until the next begin_record.
    void begin_record(const std::vector<std::string_view>* cells, std::uint16_t pass_key, bool group_last);

    // Stores column `column`'s result of the current record; `ok` false after a failed run.
    void set_column_result(std::size_t column, const std::uint8_t* value, bool ok);

    // The cells whose type the compiles since the last call asked for, each once; cleared.
    std::vector<std::size_t> take_asked_cells();

    // Counts aggregate calls from here on (for the report's aggregate stand-ins); the formula
    // about to run is the report's column `formula`.
    void begin_execution(std::size_t formula = 0);
    std::uint32_t aggregate_calls() const { return calls_; }

    // What went wrong in the last field request ("unknown field or column "X"", a value that
    // does not fit its field's type, a text that was cut), in code page 932, then cleared.
    bool has_problem() const { return !problem_.empty(); }
    std::string take_problem();

    // The library's field callback; `data` is the host for field requests. Aggregate requests
    // carry the library's own request in `data` and go to the host made current by activate()
    // on the calling thread (each thread of a report runs its own host).
    static std::int32_t callback(void* data, const char* name, void* raw, std::uint16_t* type);
    void activate() { current_ = this; }

    std::uint16_t pass_key() const { return pass_key_; }

private:
    struct Source {
        std::string name;
        std::uint8_t type;
        bool is_column;
        std::size_t index;
    };

    // A field's value in the current record, converted once and reused by every later fetch of
    // the record: the raw bytes and type word for numbers (double mode), dates, times and
    // logicals, the text cut to the raw buffer for the rest. Whole cache lines, as ColumnResult.
    struct alignas(64) Parsed {
        std::uint64_t record = 0;  // record_ when filled; 0 never matches
        std::uint16_t type = 0;
        bool is_text = false;
        bool cut = false;          // the text was cut: noted on every fetch
        std::uint8_t size = 0;
        std::uint8_t bytes[sizeof(double) + 1] = {};
        std::string_view text;
    };
    // A result column's value in the current record. Whole cache lines: each worker thread has
    // a host of its own, and a column written every record must share no line with another
    // worker's (false sharing cost a third of a two-thread run).
    struct alignas(64) ColumnResult {
        bool ok = false;
        std::array<std::uint8_t, FCL_MAX_VALUE> value{};
    };
    // Remembers which source a name pointer of the library stood for. The library passes each
    // name from its context's work area, so one formula asks with the same pointers in every
    // record (other formulas reuse them for other names: each formula has its own list). The
    // name itself is compared too, since a pointer alone proves nothing.
    struct NameSlot {
        const char* name = nullptr;
        const Source* source = nullptr;
    };
    static constexpr std::size_t kNameSlots = 8;  // per formula; more names share them
    struct NameSlots {
        std::array<NameSlot, kNameSlots> slots{};
        std::size_t next = 0;  // the slot a new name takes
    };

    const Source* find(const char* name);
    const Source* search(const char* name) const;
    std::int32_t field_request(const char* name, std::uint8_t* raw, std::uint16_t* type);
    std::int32_t value_request(const char* name, std::uint8_t* raw, std::uint16_t* type);
    std::int32_t p_value_request(const char* name, std::uint8_t* raw, std::uint16_t* type);
    // Writes the named source's value of this record for an aggregate; false when it has none.
    bool supply_value(const char* name, std::uint8_t* raw, std::uint16_t* type);
    // Writes the source's value for the callback; false (with a problem noted) when it has none
    // that fits, `empty` true when the cell is empty.
    bool write_value(const Source& source, std::uint8_t* raw, std::uint16_t* type, bool& empty);
    bool write_cell(const Source& source, std::string_view text, std::uint8_t* raw, std::uint16_t* type);
    // Fills `parsed` from the cell text; false (with a problem noted) when the text does not
    // fit the field's type.
    bool parse_cell(const Source& source, std::string_view text, Parsed& parsed);
    bool write_column(const Source& source, std::uint8_t* raw, std::uint16_t* type);
    void note(const Source& source, const std::string& what);

    static thread_local RecordHost* current_;

    bool text_numbers_;
    std::vector<Source> sources_;
    std::vector<ColumnResult> columns_;
    const std::vector<std::string_view>* cells_ = nullptr;
    std::uint64_t record_ = 1;
    std::vector<Parsed> parsed_;  // by cell index
    std::vector<NameSlots> names_;  // by formula
    NameSlots* formula_names_ = nullptr;
    std::uint16_t pass_key_ = 2;
    bool group_last_ = true;
    std::uint32_t calls_ = 0;
    bool pending_query_ = false;
    std::string problem_;
    std::vector<std::size_t> asked_cells_;
};

}  // namespace fcltool
