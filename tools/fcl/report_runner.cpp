#include "report_runner.h"

#include <cstdio>

#include "status_text.h"
#include "value_text.h"

namespace fcltool {

namespace {

constexpr std::uint64_t kProgressStep = 100000;

// Pass keys change with every record so that the library restarts its slot numbering; they stay
// within 2..1000, clear of the library's status codes, so a key returned as a status (the slot
// limit) is recognisable.
std::uint16_t pass_key(std::uint64_t record) { return static_cast<std::uint16_t>(2 + record % 999); }

const std::string& cell_of(const std::vector<std::string>& record, int index) {
    static const std::string kEmpty;
    return index >= 0 && static_cast<std::size_t>(index) < record.size() ? record[static_cast<std::size_t>(index)]
                                                                          : kEmpty;
}

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

ReportRunner::ReportRunner(ReportInput& input, std::vector<ReportFormula>& formulas, RecordHost& host,
                           AggregateSync* sync, ReportWriter& writer, TextCodec& codec, RunSettings settings)
    : input_(input),
      formulas_(formulas),
      host_(host),
      sync_(sync),
      writer_(writer),
      codec_(codec),
      cache_(codec),
      settings_(settings),
      cells_(formulas.size()),
      subtotal_(formulas.size()) {}

bool ReportRunner::run(std::string& error) {
    CsvReader& reader = input_.reader();
    std::vector<std::string> current;
    std::vector<std::string> next;
    const auto read = [&](std::vector<std::string>& record) {
        const bool got = reader.next(record);
        if (reader.unterminated())
            error = "line " + std::to_string(reader.record_line()) + ": a quoted cell runs to the end of the input";
        return got;
    };
    bool have = read(current);
    std::uint64_t line = reader.record_line();
    bool group_open = false;
    const bool grouped = settings_.group_field >= 0;
    while (have && error.empty()) {
        const bool have_next = read(next);
        const std::uint64_t next_line = reader.record_line();
        if (!error.empty()) return false;
        const std::string& key = cell_of(current, settings_.group_field);
        const bool group_last = !have_next || (grouped && key != cell_of(next, settings_.group_field));
        if (!group_open) {
            writer_.group_begin(grouped ? &key : nullptr);
            group_open = true;
        }
        if (!run_record(current, line, group_last, error)) return false;
        if (group_last) {
            writer_.group_end(grouped ? "Subtotal " + key : "Total", subtotal_);
            group_open = false;
        }
        current.swap(next);
        line = next_line;
        have = have_next;
        if (records_ % kProgressStep == 0) progress();
    }
    return error.empty();
}

bool ReportRunner::run_record(const std::vector<std::string>& record, std::uint64_t line, bool group_last,
                              std::string& error) {
    ++records_;
    line_ = line;
    const auto& fields = input_.fields();
    converted_.resize(record.size());
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (!cache_.to_cp932(i, record[i], converted_[i])) {
            error = where() + ", field " + (i < fields.size() ? fields[i].label : std::to_string(i + 1)) +
                    ": text that is not UTF-8 or that code page 932 cannot hold";
            return false;
        }
    }
    if (record.size() != fields.size())
        messages_.add(where() + ": " + std::to_string(record.size()) + " cells where the header has " +
                      std::to_string(fields.size()));
    host_.begin_record(&converted_, pass_key(records_), group_last);
    unsigned char result[FCL_MAX_VALUE];
    for (std::size_t column = 0; column < formulas_.size(); ++column) {
        const ReportFormula& formula = formulas_[column];
        host_.begin_execution();
        const std::uint16_t status = FCLEXECUTE(RecordHost::callback, &host_, formula.code, result);
        host_.set_column_result(column, result, status == FCL_OK);
        fill_cell(cells_[column], result, status, column);
        if (status != FCL_OK && sync_) sync_->skip_rest(formula, host_.aggregate_calls(), host_);
    }
    writer_.row(cells_);
    if (group_last)
        for (std::size_t column = 0; column < formulas_.size(); ++column)
            subtotal_[column] = formulas_[column].aggregates.empty() ? ReportCell{} : cells_[column];
    return true;
}

std::string ReportRunner::where() const {
    return "row " + std::to_string(records_) + " (line " + std::to_string(line_) + ")";
}

void ReportRunner::fill_cell(ReportCell& cell, const unsigned char* result, std::uint16_t status,
                             std::size_t column) {
    const auto place = [&] { return where() + ", column \"" + formulas_[column].text.header + "\": "; };
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
            cell.text = status_meaning(status);
        }
        messages_.add(place() + (cell.status == kSlotLimitStatus ? cell.text : status_line(status)) +
                      (detail.empty() ? "" : " (" + detail + ")"));
        return;
    }
    if (!detail.empty()) messages_.add(place() + detail);
    cell.kind = kind_of(result[0]);
    cell.status = 0;
    if (cell.kind != ReportCell::Kind::Text) {
        cell.text = value_text(result, settings_.text_numbers, settings_.exact);
        return;
    }
    if (!codec_.to_outside(value_text(result, settings_.text_numbers, settings_.exact), cell.text))
        messages_.add(place() + "bytes with no character, shown as \\xNN");
}

void ReportRunner::progress() {
    if (settings_.quiet || records_ == 0) return;
    const std::uint64_t size = input_.size();
    if (size > 0) {
        const auto percent = static_cast<unsigned>(input_.reader().bytes_consumed() * 100 / size);
        std::fprintf(stderr, "fcl: %llu records (%u%%)\n", static_cast<unsigned long long>(records_), percent);
    } else {
        std::fprintf(stderr, "fcl: %llu records\n", static_cast<unsigned long long>(records_));
    }
}

}  // namespace fcltool
