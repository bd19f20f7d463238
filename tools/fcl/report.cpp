// fcl report: the command, its request (columns from the command line and a formula file),
// the columns compiled once, one record's run, and the record loop on one thread.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>

#include "fclib.hpp"
#include "report.h"
#include "value_text.h"

namespace fcltool {

// ---- The request ------------------------------------------------------------------------

namespace {

// The example files: those of the source tree fcl was built from, else those installed with
// it, found from the program's own directory.
std::string examples_dir() {
    std::error_code failed;
    if (std::filesystem::is_directory(FCL_EXAMPLES_DIR, failed)) return FCL_EXAMPLES_DIR;
    const std::string program = program_directory();
    return program.empty() ? std::string(FCL_EXAMPLES_DIR) : program + "/" + FCL_INSTALLED_EXAMPLES;
}

// The codecs of a report: the data and formula files, the arguments, the output.
struct ReportCodecs {
    explicit ReportCodecs(const Options& options)
        : input(options.input_cp932), arguments(options.arguments_cp932), terminal(options.terminal_cp932) {}
    TextCodec input;
    TextCodec arguments;
    TextCodec terminal;
};

// What `fcl report` is asked to do: the data file, the columns and the grouping.
struct ReportRequest {
    std::string data;     // path, or "-" for standard input
    std::vector<ColumnText> columns;
    std::string group_by;        // code page 932
    std::string group_by_shown;  // as the terminal shows it
    std::string output;
};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool is_lead_byte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// The length of the character at `at`: a code page 932 double-byte character in cp932 text;
// a byte else, as UTF-8 text keeps every byte of its characters above ASCII.
std::size_t char_length(const std::string& text, std::size_t at, bool cp932) {
    return cp932 && is_lead_byte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// A formula without its trailing comment: a '#' outside string literals ("..."), character
// literals ('c') and field names ([...]) starts one. Inside them a backslash takes the next
// character, as the library reads them; in UTF-8 text U+00A5 is a backslash too, since it
// becomes one in code page 932.
std::string without_comment(const std::string& formula, bool cp932) {
    char closing = 0;  // the mark that ends the literal the scan is in
    for (std::size_t i = 0; i < formula.size(); i += char_length(formula, i, cp932)) {
        const char c = formula[i];
        if (!closing) {
            if (c == '#') return trimmed(formula.substr(0, i));
            if (c == '"' || c == '\'') closing = c;
            if (c == '[') closing = ']';
            continue;
        }
        const bool yen = !cp932 && formula.compare(i, 2, "\xC2\xA5") == 0;
        if (c == '\\' || yen) {
            i += yen ? 2 : 1;
            if (i >= formula.size()) break;
        } else if (c == closing) {
            closing = 0;
        }
    }
    return formula;
}

// "HEADER=FORMULA" split at the first "=", blanks around both parts removed; the formula of
// a formula file without its comment.
bool parse_column(const std::string& text, bool comments, bool cp932, ColumnText& column) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) return false;
    column.header = trimmed(text.substr(0, equals));
    column.formula = trimmed(text.substr(equals + 1));
    if (comments) column.formula = without_comment(column.formula, cp932);
    return !column.header.empty();
}

// Fills the column's code page 932 texts from `from`, and its shown texts as the terminal
// shows them; a text with no code page 932 form leaves its problem.
void settle_column(ColumnText& column, TextCodec& from, TextCodec& terminal) {
    Unmappable problem;
    if (!from.to_cp932(column.header, column.name, problem, false) ||
        !from.to_cp932(column.formula, column.source, problem, false))
        column.problem = problem.phrase(!terminal.raw());
    column.header = recoded(column.header, from, terminal);
    column.formula = recoded(column.formula, from, terminal);
}

// The formula file's columns and its @group-by (code page 932). Returns kExitOk, or the exit
// status with a message: a file that cannot be opened is a usage error, a line that is not a
// column a formula failure.
int load_formula_file(const std::string& path, ReportCodecs& codecs, ReportRequest& request, std::string& group_by,
                      std::string& error) {
    std::FILE* file = open_input_file(path, error);
    if (!file) return kExitUsage;
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
    std::fclose(file);
    if (!codecs.input.raw() && text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("@group-by", 0) == 0) {
            Unmappable problem;
            if (!codecs.input.to_cp932(trimmed(line.substr(9)), group_by, problem, false)) {
                error = path + ":" + std::to_string(number) + ": " + problem.phrase(!codecs.terminal.raw());
                return kExitFormula;
            }
            continue;
        }
        ColumnText column;
        if (!parse_column(line, true, codecs.input.raw(), column)) {
            error = path + ":" + std::to_string(number) + ": expected HEADER = FORMULA";
            return kExitFormula;
        }
        settle_column(column, codecs.input, codecs.terminal);
        request.columns.push_back(std::move(column));
    }
    return kExitOk;
}

// Without a data file and without columns the example report runs. A formula file's
// "@group-by" applies unless --group-by is given. Returns kExitOk, or the exit status with a
// message.
int build_report_request(const Options& options, ReportCodecs& codecs, ReportRequest& request, std::string& error) {
    if (options.arguments.size() > 1) return usage_error("report", "give at most one data file");
    const bool example = is_example_report(options);
    const std::string examples = example ? examples_dir() : "";
    request.data = options.arguments.empty() ? examples + "/orders.csv" : options.arguments[0];
    request.output = options.output;
    std::string file_group_by;
    const std::string formulas = example ? examples + "/orders.formulas" : options.formulas;
    if (!formulas.empty()) {
        const int loaded = load_formula_file(formulas, codecs, request, file_group_by, error);
        if (loaded != kExitOk) return loaded;
    }
    for (const auto& text : options.columns) {
        ColumnText column;
        if (!parse_column(text, false, codecs.arguments.raw(), column))
            return usage_error("report", "--column wants HEADER=FORMULA, not \"" +
                                             recoded(text, codecs.arguments, codecs.terminal) + "\"");
        settle_column(column, codecs.arguments, codecs.terminal);
        request.columns.push_back(std::move(column));
    }
    if (request.columns.empty())
        return usage_error("report", "no columns: give --column HEADER=FORMULA or --formulas FILE");
    if (options.group_by.empty()) {
        request.group_by = file_group_by;
        codecs.terminal.to_outside(file_group_by, request.group_by_shown);
    } else {
        codecs.arguments.to_cp932(options.group_by, request.group_by);
        request.group_by_shown = recoded(options.group_by, codecs.arguments, codecs.terminal);
    }
    return kExitOk;
}

}  // namespace

int report_columns(const Options& options, std::vector<ColumnText>& columns, std::vector<InputField>& fields,
                   std::string& error) {
    ReportCodecs codecs(options);
    ReportRequest request;
    const int built = build_report_request(options, codecs, request, error);
    if (built != kExitOk) return built;
    columns = std::move(request.columns);
    if (options.arguments.empty()) return kExitOk;
    ReportInput input;
    const int opened = input.open(request.data, codecs.input, codecs.terminal, error);
    if (opened == kExitOk) fields = input.fields();
    return opened;
}

bool is_example_report(const Options& options) {
    return options.command == "report" && options.arguments.empty() && options.columns.empty() &&
           options.formulas.empty();
}

// ---- The compiled columns ---------------------------------------------------------------

namespace {

void print_compile_failure(const ColumnText& column, const std::string& message) {
    std::fprintf(stderr, "fcl: column \"%s\": cannot compile %s\nfcl:   %s\n", column.header.c_str(),
                 column.formula.c_str(), message.c_str());
}

// The running aggregates of a compiled formula; false when an aggregate (running or P form)
// does not follow a field or name reference, from which alone the library takes an aggregate's
// values.
bool collect_aggregates(ReportFormula& formula, bool text_numbers) {
    const auto items = formula_items(formula.code, text_numbers);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const FunctionName* function = function_name(call_index(items[i]));
        if (!function) continue;
        const bool aggregate = function->aggregation != fcl::Aggregation::None;
        // PAGE's counter and the aggregates' slots live in the library for the whole process.
        if (!formula.ordered_call && (aggregate || std::strcmp(function->name, "PAGE") == 0))
            formula.ordered_call = function->name;
        if (!aggregate) continue;
        const std::uint8_t before = i > 0 ? items[i - 1].bytes[0] : 0;
        if (before != FCL_T_FIELD && before != FCL_T_NAME) {
            print_compile_failure(formula.text, std::string(function->name) +
                                                    " takes its values from a field or column name: write the "
                                                    "expression as a column of its own and aggregate that column");
            return false;
        }
        if (function->aggregation == fcl::Aggregation::Running) formula.aggregates.push_back(function->aggregate_kind);
    }
    return true;
}

// The notes on fields typed from their values, each said once (none with --quiet): a number
// field whose values have leading zeros, which the numbers lose, and a field that a formula's
// type error stopped at (or, when it stopped at no field, the typed fields it asked for).
class TypingNotes {
public:
    TypingNotes(const std::vector<InputField>& fields, bool quiet)
        : fields_(fields), said_(fields.size()), quiet_(quiet) {}

    void leading_zeros() {
        for (std::size_t i = 0; i < fields_.size(); ++i)
            if (fields_[i].leading_zeros) say(i);
    }

    void type_error(const std::string& stopped_at, const std::vector<std::size_t>& asked) {
        std::string name = stopped_at;
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
            name = name.substr(1, name.size() - 2);
            for (std::size_t at = name.find("\\]"); at != std::string::npos; at = name.find("\\]", at + 1))
                name.erase(at, 1);
        }
        for (const std::size_t cell : asked) {
            if (cell < fields_.size() && fields_[cell].name == name && typed(cell)) return say(cell);
        }
        for (const std::size_t cell : asked)
            if (typed(cell)) say(cell);
    }

private:
    bool typed(std::size_t cell) const {
        return cell < fields_.size() && fields_[cell].inferred && fields_[cell].type != FCL_T_STRING;
    }

    void say(std::size_t cell) {
        if (quiet_ || said_[cell]) return;
        said_[cell] = true;
        const InputField& field = fields_[cell];
        std::fprintf(stderr, "fcl: %s was typed %s from its values; write %s:string in the header to keep it as text\n",
                     field.label.c_str(), value_type_word(field.type), field.label.c_str());
    }

    const std::vector<InputField>& fields_;
    std::vector<bool> said_;
    bool quiet_;
};

// Compiles the columns in order; each column is made readable by name to the ones after it.
// Prints every failure with the formula, the status and its meaning; false if any failed.
bool compile_columns(const std::vector<ColumnText>& columns, TextCodec& terminal, RecordHost& host, bool text_numbers,
                     TypingNotes& notes, std::vector<ReportFormula>& formulas) {
    bool all = true;
    formulas.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        ReportFormula& formula = formulas[i];
        formula.text = columns[i];
        if (!formula.text.problem.empty()) {
            print_compile_failure(formula.text, formula.text.problem);
            all = false;
            continue;
        }
        const std::string& text = formula.text.source;
        host.take_asked_cells();
        const CompileOutcome compiled = compile_with_diagnostics(text, host, formula.code, &formula.length, terminal);
        if (compiled.status != FCL_OK) {
            std::string message = status_line(compiled.status);
            if (!compiled.token.empty()) message += " (" + compiled.token + ")\n" + compiled.where;
            if (!compiled.reason.empty()) message += "\nfcl:   " + compiled.reason;
            std::string detail = formula_length_problem(text.size());
            if (host.has_problem()) terminal.to_outside(host.take_problem(), detail);
            if (!detail.empty()) message += "\nfcl:   " + detail;
            print_compile_failure(formula.text, message);
            if (compiled.status == FCL_E_TYPE) notes.type_error(compiled.stopped_at, host.take_asked_cells());
            all = false;
            continue;
        }
        if (!collect_aggregates(formula, text_numbers)) {
            all = false;
            continue;
        }
        host.add_column(formula.text.name, formula.code[0], i);
        formula.name = formula.text.name;
        formula.source = formula.text.source;
    }
    return all;
}

}  // namespace

// The stand-in of each slot kind is the first running aggregate of that kind in the catalogue,
// called on the field kSyncField.
bool AggregateSync::compile(RecordHost& host) {
    host.activate();
    bool compiled[kAggregateKinds] = {};
    for (unsigned index = 1; index <= fcl::kFunctionCount; ++index) {
        const FunctionName& function = *function_name(index);
        if (function.aggregation != fcl::Aggregation::Running || compiled[function.aggregate_kind]) continue;
        const std::string text = std::string(function.name) + "([" + kSyncField + "])";
        std::uint16_t length = 0;
        if (FCLCOMPILE(RecordHost::callback, &host, text.c_str(), code_[function.aggregate_kind], &length) != FCL_OK)
            return false;
        compiled[function.aggregate_kind] = true;
    }
    return std::all_of(std::begin(compiled), std::end(compiled), [](bool done) { return done; });
}

void AggregateSync::skip_rest(const ReportFormula& formula, std::uint32_t done, RecordHost& host) {
    unsigned char result[FCL_MAX_VALUE];
    for (std::size_t i = done; i < formula.aggregates.size(); ++i)
        FCLEXECUTE(RecordHost::callback, &host, code_[formula.aggregates[i]], result);
}

// ---- One record -------------------------------------------------------------------------

ConversionCache::Entry& ConversionCache::slot(Tables& tables, std::size_t column, std::string_view in) {
    if (column >= tables.size()) tables.resize(column + 1);
    return tables[column][std::hash<std::string_view>{}(in) % kSlots];
}

bool ConversionCache::to_cp932(std::size_t column, std::string_view in, std::string_view& out, Unmappable& problem,
                               bool replace) {
    if (input_.raw() || is_ascii(in)) {
        problem = Unmappable();
        out = in;
        return true;
    }
    Entry& entry = slot(inward_, column, in);
    if (!entry.used || entry.in != in) {
        // A failed conversion is not kept: the run stops at it.
        if (!input_.to_cp932(in, entry.out, entry.problem, replace)) {
            problem = entry.problem;
            entry.used = false;
            return false;
        }
        entry.used = true;
        entry.in.assign(in);
    }
    problem = entry.problem;
    out = entry.out;
    return true;
}

bool ConversionCache::to_outside(std::size_t column, std::string_view in, std::string& out) {
    if (terminal_.raw() || is_ascii(in)) {
        out.assign(in);
        return true;
    }
    Entry& entry = slot(outward_, column, in);
    if (!entry.used || entry.in != in) {
        entry.ok = terminal_.to_outside(in, entry.out);
        entry.used = true;
        entry.in.assign(in);
    }
    out.assign(entry.out);
    return entry.ok;
}

namespace {

// Pass keys change with every record so that the library restarts its slot numbering; they stay
// within 2..1000, clear of the library's status codes, so a key returned as a status (the slot
// limit) is recognisable.
std::uint16_t pass_key(std::uint64_t record) { return static_cast<std::uint16_t>(2 + record % 999); }

ReportCell::Kind kind_of(std::uint8_t type) {
    switch (type) {
        case FCL_T_STRING: return ReportCell::Kind::Text;
        case FCL_T_NUMBER: return ReportCell::Kind::Number;
        case FCL_T_LOGICAL: return ReportCell::Kind::Logical;
        case FCL_T_TIME: return ReportCell::Kind::Time;
        case FCL_T_DATE: return ReportCell::Kind::Date;
        default: return ReportCell::Kind::Empty;
    }
}

}  // namespace

RecordEvaluator::RecordEvaluator(const std::vector<InputField>& fields, const std::vector<ReportFormula>& formulas,
                                 std::vector<const unsigned char*> codes, RecordHost& host, FCLHANDLE handle,
                                 AggregateSync* sync, TextCodec& input, TextCodec& terminal,
                                 const RunSettings& settings)
    : fields_(fields),
      formulas_(formulas),
      codes_(std::move(codes)),
      host_(host),
      handle_(handle),
      sync_(sync),
      terminal_(terminal),
      cache_(input, terminal),
      settings_(settings) {}

std::string RecordMessage::full(std::uint64_t first_number, std::uint64_t first_line) const {
    return "row " + std::to_string(number + first_number) + " (line " + std::to_string(line + first_line) + ")" +
           text;
}

bool RecordEvaluator::evaluate(const std::vector<std::string_view>& record, std::uint64_t number,
                               std::uint64_t line, bool group_last, std::vector<ReportCell>& cells,
                               std::vector<RecordMessage>& messages, RecordMessage& error) {
    number_ = number;
    line_ = line;
    converted_.resize(record.size());
    const bool replace = settings_.on_unmappable == OnUnmappable::Replace;
    Unmappable problem;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const bool converted = cache_.to_cp932(i, record[i], converted_[i], problem, replace);
        if (converted && problem.count == 0) continue;
        const std::string place =
            ", field " + (i < fields_.size() ? fields_[i].label : std::to_string(i + 1)) + ": " +
            problem.phrase(settings_.show_characters);
        if (!converted) {
            error = message(place + " (see --on-unmappable)");
            return false;
        }
        messages.push_back(message(place + ": written as '?'"));
    }
    if (record.size() != fields_.size())
        messages.push_back(message(": " + std::to_string(record.size()) + " cells where the header has " +
                                   std::to_string(fields_.size())));
    host_.begin_record(&converted_, pass_key(++runs_), group_last);
    unsigned char result[FCL_MAX_VALUE];
    cells.resize(formulas_.size());
    for (std::size_t column = 0; column < formulas_.size(); ++column) {
        host_.begin_execution(column);
        const std::uint16_t status =
            handle_ ? FCLEXECUTE2(RecordHost::callback, &host_, codes_[column], result, handle_)
                    : FCLEXECUTE(RecordHost::callback, &host_, codes_[column], result);
        host_.set_column_result(column, result, status == FCL_OK);
        fill_cell(cells[column], result, status, column, messages);
        if (status != FCL_OK && sync_) sync_->skip_rest(formulas_[column], host_.aggregate_calls(), host_);
    }
    return true;
}

void RecordEvaluator::fill_cell(ReportCell& cell, const unsigned char* result, std::uint16_t status,
                                std::size_t column, std::vector<RecordMessage>& messages) {
    const auto place = [&] { return ", column \"" + formulas_[column].text.header + "\": "; };
    std::string detail;
    if (host_.has_problem()) terminal_.to_outside(host_.take_problem(), detail);
    if (status != FCL_OK) {
        ++failures_;
        cell.kind = ReportCell::Kind::Error;
        if (status == host_.pass_key()) {
            cell.status = kSlotLimitStatus;
            cell.text = "more aggregate calls in a record than the profile's SumSize, AvgSize, MinSize or MaxSize allow";
        } else {
            cell.status = status;
            cell.text = fcl::status_message(status);
        }
        messages.push_back(message(place() + (cell.status == kSlotLimitStatus ? cell.text : status_line(status)) +
                                   (detail.empty() ? "" : " (" + detail + ")")));
        return;
    }
    if (!detail.empty()) messages.push_back(message(place() + detail));
    cell.kind = kind_of(result[0]);
    cell.status = 0;
    cell.text.clear();
    if (cell.kind == ReportCell::Kind::Number && !settings_.text_numbers) {
        unsigned char number[1 + sizeof(double)];
        std::memcpy(number, result, sizeof number);
        drop_negative_zero(number, false);
        append_value_text(cell.text, number, false, settings_.exact);
        return;
    }
    if (cell.kind != ReportCell::Kind::Text) {
        append_value_text(cell.text, result, settings_.text_numbers, settings_.exact);
        return;
    }
    scratch_.clear();
    append_value_text(scratch_, result, settings_.text_numbers, settings_.exact);
    if (!cache_.to_outside(column, scratch_, cell.text))
        messages.push_back(message(place() + "bytes with no character, shown as \\xNN"));
}

// ---- The record loop --------------------------------------------------------------------

void MessageLog::add(const std::string& message) {
    if (count_++ < kShown) std::fprintf(stderr, "fcl: %s\n", message.c_str());
}

void MessageLog::finish() const {
    if (count_ > kShown)
        std::fprintf(stderr, "fcl: ... and %llu more messages\n", static_cast<unsigned long long>(count_ - kShown));
}

namespace {

std::vector<const unsigned char*> codes_of(const std::vector<ReportFormula>& formulas) {
    std::vector<const unsigned char*> codes;
    for (const auto& formula : formulas) codes.push_back(formula.code);
    return codes;
}

}  // namespace

ReportRunner::ReportRunner(ReportInput& input, std::vector<ReportFormula>& formulas, RecordHost& host,
                           AggregateSync* sync, ReportWriter& writer, TextCodec& input_codec, TextCodec& terminal,
                           RunSettings settings)
    : input_(input),
      formulas_(formulas),
      host_(host),
      sync_(sync),
      writer_(writer),
      input_codec_(input_codec),
      terminal_(terminal),
      settings_(settings),
      cells_(formulas.size()),
      subtotal_(formulas.size()) {}

ReportRunner::~ReportRunner() = default;

// Records are skipped as they are read, before the look-ahead that finds each group's last
// record; the workers of the blocks read records of their own, so skipping reads in chunks.
// Only a quoted cell that runs to the end stops a report that skips, once every record before
// it is read, so the messages of the skipped records all come out in order whatever stops it.
bool ReportRunner::run(std::string& error) {
    bool ran = false;
    if (settings_.threads <= 1 || sync_) {
        ran = run_sequential(error);
    } else {
        RowFormat* format = writer_.row_format();
        ran = format && settings_.group_field < 0 && settings_.on_unmappable != OnUnmappable::Skip
                  ? run_blocks(*format, error)
                  : run_threaded(error);
    }
    write_skipped(~0ull);
    return ran;
}

bool ReportRunner::read(std::vector<std::string>& record, std::uint64_t& number, std::uint64_t& line,
                        std::string& error) {
    CsvReader& reader = input_.reader();
    for (;;) {
        const bool got = reader.next(record);
        number = ++read_records_;
        line = reader.record_line();
        if (reader.unterminated()) error = unterminated_message(line);
        if (!got || !error.empty() || settings_.on_unmappable != OnUnmappable::Skip) return got;
        std::size_t cell = 0;
        Unmappable problem;
        while (cell < record.size() &&
               (is_ascii(record[cell]) || input_codec_.to_cp932(record[cell], scratch_, problem, false)))
            ++cell;
        if (cell == record.size()) return true;
        const auto& fields = input_.fields();
        const std::string field = cell < fields.size() ? fields[cell].label : std::to_string(cell + 1);
        skipped_messages_.push_back(
            {number, line, ", field " + field + ": " + problem.phrase(settings_.show_characters) + ": record skipped"});
    }
}

void ReportRunner::write_skipped(std::uint64_t number) {
    for (; !skipped_messages_.empty() && skipped_messages_.front().number < number; skipped_messages_.pop_front()) {
        messages_.add(skipped_messages_.front().full());
        ++skipped_;
    }
}

const std::string& ReportRunner::shown_key(const std::vector<std::string>& record) {
    const std::string& key = cell_of(record, settings_.group_field);
    if (input_codec_.raw() == terminal_.raw() || is_ascii(key)) return key;
    key_ = recoded(key, input_codec_, terminal_);
    return key_;
}

void ReportRunner::open_group(const std::vector<std::string>& record) {
    if (group_open_) return;
    writer_.group_begin(settings_.group_field >= 0 ? &shown_key(record) : nullptr);
    group_open_ = true;
}

void ReportRunner::open_report_group() {
    if (group_open_) return;
    writer_.group_begin(nullptr);
    group_open_ = true;
}

void ReportRunner::write_record(const std::vector<std::string>& record, const std::vector<ReportCell>& cells,
                                bool group_last, const std::vector<RecordMessage>& messages,
                                std::size_t first_message, std::size_t end_message) {
    for (std::size_t i = first_message; i < end_message; ++i) messages_.add(messages[i].full());
    writer_.row(cells);
    if (group_last) close_group(record, cells);
}

void ReportRunner::close_group(const std::vector<std::string>& record, const std::vector<ReportCell>& cells) {
    for (std::size_t column = 0; column < formulas_.size(); ++column) {
        if (formulas_[column].aggregates.empty()) {
            subtotal_[column].kind = ReportCell::Kind::Empty;
            subtotal_[column].status = 0;
            subtotal_[column].text.clear();
        } else {
            subtotal_[column] = cells[column];
        }
    }
    if (settings_.group_field >= 0) {
        label_.assign("Subtotal ");
        label_ += shown_key(record);
    } else {
        label_.assign("Total");
    }
    writer_.group_end(label_, subtotal_);
    group_open_ = false;
}

bool ReportRunner::run_sequential(std::string& error) {
    CsvReader& reader = input_.reader();
    RecordEvaluator evaluator(input_.fields(), formulas_, codes_of(formulas_), host_, nullptr, sync_, input_codec_,
                              terminal_, settings_);
    std::vector<std::string> current;
    std::vector<std::string> next;
    std::uint64_t number = 0;
    std::uint64_t line = 0;
    bool have = read(current, number, line, error);
    const bool grouped = settings_.group_field >= 0;
    RecordMessage failure;
    while (have && error.empty()) {
        // A record that cannot be read ends the input: the one in hand is the last, and runs.
        std::string read_error;
        std::uint64_t next_number = 0;
        std::uint64_t next_line = 0;
        const bool have_next = read(next, next_number, next_line, read_error) && read_error.empty();
        const bool group_last = !have_next || (grouped && cell_of(current, settings_.group_field) !=
                                                              cell_of(next, settings_.group_field));
        write_skipped(number);
        open_group(current);
        ++records_;
        record_messages_.clear();
        view(current, views_);
        const bool ran = evaluator.evaluate(views_, number, line, group_last, cells_, record_messages_, failure);
        failures_ = evaluator.failures();
        if (!ran) {
            for (const auto& message : record_messages_) messages_.add(message.full());
            error = failure.full();
            break;
        }
        write_record(current, cells_, group_last, record_messages_, 0, record_messages_.size());
        error.swap(read_error);
        current.swap(next);
        number = next_number;
        line = next_line;
        have = have_next;
        if (records_ % kProgressStep == 0) progress(reader.bytes_consumed());
    }
    return error.empty();
}

void ReportRunner::progress(std::uint64_t consumed) {
    if (!settings_.verbose || records_ == 0) return;
    const std::uint64_t size = input_.size();
    if (size > 0) {
        const auto percent = static_cast<unsigned>(consumed * 100 / size);
        std::fprintf(stderr, "fcl: %llu records (%u%%)\n", static_cast<unsigned long long>(records_), percent);
    } else {
        std::fprintf(stderr, "fcl: %llu records\n", static_cast<unsigned long long>(records_));
    }
}

// ---- fcl report -------------------------------------------------------------------------

namespace {

// PAGE() counts from 1 in double-number mode but from 0 in text-number mode; setting the counter
// once makes the rows number from 1 in both.
void start_page_numbers(RecordHost& host) {
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE];
    std::uint16_t length = 0;
    if (FCLCOMPILE(RecordHost::callback, &host, "PAGE(1, 1)", code, &length) == FCL_OK)
        FCLEXECUTE(RecordHost::callback, &host, code, result);
}

// The index of the field named `name` (code page 932), -1 when there is none.
int find_field(const std::vector<InputField>& fields, const std::string& name) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name == name) return static_cast<int>(i);
    return -1;
}

void print_rate(std::uint64_t records, std::size_t formulas, double seconds) {
    const double executions = static_cast<double>(records) * static_cast<double>(formulas);
    const double safe = seconds > 0 ? seconds : 1e-9;
    std::fprintf(stderr, "fcl: %llu records x %zu formulas in %.3f s: %.0f records/s, %.0f executions/s\n",
                 static_cast<unsigned long long>(records), formulas, seconds,
                 static_cast<double>(records) / safe, executions / safe);
}

}  // namespace

int run_report(const Options& options) {
    ReportCodecs codecs(options);
    ReportRequest request;
    std::string error;
    const int built = build_report_request(options, codecs, request, error);
    if (built != kExitOk) {
        if (!error.empty()) std::fprintf(stderr, "fcl: %s\n", error.c_str());
        return built;
    }
    OutputSink sink(stdout);
    auto writer = make_writer(request.output, sink, codecs.terminal.raw());
    ReportInput input;
    const int opened = input.open(request.data, codecs.input, codecs.terminal, error);
    if (opened != kExitOk) {
        std::fprintf(stderr, "fcl: %s\n", error.c_str());
        return opened;
    }
    TypingNotes notes(input.fields(), options.quiet);
    notes.leading_zeros();
    RunSettings settings;
    settings.text_numbers = options.text_numbers;
    settings.exact = options.exact;
    settings.verbose = options.verbose;
    settings.on_unmappable = options.on_unmappable;
    settings.show_characters = !codecs.terminal.raw();
    if (!request.group_by.empty()) {
        settings.group_field = find_field(input.fields(), request.group_by);
        if (settings.group_field < 0) {
            std::fprintf(stderr, "fcl report: --group-by %s: no such field in %s\n", request.group_by_shown.c_str(),
                         request.data.c_str());
            return kExitUsage;
        }
    }

    RecordHost host(options.text_numbers);
    for (std::size_t i = 0; i < input.fields().size(); ++i) {
        const InputField& field = input.fields()[i];
        host.add_field(field.name, field.type, i);
    }
    std::vector<ReportFormula> formulas;
    if (!compile_columns(request.columns, codecs.terminal, host, options.text_numbers, notes, formulas))
        return kExitFormula;
    bool aggregates = false;
    for (const auto& formula : formulas) aggregates = aggregates || !formula.aggregates.empty();
    AggregateSync sync;
    if (aggregates && !sync.compile(host)) {
        std::fprintf(stderr, "fcl report: the library cannot compile its aggregate stand-ins\n");
        return kExitFormula;
    }

    settings.threads = options.threads;
    if (settings.threads > 1) {
        for (const auto& formula : formulas) {
            if (!formula.ordered_call) continue;
            // The results depend on the order of the records: one thread keeps it.
            if (!options.quiet)
                std::fprintf(stderr,
                             "fcl report: column \"%s\" uses %s, which follows the records in order: running on one "
                             "thread\n",
                             formula.text.header.c_str(), formula.ordered_call);
            settings.threads = 1;
            break;
        }
    }

    std::vector<ReportColumn> columns;
    for (const auto& formula : formulas)
        columns.push_back({formula.text.header, formula.code[0] == FCL_T_NUMBER, !formula.aggregates.empty()});
    writer->begin(columns);

    const auto start = std::chrono::steady_clock::now();
    std::int32_t mode = 1;
    FCLINIT(0, &mode);
    start_page_numbers(host);
    ReportRunner runner(input, formulas, host, aggregates ? &sync : nullptr, *writer, codecs.input, codecs.terminal,
                        settings);
    const bool read_all = runner.run(error);
    mode = 2;
    FCLINIT(0, &mode);
    writer->end();
    sink.flush();
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    runner.messages().finish();
    if (runner.skipped() > 0)
        std::fprintf(stderr, "fcl: skipped %llu record%s with text that code page 932 cannot hold\n",
                     static_cast<unsigned long long>(runner.skipped()), runner.skipped() == 1 ? "" : "s");
    if (!read_all) {
        std::fprintf(stderr, "fcl report: %s\n", error.c_str());
        return kExitFormula;
    }
    if (options.verbose) print_rate(runner.records(), formulas.size(), seconds.count());
    return runner.failures() > 0 ? kExitFormula : kExitOk;
}

}  // namespace fcltool
