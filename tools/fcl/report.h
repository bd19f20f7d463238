// fcl report: formulas over every record of a CSV file. The CSV input (csv.cpp), the output
// formats (output.cpp), the compiled columns and the record loop (report.cpp), and the record
// loop on several threads (report_threads.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fcl.h"

namespace fcltool {

// ---- The CSV grammar --------------------------------------------------------------------
// RFC 4180, read leniently: commas between cells, CR, LF or CRLF between records, cells in
// double quotes may hold commas, line breaks and doubled quotes. The input is cut into blocks
// of whole records, and a block is split into cells in memory; CsvReader reads this way, and
// so do the threads of `fcl report --threads`, each splitting blocks of its own.

// Finds the record breaks of a growing run of input that starts at a record's start. Only
// quotes are looked at one by one: a quote opens a quoted cell where a cell starts (after a
// comma or a line break), and a line break outside quoted cells ends a record (or a blank line).
class RecordBreaks {
public:
    // Back to the start of a record, for a new run.
    void reset();

    // Scans the run's bytes not yet scanned (the run only grows between calls); returns the
    // length up to and including the run's last record break found so far, 0 when none.
    std::size_t scan(const char* data, std::size_t size);

private:
    // The last record break in the unquoted stretch [from, to) of a run of `size` bytes.
    void find_break(const char* data, std::size_t from, std::size_t to, std::size_t size);

    std::size_t scanned_ = 0;
    std::size_t cut_ = 0;
    bool quoted_ = false;
};

// Reads a file in blocks of whole records. Bytes read past a block's last record wait for the
// next block.
class BlockCutter {
public:
    explicit BlockCutter(std::FILE* file) : file_(file) {}  // the caller keeps ownership of the file

    // Fills `bytes` (its first `size` bytes) with whole records, at least `target` bytes unless
    // the input ends first; a record longer than that makes the block longer. False at the end.
    bool next(std::vector<char>& bytes, std::size_t& size, std::size_t target);

    // Takes back the end of a block handed out (whole records): the next block starts with it.
    void put_back(const char* data, std::size_t size);

    // Drops `prefix` if the input not cut yet starts with it.
    void skip(std::string_view prefix);

    // Input offset of the next block's first byte.
    std::uint64_t offset() const { return offset_; }

    // Back to the start of a seekable file; false if it cannot seek.
    bool rewind();

private:
    // Input bytes not cut yet: the ones put back first, then the file's.
    std::size_t read(char* out, std::size_t size);

    std::FILE* file_;
    RecordBreaks breaks_;
    std::vector<char> carry_;  // bytes read but not cut yet, from carry_start_ on
    std::size_t carry_start_ = 0;
    std::uint64_t offset_ = 0;
};

// Splits a block of whole records into cells.
class RecordSplitter {
public:
    void reset(std::string_view block);

    // The next record's cells, viewing the block or (for quoted cells with doubled quotes or
    // text after the closing quote) the splitter's own copies, valid until the next call;
    // false at the end of the block. Blank lines are skipped.
    bool next(std::vector<std::string_view>& cells);

    // True when the last record's quoted cell ran to the end of the block.
    bool unterminated() const { return unterminated_; }
    // Lines before the one on which the last record started, counted from the block's start.
    std::uint64_t record_line() const { return record_line_; }
    // Lines that the block has ended so far.
    std::uint64_t lines() const { return line_; }
    // Bytes of the block consumed so far: the end of the last record, its line break included.
    std::size_t position() const { return pos_; }

private:
    bool separator(char c) const { return c == ',' || c == '\n' || c == '\r'; }
    // Whether the byte at `at` ends a line.
    bool ends_line(std::size_t at) const;
    // The byte after a cell, consumed; -1 at the end of the block.
    int take();
    // Splits one cell; returns the byte that ended it (as take()).
    int plain_cell(std::string_view& cell);
    int quoted_cell(std::string_view& cell, std::size_t index);
    // A cell that cannot view the block: its text so far goes into a copy, the rest follows.
    std::string& copy_of(std::size_t index, std::string_view start);

    std::string_view block_;
    std::size_t pos_ = 0;
    std::uint64_t line_ = 0;
    std::uint64_t record_line_ = 0;
    bool unterminated_ = false;
    std::vector<std::string> copies_;   // by cell index, reused from record to record
    std::vector<std::size_t> copied_;   // the cells of this record that view their copies
};

// A streaming CSV reader: it cuts the input into blocks of whole records and splits them one
// record at a time. Memory use is one block and the cells of one record, whatever the input's
// length.
class CsvReader {
public:
    explicit CsvReader(std::FILE* file);  // the caller keeps ownership of the file

    // Reads the next record into cells; false at the end of the input. Empty lines are skipped.
    bool next(std::vector<std::string>& cells);

    // True after a quoted cell ran into the end of the input.
    bool unterminated() const { return unterminated_; }

    // 1-based line number on which the last record started.
    std::uint64_t record_line() const { return record_line_; }

    // Input bytes consumed so far.
    std::uint64_t bytes_consumed() const { return cutter_.offset() - (block_size_ - splitter_.position()); }

    // Line number at which the input not read yet starts.
    std::uint64_t line() const { return block_line_ + splitter_.lines(); }

    // Hands over the input after the last record read in blocks of whole records, as
    // BlockCutter::next does; records read after that would skip the blocks handed over.
    bool next_block(std::vector<char>& bytes, std::size_t& size, std::size_t target);

    // Back to the start of a seekable file (for a second pass); false if it cannot seek.
    bool rewind();

private:
    bool fill();
    void start_block(std::size_t size);
    void skip_bom();

    BlockCutter cutter_;
    RecordSplitter splitter_;
    std::vector<char> block_;
    std::size_t block_size_ = 0;
    std::vector<std::string_view> views_;
    std::uint64_t block_line_ = 1;  // line on which the block starts
    std::uint64_t record_line_ = 0;
    bool unterminated_ = false;
};

// ---- The report's input -----------------------------------------------------------------

struct InputField {
    std::string label;  // header name as the terminal shows it
    std::string name;   // code page 932, as formulas name it
    std::uint8_t type;
    bool inferred = false;       // typed from its values
    bool leading_zeros = false;  // typed number, with values such as "0312"
};

// Opens a file to read: null with "cannot open PATH: reason" for a file that cannot be
// opened, a directory included.
std::FILE* open_input_file(const std::string& path, std::string& error);

// The report's CSV input: the header row, the field types (declared or inferred from a first
// pass over the file), then the records one at a time.
class ReportInput {
public:
    ReportInput() = default;
    ~ReportInput();
    ReportInput(const ReportInput&) = delete;
    ReportInput& operator=(const ReportInput&) = delete;

    // Opens the file ("-": standard input, which needs a type on every header), reads the
    // header (in the encoding of `input`; labels as `terminal` shows them) and settles the
    // field types. Returns kExitOk, or the exit status with a message: a file that cannot be
    // opened and untyped standard input are usage errors, a header that cannot be read a data
    // failure.
    int open(const std::string& path, TextCodec& input, TextCodec& terminal, std::string& error);

    CsvReader& reader() { return *reader_; }
    const std::vector<InputField>& fields() const { return fields_; }
    // Input size in bytes, 0 when unknown (for progress).
    std::uint64_t size() const { return size_; }

private:
    bool infer_types(std::string& error);

    std::FILE* file_ = nullptr;
    bool owned_ = false;
    std::unique_ptr<CsvReader> reader_;
    std::vector<InputField> fields_;
    std::uint64_t size_ = 0;
};

// ---- Output formats ---------------------------------------------------------------------
// The report opens each group, hands over one row of cells per record and closes the group
// with its subtotal row: the values of the aggregate columns at the group's last record, Empty
// cells elsewhere. An ungrouped report is one group with an empty key. Texts are already in
// the output encoding.

struct ReportCell {
    enum class Kind { Empty, Text, Number, Logical, Date, Time, Error };
    Kind kind = Kind::Empty;
    std::string text;          // display text; for Error the message
    std::uint16_t status = 0;  // for Error
};

struct ReportColumn {
    std::string label;
    bool numeric;    // the formula's result is a number: right-aligned
    bool aggregate;  // shown in subtotal rows
};

// Rows formatted apart from the writer, so that threads can format their rows at the same time:
// append_row formats a row into a buffer of the caller's, write_rows writes such buffers in
// order. A format whose rows depend on the rows before them (the table's widths) has none.
class RowFormat {
public:
    // Appends one row's text. It reads nothing that the writer changes, so that any number of
    // threads may call it while the writer writes.
    virtual void append_row(const std::vector<ReportCell>& cells, std::string& out) const = 0;
    // Writes `count` rows made by append_row, following the rows written before them in the
    // group (that group_begin opened).
    virtual void write_rows(std::string_view text, std::size_t count) = 0;

protected:
    ~RowFormat() = default;
};

class ReportWriter {
public:
    virtual ~ReportWriter() = default;
    virtual void begin(const std::vector<ReportColumn>& columns) = 0;
    // `key` is null for an ungrouped report.
    virtual void group_begin(const std::string* key) = 0;
    virtual void row(const std::vector<ReportCell>& cells) = 0;
    // `label` is "Subtotal <key>", or "Total" for an ungrouped report.
    virtual void group_end(const std::string& label, const std::vector<ReportCell>& subtotal) = 0;
    virtual void end() = 0;
    // The writer's own row format, null when it has none; to be used after begin().
    virtual RowFormat* row_format() { return nullptr; }
};

// "table", "csv" or "json"; null for any other name. `byte_widths`: texts are code page 932, one
// column per byte, rather than UTF-8.
std::unique_ptr<ReportWriter> make_writer(const std::string& format, OutputSink& sink, bool byte_widths);

// Status of an Error cell whose formula reached the aggregate slot limit (the library then
// returns the host's pass key rather than a status code of its own).
constexpr std::uint16_t kSlotLimitStatus = 0;

// ---- The compiled columns ---------------------------------------------------------------

struct ColumnText {
    std::string header;   // as the terminal shows them
    std::string formula;
    std::string name;     // the header in code page 932
    std::string source;   // the formula in code page 932
    std::string problem;  // why the text has no code page 932 form; empty when it has
};

// The columns a report would compute (its --formulas file and --column options) and, when
// it names a data file, that file's fields typed as the report types them: what fcl lint
// checks. kExitOk, or the exit status with a message in error (or printed, for usage).
int report_columns(const Options& options, std::vector<ColumnText>& columns, std::vector<InputField>& fields,
                   std::string& error);

// One column's formula, compiled once before any record is read.
struct ReportFormula {
    ColumnText text;
    std::string name;    // the header in code page 932, as later columns name it
    std::string source;  // the formula in code page 932
    // A function that must see the records one after another, in order (an aggregate or
    // PAGE), or null: such a formula keeps the report on one thread.
    const char* ordered_call = nullptr;
    unsigned char code[FCL_MAX_CODE] = {};
    std::uint16_t length = 0;
    // The slot kinds of the running aggregates the formula calls, in execution order: each
    // call takes the next slot of its kind in every record.
    std::vector<std::uint8_t> aggregates;
};

// Keeps the aggregate slots in step when a formula stops early: the library numbers the slots
// of each aggregate kind by call order within a record, so the calls a failed formula did not
// reach would shift every later call site onto a neighbour's slot. For each missed call this
// runs a stand-in call of the same kind (on the field kSyncField, which supplies no value and
// the group's end mark), so the slot is skipped, and reset at a group's end as usual.
class AggregateSync {
public:
    bool compile(RecordHost& host);
    // Takes the place of the calls after the first `done` of a formula's aggregates.
    void skip_rest(const ReportFormula& formula, std::uint32_t done, RecordHost& host);

private:
    unsigned char code_[kAggregateKinds][FCL_MAX_CODE] = {};
};

// ---- One record -------------------------------------------------------------------------

struct RunSettings {
    int group_field = -1;  // index of the --group-by field, -1 for none
    bool text_numbers = false;
    bool exact = false;
    bool verbose = false;  // progress lines
    OnUnmappable on_unmappable = OnUnmappable::Fail;
    bool show_characters = true;  // messages show the characters they name (a UTF-8 terminal)
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

// Recent conversions of input text to code page 932 and of results to the terminal's
// encoding, per column: report data repeats its texts (a category, a customer name) and a
// conversion costs far more than a lookup.
class ConversionCache {
public:
    ConversionCache(TextCodec& input, TextCodec& terminal) : input_(input), terminal_(terminal) {}

    // As TextCodec::to_cp932 with `replace`, for a cell of the given column. `out` views
    // either `in` itself (text that needs no conversion) or the cache's copy, which stays valid
    // until the next conversion of the same column.
    bool to_cp932(std::size_t column, std::string_view in, std::string_view& out, Unmappable& problem, bool replace);

    // As TextCodec::to_outside, for a result of the given column; written into `out`.
    bool to_outside(std::size_t column, std::string_view in, std::string& out);

private:
    static constexpr std::size_t kSlots = 32;
    struct Entry {
        bool used = false;
        bool ok = false;
        std::string in;
        std::string out;
        Unmappable problem;  // inward: the characters replaced
    };
    using Table = std::array<Entry, kSlots>;
    // A deque: a new column's table leaves the others in place, and with them the texts that
    // earlier results view.
    using Tables = std::deque<Table>;

    Entry& slot(Tables& tables, std::size_t column, std::string_view in);

    TextCodec& input_;
    TextCodec& terminal_;
    Tables inward_;
    Tables outward_;
};

// Runs the formulas on one record at a time and fills one cell per formula. Each thread has
// its own: the host, the library handle (null: the global context) and the caches are used
// by one thread only.
class RecordEvaluator {
public:
    RecordEvaluator(const std::vector<InputField>& fields, const std::vector<ReportFormula>& formulas,
                    std::vector<const unsigned char*> codes, RecordHost& host, FCLHANDLE handle, AggregateSync* sync,
                    TextCodec& input, TextCodec& terminal, const RunSettings& settings);

    // Runs record `number` (it started on input line `line`; see RecordMessage). Messages
    // about it are appended to `messages`; false with `error` when the record's text cannot be
    // converted (and --on-unmappable does not replace), which ends the report.
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
    TextCodec& terminal_;
    ConversionCache cache_;
    const RunSettings& settings_;
    std::vector<std::string_view> converted_;
    std::string scratch_;
    std::uint64_t number_ = 0;
    std::uint64_t line_ = 0;
    std::uint64_t runs_ = 0;  // records run, for the pass keys
    std::uint64_t failures_ = 0;
};

// ---- The record loop --------------------------------------------------------------------

// Records between progress lines.
constexpr std::uint64_t kProgressStep = 100000;

// The cells of a record read whole, as the views the evaluator takes.
inline void view(const std::vector<std::string>& record, std::vector<std::string_view>& views) {
    views.resize(record.size());
    for (std::size_t i = 0; i < record.size(); ++i) views[i] = record[i];
}

inline std::string unterminated_message(std::uint64_t line) {
    return "line " + std::to_string(line) + ": a quoted cell runs to the end of the input";
}

// Cell `index` of a record; empty where the record has no such cell.
inline const std::string& cell_of(const std::vector<std::string>& record, int index) {
    static const std::string kEmpty;
    return index >= 0 && static_cast<std::size_t>(index) < record.size() ? record[static_cast<std::size_t>(index)]
                                                                          : kEmpty;
}

// Messages about single records on standard error, capped so that a bad column in a large
// input does not flood the terminal.
class MessageLog {
public:
    void add(const std::string& message);
    // The count of messages left out, if any.
    void finish() const;

private:
    static constexpr std::uint64_t kShown = 20;
    std::uint64_t count_ = 0;
};

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
class ReportRunner {
public:
    ReportRunner(ReportInput& input, std::vector<ReportFormula>& formulas, RecordHost& host, AggregateSync* sync,
                 ReportWriter& writer, TextCodec& input_codec, TextCodec& terminal, RunSettings settings);
    ~ReportRunner();

    // Runs every record; false with a message when the input cannot be read on.
    bool run(std::string& error);

    std::uint64_t records() const { return records_; }
    std::uint64_t failures() const { return failures_; }
    // Records left out with --on-unmappable skip (and said so).
    std::uint64_t skipped() const { return skipped_; }
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
    // Reads the next record, and its number and line; with --on-unmappable skip it reads past
    // the records that cannot be converted, keeping their messages for write_skipped.
    bool read(std::vector<std::string>& record, std::uint64_t& number, std::uint64_t& line, std::string& error);
    // Logs the messages of the records skipped before record `number`.
    void write_skipped(std::uint64_t number);
    // The group key of a record as the terminal shows it.
    const std::string& shown_key(const std::vector<std::string>& record);
    // Progress after every kProgressStep records; `consumed`: input bytes read by then.
    void progress(std::uint64_t consumed);

    ReportInput& input_;
    std::vector<ReportFormula>& formulas_;
    RecordHost& host_;
    AggregateSync* sync_;
    ReportWriter& writer_;
    TextCodec& input_codec_;
    TextCodec& terminal_;
    RunSettings settings_;
    MessageLog messages_;
    std::uint64_t read_records_ = 0;  // records read from the input, skipped ones included
    std::deque<RecordMessage> skipped_messages_;  // of skipped records not logged yet
    std::uint64_t skipped_ = 0;
    std::string scratch_;
    std::string key_;
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
