// The report's output formats. The engine opens each group, hands over one row of cells per
// record and closes the group with its subtotal row: the values of the aggregate columns at the
// group's last record, Empty cells elsewhere. An ungrouped report is one group with an empty
// key. Texts are already in the output encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output_sink.h"

namespace fcltool {

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

std::unique_ptr<ReportWriter> make_table_writer(OutputSink& sink, bool byte_widths);
std::unique_ptr<ReportWriter> make_csv_writer(OutputSink& sink);
std::unique_ptr<ReportWriter> make_json_writer(OutputSink& sink);

// Status of an Error cell whose formula reached the aggregate slot limit (the library then
// returns the host's pass key rather than a status code of its own).
constexpr std::uint16_t kSlotLimitStatus = 0;

// The cell text of a failed execution: "#1009", or "#limit" for the slot limit.
std::string error_cell_text(std::uint16_t status);

}  // namespace fcltool
