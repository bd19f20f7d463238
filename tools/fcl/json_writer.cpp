// JSON output: the column names, then the groups in input order, each with its key, its rows
// (one object per record, keyed by column name) and its subtotal (the aggregate columns).
#include <cstdio>

#include "report_writer.h"

namespace fcltool {

namespace {

// True when text is a JSON number as written (no NaN, no infinities, no plus sign).
bool is_json_number(const std::string& text) {
    std::size_t pos = 0;
    auto digits = [&] {
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
        return pos - start;
    };
    if (pos < text.size() && text[pos] == '-') ++pos;
    const std::size_t start = pos;
    const std::size_t integer = digits();
    if (integer == 0 || (integer > 1 && text[start] == '0')) return false;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        if (digits() == 0) return false;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
        if (digits() == 0) return false;
    }
    return pos == text.size();
}

class JsonWriter : public ReportWriter {
public:
    explicit JsonWriter(OutputSink& sink) : sink_(sink) {}

    void begin(const std::vector<ReportColumn>& columns) override {
        columns_ = columns;
        sink_.write("{\n  \"columns\": [");
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i) sink_.write(", ");
            string(columns[i].label);
        }
        sink_.write("],\n  \"groups\": [");
    }

    void group_begin(const std::string* key) override {
        sink_.write(groups_++ ? ",\n    {\n      \"group\": " : "\n    {\n      \"group\": ");
        if (key) {
            string(*key);
        } else {
            sink_.write("null");
        }
        sink_.write(",\n      \"rows\": [");
        rows_ = 0;
    }

    void row(const std::vector<ReportCell>& cells) override {
        sink_.write(rows_++ ? ",\n        " : "\n        ");
        object(cells, false);
    }

    void group_end(const std::string&, const std::vector<ReportCell>& subtotal) override {
        sink_.write("\n      ]");
        bool any = false;
        for (const auto& column : columns_) any = any || column.aggregate;
        if (any) {
            sink_.write(",\n      \"subtotal\": ");
            object(subtotal, true);
        }
        sink_.write("\n    }");
    }

    void end() override { sink_.write(groups_ ? "\n  ]\n}\n" : "]\n}\n"); }

private:
    void object(const std::vector<ReportCell>& cells, bool aggregates_only) {
        sink_.put('{');
        bool first = true;
        for (std::size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
            if (aggregates_only && !columns_[i].aggregate) continue;
            if (!first) sink_.write(", ");
            first = false;
            string(columns_[i].label);
            sink_.write(": ");
            value(cells[i]);
        }
        sink_.put('}');
    }

    void value(const ReportCell& cell) {
        switch (cell.kind) {
            case ReportCell::Kind::Empty: sink_.write("null"); return;
            case ReportCell::Kind::Logical: sink_.write(cell.text); return;
            case ReportCell::Kind::Number:
                sink_.write(is_json_number(cell.text) ? cell.text : std::string("null"));
                return;
            case ReportCell::Kind::Error:
                sink_.write("{\"error\": ");
                sink_.write(cell.status == kSlotLimitStatus ? std::string("\"limit\"") : std::to_string(cell.status));
                sink_.write(", \"message\": ");
                string(cell.text);
                sink_.put('}');
                return;
            default: string(cell.text); return;
        }
    }

    void string(const std::string& text) {
        sink_.put('"');
        for (char c : text) {
            switch (c) {
                case '"': sink_.write("\\\""); break;
                case '\\': sink_.write("\\\\"); break;
                case '\n': sink_.write("\\n"); break;
                case '\r': sink_.write("\\r"); break;
                case '\t': sink_.write("\\t"); break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20) {
                        char escaped[8];
                        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                        sink_.write(escaped);
                    } else {
                        sink_.put(c);
                    }
            }
        }
        sink_.put('"');
    }

    OutputSink& sink_;
    std::vector<ReportColumn> columns_;
    std::size_t groups_ = 0;
    std::size_t rows_ = 0;
};

}  // namespace

std::unique_ptr<ReportWriter> make_json_writer(OutputSink& sink) { return std::make_unique<JsonWriter>(sink); }

}  // namespace fcltool
