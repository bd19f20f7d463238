#include "report_runner.h"

#include <cstdio>

#include "report_records.h"

namespace fcltool {

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

}  // namespace fcltool
