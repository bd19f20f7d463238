// One record of `fcl report`: its cells converted for the library, every formula executed on
// them, one cell filled per formula, and the messages about it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "conversion_cache.h"
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
    unsigned threads = 1;  // more than one only for formulas without aggregates and PAGE
};

// A message about one record: `text` follows the record's place, "row 12 (line 13)". A worker
// thread that splits a block of records numbers them from the block's start; the place is
// made once the numbers before the block are known.
struct RecordMessage {
    std::uint64_t number = 0;
    std::uint64_t line = 0;
    std::string text;

    // The message with the place of record `number + first_number` on line `line + first_line`.
    std::string full(std::uint64_t first_number = 0, std::uint64_t first_line = 0) const;
};

// Runs the formulas on one record at a time and fills one cell per formula. Each thread has
// its own: the host, the library handle (null: the global context) and the caches are used
// by one thread only.
class RecordEvaluator {
public:
    RecordEvaluator(const std::vector<InputField>& fields, const std::vector<ReportFormula>& formulas,
                    std::vector<const unsigned char*> codes, RecordHost& host, FCLHANDLE handle, AggregateSync* sync,
                    TextCodec& codec, const RunSettings& settings);

    // Runs record `number` (it started on input line `line`; see RecordMessage). Messages
    // about it are appended to `messages`; false with `error` when the record's text cannot be
    // converted, which ends the report.
    bool evaluate(const std::vector<std::string_view>& record, std::uint64_t number, std::uint64_t line,
                  bool group_last, std::vector<ReportCell>& cells, std::vector<RecordMessage>& messages,
                  RecordMessage& error);

    std::uint64_t failures() const { return failures_; }

private:
    void fill_cell(ReportCell& cell, const unsigned char* result, std::uint16_t status, std::size_t column,
                   std::vector<RecordMessage>& messages);
    // A message about the record being run.
    RecordMessage message(std::string text) const { return {number_, line_, std::move(text)}; }

    const std::vector<InputField>& fields_;
    const std::vector<ReportFormula>& formulas_;
    std::vector<const unsigned char*> codes_;
    RecordHost& host_;
    FCLHANDLE handle_;
    AggregateSync* sync_;
    TextCodec& codec_;
    ConversionCache cache_;
    const RunSettings& settings_;
    std::vector<std::string_view> converted_;
    std::string scratch_;
    std::uint64_t number_ = 0;
    std::uint64_t line_ = 0;
    std::uint64_t runs_ = 0;  // records run, for the pass keys
    std::uint64_t failures_ = 0;
};

}  // namespace fcltool
