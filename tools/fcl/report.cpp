// fcl report: the command, its request (columns from the command line and a formula file),
// the columns compiled once, one record's run, and the record loop on one thread.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "fclib.hpp"
#include "report.h"
#include "value_text.h"

namespace fcltool {

// ---- The request ------------------------------------------------------------------------

namespace {

const std::string kExamplesDir = FCL_EXAMPLES_DIR;

// What `fcl report` is asked to do: the data file, the columns and the grouping.
struct ReportRequest {
    std::string data;     // path, or "-" for standard input
    std::vector<ColumnText> columns;
    std::string group_by;
    std::string output;
    bool quiet = false;
};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// "HEADER=FORMULA" split at the first "=", blanks around both parts removed.
bool parse_column(const std::string& text, ColumnText& column) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) return false;
    column.header = trimmed(text.substr(0, equals));
    column.formula = trimmed(text.substr(equals + 1));
    return !column.header.empty();
}

bool load_formula_file(const std::string& path, ReportRequest& request, std::string& group_by, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the formula file " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string text = trimmed(line);
        if (text.empty() || text[0] == '#') continue;
        if (text.rfind("@group-by", 0) == 0) {
            group_by = trimmed(text.substr(9));
            continue;
        }
        ColumnText column;
        if (!parse_column(text, column)) {
            error = path + ":" + std::to_string(number) + ": expected HEADER = FORMULA";
            return false;
        }
        request.columns.push_back(column);
    }
    return true;
}

// Without a data file and without columns the example report runs. A formula file's
// "@group-by" applies unless --group-by is given.
bool build_report_request(const Options& options, ReportRequest& request, std::string& error) {
    if (options.arguments.size() > 1) {
        error = "give at most one data file";
        return false;
    }
    const bool example = is_example_report(options);
    request.data = options.arguments.empty() ? kExamplesDir + "/orders.csv" : options.arguments[0];
    request.output = options.output;
    request.quiet = options.quiet;
    std::string file_group_by;
    const std::string formulas = example ? kExamplesDir + "/orders.formulas" : options.formulas;
    if (!formulas.empty() && !load_formula_file(formulas, request, file_group_by, error)) return false;
    for (const auto& text : options.columns) {
        ColumnText column;
        if (!parse_column(text, column)) {
            error = "--column wants HEADER=FORMULA, not \"" + text + "\"";
            return false;
        }
        request.columns.push_back(column);
    }
    if (request.columns.empty()) {
        error = "no columns: give --column HEADER=FORMULA or --formulas FILE";
        return false;
    }
    request.group_by = options.group_by.empty() ? file_group_by : options.group_by;
    return true;
}

}  // namespace

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

// Compiles the columns in order; each column is made readable by name to the ones after it.
// Prints every failure with the formula, the status and its meaning; false if any failed.
bool compile_columns(const std::vector<ColumnText>& columns, TextCodec& codec, RecordHost& host, bool text_numbers,
                     std::vector<ReportFormula>& formulas) {
    bool all = true;
    formulas.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        ReportFormula& formula = formulas[i];
        formula.text = columns[i];
        std::string name;
        std::string text;
        if (!codec.to_cp932(formula.text.header, name) || !codec.to_cp932(formula.text.formula, text)) {
            print_compile_failure(formula.text, "text that code page 932 cannot hold");
            all = false;
            continue;
        }
        const CompileOutcome compiled = compile_with_diagnostics(text, host, formula.code, &formula.length, codec);
        if (compiled.status != FCL_OK) {
            std::string message = status_line(compiled.status);
            if (!compiled.token.empty()) message += " (" + compiled.token + ")\n" + compiled.where;
            std::string detail = formula_length_problem(text.size());
            if (host.has_problem()) codec.to_outside(host.take_problem(), detail);
            if (!detail.empty()) message += "\nfcl:   " + detail;
            print_compile_failure(formula.text, message);
            all = false;
            continue;
        }
        if (!collect_aggregates(formula, text_numbers)) {
            all = false;
            continue;
        }
        host.add_column(name, formula.code[0], formula.text.header, i);
        formula.name = std::move(name);
        formula.source = std::move(text);
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

bool ConversionCache::to_cp932(std::size_t column, std::string_view in, std::string_view& out) {
    if (codec_.raw() || is_ascii(in)) {
        out = in;
        return true;
    }
    Entry& entry = slot(inward_, column, in);
    if (!entry.used || entry.in != in) {
        // A failed conversion is not kept: the run stops at it.
        if (!codec_.to_cp932(in, entry.out)) {
            entry.used = false;
            return false;
        }
        entry.used = true;
        entry.in.assign(in);
    }
    out = entry.out;
    return true;
}

bool ConversionCache::to_outside(std::size_t column, std::string_view in, std::string& out) {
    if (codec_.raw() || is_ascii(in)) {
        out.assign(in);
        return true;
    }
    Entry& entry = slot(outward_, column, in);
    if (!entry.used || entry.in != in) {
        entry.ok = codec_.to_outside(in, entry.out);
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
                                 AggregateSync* sync, TextCodec& codec, const RunSettings& settings)
    : fields_(fields),
      formulas_(formulas),
      codes_(std::move(codes)),
      host_(host),
      handle_(handle),
      sync_(sync),
      codec_(codec),
      cache_(codec),
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
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (!cache_.to_cp932(i, record[i], converted_[i])) {
            error = message(", field " + (i < fields_.size() ? fields_[i].label : std::to_string(i + 1)) +
                            ": text that is not UTF-8 or that code page 932 cannot hold");
            return false;
        }
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
    if (host_.has_problem()) codec_.to_outside(host_.take_problem(), detail);
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
                           AggregateSync* sync, ReportWriter& writer, TextCodec& codec, RunSettings settings)
    : input_(input),
      formulas_(formulas),
      host_(host),
      sync_(sync),
      writer_(writer),
      codec_(codec),
      settings_(settings),
      cells_(formulas.size()),
      subtotal_(formulas.size()) {}

ReportRunner::~ReportRunner() = default;

bool ReportRunner::run(std::string& error) {
    if (settings_.threads <= 1 || sync_) return run_sequential(error);
    RowFormat* format = writer_.row_format();
    return format && settings_.group_field < 0 ? run_blocks(*format, error) : run_threaded(error);
}

bool ReportRunner::read(std::vector<std::string>& record, std::string& error) {
    CsvReader& reader = input_.reader();
    const bool got = reader.next(record);
    if (reader.unterminated()) error = unterminated_message(reader.record_line());
    return got;
}

void ReportRunner::open_group(const std::vector<std::string>& record) {
    if (group_open_) return;
    writer_.group_begin(settings_.group_field >= 0 ? &cell_of(record, settings_.group_field) : nullptr);
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
        label_ += cell_of(record, settings_.group_field);
    } else {
        label_.assign("Total");
    }
    writer_.group_end(label_, subtotal_);
    group_open_ = false;
}

bool ReportRunner::run_sequential(std::string& error) {
    CsvReader& reader = input_.reader();
    RecordEvaluator evaluator(input_.fields(), formulas_, codes_of(formulas_), host_, nullptr, sync_, codec_,
                              settings_);
    std::vector<std::string> current;
    std::vector<std::string> next;
    bool have = read(current, error);
    std::uint64_t line = reader.record_line();
    const bool grouped = settings_.group_field >= 0;
    RecordMessage failure;
    while (have && error.empty()) {
        // A record that cannot be read ends the input: the one in hand is the last, and runs.
        std::string read_error;
        const bool have_next = read(next, read_error) && read_error.empty();
        const std::uint64_t next_line = reader.record_line();
        const bool group_last = !have_next || (grouped && cell_of(current, settings_.group_field) !=
                                                              cell_of(next, settings_.group_field));
        open_group(current);
        ++records_;
        record_messages_.clear();
        view(current, views_);
        const bool ran = evaluator.evaluate(views_, records_, line, group_last, cells_, record_messages_, failure);
        failures_ = evaluator.failures();
        if (!ran) {
            for (const auto& message : record_messages_) messages_.add(message.full());
            error = failure.full();
            break;
        }
        write_record(current, cells_, group_last, record_messages_, 0, record_messages_.size());
        error.swap(read_error);
        current.swap(next);
        line = next_line;
        have = have_next;
        if (records_ % kProgressStep == 0) progress(reader.bytes_consumed());
    }
    return error.empty();
}

void ReportRunner::progress(std::uint64_t consumed) {
    if (settings_.quiet || records_ == 0) return;
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

int find_field(const std::vector<InputField>& fields, const std::string& label) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].label == label) return static_cast<int>(i);
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
    ReportRequest request;
    std::string error;
    if (!build_report_request(options, request, error)) {
        std::fprintf(stderr, "fcl report: %s\n", error.c_str());
        return kExitUsage;
    }
    TextCodec codec(options.encoding == "cp932");
    OutputSink sink(stdout);
    auto writer = make_writer(request.output, sink, codec.raw());
    ReportInput input;
    if (!writer || !input.open(request.data, codec, error)) {
        std::fprintf(stderr, "fcl report: %s\n", writer ? error.c_str() : "unknown output format");
        return kExitUsage;
    }
    RunSettings settings;
    settings.text_numbers = options.text_numbers;
    settings.exact = options.exact;
    settings.quiet = request.quiet;
    if (!request.group_by.empty()) {
        settings.group_field = find_field(input.fields(), request.group_by);
        if (settings.group_field < 0) {
            std::fprintf(stderr, "fcl report: --group-by %s: no such field in %s\n", request.group_by.c_str(),
                         request.data.c_str());
            return kExitUsage;
        }
    }

    RecordHost host(options.text_numbers);
    for (std::size_t i = 0; i < input.fields().size(); ++i) {
        const InputField& field = input.fields()[i];
        host.add_field(field.name, field.type, field.label, i);
    }
    std::vector<ReportFormula> formulas;
    if (!compile_columns(request.columns, codec, host, options.text_numbers, formulas)) return kExitFormula;
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
            std::fprintf(stderr, "fcl report: column \"%s\" uses %s, which follows the records in order: running on one thread\n",
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
    ReportRunner runner(input, formulas, host, aggregates ? &sync : nullptr, *writer, codec, settings);
    const bool read_all = runner.run(error);
    mode = 2;
    FCLINIT(0, &mode);
    writer->end();
    sink.flush();
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    runner.messages().finish();
    if (!read_all) {
        std::fprintf(stderr, "fcl report: %s\n", error.c_str());
        return kExitUsage;
    }
    if (!request.quiet) print_rate(runner.records(), formulas.size(), seconds.count());
    return runner.failures() > 0 ? kExitFormula : kExitOk;
}

}  // namespace fcltool
