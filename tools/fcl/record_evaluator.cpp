#include "record_evaluator.h"

#include "status_text.h"
#include "value_text.h"

namespace fcltool {

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
            cell.text = status_meaning(status);
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

}  // namespace fcltool
