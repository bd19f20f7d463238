// The record loop of `fcl report`: one record of look-ahead to find each group's last record,
// every formula executed per record, cells handed to the writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "conversion_cache.h"
#include "message_log.h"
#include "record_host.h"
#include "report_columns.h"
#include "report_input.h"
#include "report_writer.h"
#include "text_codec.h"

namespace fcltool {

struct RunSettings {
    int group_field = -1;  // index of the --group-by field, -1 for none
    bool text_numbers = false;
    bool exact = false;
    bool quiet = false;
};

class ReportRunner {
public:
    ReportRunner(ReportInput& input, std::vector<ReportFormula>& formulas, RecordHost& host, AggregateSync* sync,
                 ReportWriter& writer, TextCodec& codec, RunSettings settings);

    // Runs every record; false with a message when the input cannot be read on.
    bool run(std::string& error);

    std::uint64_t records() const { return records_; }
    std::uint64_t failures() const { return failures_; }
    MessageLog& messages() { return messages_; }

private:
    bool run_record(const std::vector<std::string>& record, std::uint64_t line, bool group_last, std::string& error);
    void fill_cell(ReportCell& cell, const unsigned char* result, std::uint16_t status, std::size_t column);
    // "row 12 (line 13)": the record being run, for messages.
    std::string where() const;
    void progress();

    ReportInput& input_;
    std::vector<ReportFormula>& formulas_;
    RecordHost& host_;
    AggregateSync* sync_;
    ReportWriter& writer_;
    TextCodec& codec_;
    ConversionCache cache_;
    RunSettings settings_;
    MessageLog messages_;
    std::vector<std::string> converted_;
    std::vector<ReportCell> cells_;
    std::vector<ReportCell> subtotal_;
    std::uint64_t records_ = 0;
    std::uint64_t failures_ = 0;
    std::uint64_t line_ = 0;
};

}  // namespace fcltool
