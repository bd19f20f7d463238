// The record loop of `fcl report`: one record of look-ahead to find each group's last record,
// every formula executed per record, cells handed to the writer.
//
// With more than one thread, worker threads run the formulas, each on its own library handle,
// with its own compiled formulas and field host; the output is the same as with one thread.
// When the writer can format rows apart (its row format) and there are no groups, the main
// thread only reads the input in blocks of whole records and writes the workers' formatted rows
// in input order: each worker splits its block's records, runs them and formats their rows.
// Otherwise the main thread reads the records into chunks, the workers fill the chunks' cells
// and the main thread hands them to the writer in input order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "message_log.h"
#include "record_evaluator.h"
#include "record_host.h"
#include "report_columns.h"
#include "report_input.h"
#include "report_writer.h"
#include "text_codec.h"

namespace fcltool {

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
    struct Block;
    struct Worker;
    template <class Job>
    class Pool;
    // The last record of the blocks written so far: it is written once the next record shows
    // up, as the record before a quoted cell that runs to the end of the input is not.
    struct HeldRecord {
        bool present = false;
        bool fails = false;  // its text cannot be converted: it stops the report with `error`
        std::string row;
        std::vector<std::string> messages;
        std::string error;
    };

    // What a worker does with a chunk: fills its cells.
    static void run_chunk(Worker& worker, Chunk& chunk, std::size_t formulas);
    // What a worker does with a block: splits, runs and formats its records.
    static void run_block(Worker& worker, Block& block, const RowFormat& format);

    bool run_sequential(std::string& error);
    bool run_threaded(std::string& error);
    bool run_blocks(RowFormat& format, std::string& error);
    // Makes one worker per thread, each with the formulas compiled on a handle of its own.
    bool add_workers(std::vector<std::unique_ptr<Worker>>& workers, std::string& error);
    // Hands one evaluated record to the writer: group start, messages, row, group end.
    void write_record(const std::vector<std::string>& record, const std::vector<ReportCell>& cells, bool group_last,
                      const std::vector<RecordMessage>& messages, std::size_t first_message,
                      std::size_t end_message);
    void close_group(const std::vector<std::string>& record, const std::vector<ReportCell>& cells);
    void open_group(const std::vector<std::string>& record);
    // The one group of a report without groups, opened by its first record.
    void open_report_group();
    // Writes an evaluated chunk; false when it ended with a record that stops the report.
    bool write_chunk(const Chunk& chunk, std::string& error);
    // Writes the records of a run block but its last, which it holds back; false when a record
    // stops the report.
    bool write_block(const Block& block, RowFormat& format, std::string& error);
    // Logs record `index` of the block's messages (from `message` on) and progress, as the
    // record after it ends at input offset `next_end`; false when the record stops the report.
    bool write_block_record(const Block& block, std::size_t index, std::uint64_t next_end, std::size_t& message,
                            std::string& error);
    // Writes the held record, now that the next one (ending at input offset `next_end`) or the
    // end of the input (`last`) follows it.
    bool write_held(std::uint64_t next_end, bool last, RowFormat& format, std::string& error);
    // Keeps record `index` of the block, its last, as the held record.
    void hold(const Block& block, std::size_t index);
    bool read(std::vector<std::string>& record, std::string& error);
    // Progress after every kProgressStep records; `consumed`: input bytes read by then.
    void progress(std::uint64_t consumed);

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
    std::vector<std::string_view> views_;
    std::vector<RecordMessage> record_messages_;
    HeldRecord held_;
    std::uint64_t block_first_number_ = 1;  // number of the next block's first record
    std::uint64_t block_first_line_ = 1;    // line on which the next block starts
    std::string label_;
    bool group_open_ = false;
    std::uint64_t records_ = 0;
    std::uint64_t failures_ = 0;
};

}  // namespace fcltool
