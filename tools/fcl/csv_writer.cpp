// CSV output (RFC 4180): one header line and one line per record; subtotals are left out so that
// the file stays one row per record (each group's last row holds its totals).
#include "report_writer.h"

namespace fcltool {

namespace {

class CsvWriter : public ReportWriter {
public:
    explicit CsvWriter(OutputSink& sink) : sink_(sink) {}

    void begin(const std::vector<ReportColumn>& columns) override {
        for (std::size_t i = 0; i < columns.size(); ++i) field(i, columns[i].label);
        sink_.put('\n');
    }
    void group_begin(const std::string*) override {}
    void row(const std::vector<ReportCell>& cells) override {
        for (std::size_t i = 0; i < cells.size(); ++i)
            field(i, cells[i].kind == ReportCell::Kind::Error ? error_cell_text(cells[i].status) : cells[i].text);
        sink_.put('\n');
    }
    void group_end(const std::string&, const std::vector<ReportCell>&) override {}
    void end() override {}

private:
    void field(std::size_t index, const std::string& text) {
        if (index > 0) sink_.put(',');
        if (text.find_first_of(",\"\r\n") == std::string::npos) {
            sink_.write(text);
            return;
        }
        sink_.put('"');
        for (char c : text) {
            if (c == '"') sink_.put('"');
            sink_.put(c);
        }
        sink_.put('"');
    }

    OutputSink& sink_;
};

}  // namespace

std::unique_ptr<ReportWriter> make_csv_writer(OutputSink& sink) { return std::make_unique<CsvWriter>(sink); }

}  // namespace fcltool
