// The record loop of `fcl report`: one record of look-ahead to find each group's last record,
// every formula executed per record, cells handed to the writer.
//
// With more than one thread, the main thread reads the records into chunks and hands them out;
// each worker thread runs the formulas of a whole chunk on its own library handle, with its own
// compiled formulas and field host, into the chunk's cells; the main thread hands the chunks'
// cells to the writer in input order. The output is the same as with one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
    unsigned threads = 1;  // more than one only for formulas without aggregates and PAGE
};

// Runs the formulas on one record at a time and fills one cell per formula. Each thread has
// its own: the host, the library handle (null: the global context) and the caches are used
// by one thread only.
class RecordEvaluator {
public:
    RecordEvaluator(const std::vector<InputField>& fields, const std::vector<ReportFormula>& formulas,
                    std::vector<const unsigned char*> codes, RecordHost& host, FCLHANDLE handle, AggregateSync* sync,
                    TextCodec& codec, const RunSettings& settings);

    // Runs record `number` (1-based; it started on input line `line`). Messages about it are
    // appended to `messages`; false with `error` when the record's text cannot be converted,
    // which ends the report.
    bool evaluate(const std::vector<std::string>& record, std::uint64_t number, std::uint64_t line, bool group_last,
                  std::vector<ReportCell>& cells, std::vector<std::string>& messages, std::string& error);

    std::uint64_t failures() const { return failures_; }

private:
    void fill_cell(ReportCell& cell, const unsigned char* result, std::uint16_t status, std::size_t column,
                   std::vector<std::string>& messages);
    // "row 12 (line 13)": the record being run, for messages.
    std::string where() const;

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
    std::uint64_t failures_ = 0;
};

class ReportRunner {
public:
    ReportRunner(ReportInput& input, std::vector<ReportFormula>& formulas, RecordHost& host, AggregateSync* sync,
                 ReportWriter& writer, TextCodec& codec, RunSettings settings);
    ~ReportRunner();

    // Runs every record; false with a message when the input cannot be read on.
    bool run(std::string& error);

    std::uint64_t records() const { return records_; }
    std::uint64_t failures() const { return failures_; }
    MessageLog& messages() { return messages_; }

private:
    struct Chunk;
    struct Worker;
    class Pool;

    bool run_sequential(std::string& error);
    bool run_threaded(std::string& error);
    // Hands one evaluated record to the writer: group start, messages, row, group end.
    void write_record(const std::vector<std::string>& record, const std::vector<ReportCell>& cells, bool group_last,
                      const std::vector<std::string>& messages, std::size_t first_message,
                      std::size_t end_message);
    void open_group(const std::vector<std::string>& record);
    // Writes an evaluated chunk; false when it ended with a record that stops the report.
    bool write_chunk(const Chunk& chunk, std::string& error);
    bool read(std::vector<std::string>& record, std::string& error);
    void progress();

    ReportInput& input_;
    std::vector<ReportFormula>& formulas_;
    RecordHost& host_;
    AggregateSync* sync_;
    ReportWriter& writer_;
    TextCodec& codec_;
    RunSettings settings_;
    MessageLog messages_;
    std::vector<ReportCell> cells_;
    std::vector<ReportCell> subtotal_;
    std::vector<std::string> record_messages_;
    std::string label_;
    bool group_open_ = false;
    std::uint64_t records_ = 0;
    std::uint64_t failures_ = 0;
};

}  // namespace fcltool
