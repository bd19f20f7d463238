// CSV output (RFC 4180): one header line and one line per record; subtotals are left out so that
// the file stays one row per record (each group's last row holds its totals).
#include "report_writer.h"

namespace fcltool {

namespace {

void append_field(std::size_t index, std::string_view text, std::string& out) {
    if (index > 0) out += ',';
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

class CsvWriter : public ReportWriter, public RowFormat {
public:
    explicit CsvWriter(OutputSink& sink) : sink_(sink) {}

    void begin(const std::vector<ReportColumn>& columns) override {
        line_.clear();
        for (std::size_t i = 0; i < columns.size(); ++i) append_field(i, columns[i].label, line_);
        line_ += '\n';
        sink_.write(line_);
    }
    void group_begin(const std::string*) override {}
    void row(const std::vector<ReportCell>& cells) override {
        line_.clear();
        append_row(cells, line_);
        sink_.write(line_);
    }
    void group_end(const std::string&, const std::vector<ReportCell>&) override {}
    void end() override {}
    RowFormat* row_format() override { return this; }

    void append_row(const std::vector<ReportCell>& cells, std::string& out) const override {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (cells[i].kind == ReportCell::Kind::Error) {
                append_field(i, error_cell_text(cells[i].status), out);
            } else {
                append_field(i, cells[i].text, out);
            }
        }
        out += '\n';
    }
    void write_rows(std::string_view text, std::size_t) override { sink_.write(text); }

private:
    OutputSink& sink_;
    std::string line_;  // the row being written, reused from row to row
};

}  // namespace

std::unique_ptr<ReportWriter> make_csv_writer(OutputSink& sink) { return std::make_unique<CsvWriter>(sink); }

}  // namespace fcltool
