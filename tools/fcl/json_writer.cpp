// JSON output: the column names, then the groups in input order, each with its key, its rows
// (one object per record, keyed by column name) and its subtotal (the aggregate columns).
#include <cstdio>
#include <string_view>

#include "report_writer.h"

namespace fcltool {

namespace {

// True when text is a JSON number as written (no NaN, no infinities, no plus sign).
bool is_json_number(std::string_view text) {
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

void append_string(std::string_view text, std::string& out) {
    out += '"';
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void append_value(const ReportCell& cell, std::string& out) {
    switch (cell.kind) {
        case ReportCell::Kind::Empty: out += "null"; return;
        case ReportCell::Kind::Logical: out += cell.text; return;
        case ReportCell::Kind::Number: out += is_json_number(cell.text) ? std::string_view(cell.text) : "null"; return;
        case ReportCell::Kind::Error:
            out += "{\"error\": ";
            out += cell.status == kSlotLimitStatus ? std::string("\"limit\"") : std::to_string(cell.status);
            out += ", \"message\": ";
            append_string(cell.text, out);
            out += '}';
            return;
        default: append_string(cell.text, out); return;
    }
}

// Each row is written as it follows another row of its group, after a comma; the group's first
// row goes without it.
constexpr std::string_view kRowStart = ",\n        ";

class JsonWriter : public ReportWriter, public RowFormat {
public:
    explicit JsonWriter(OutputSink& sink) : sink_(sink) {}

    void begin(const std::vector<ReportColumn>& columns) override {
        columns_ = columns;
        line_.assign("{\n  \"columns\": [");
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i) line_ += ", ";
            append_string(columns[i].label, line_);
        }
        line_ += "],\n  \"groups\": [";
        sink_.write(line_);
    }

    void group_begin(const std::string* key) override {
        line_.assign(groups_++ ? ",\n    {\n      \"group\": " : "\n    {\n      \"group\": ");
        if (key) {
            append_string(*key, line_);
        } else {
            line_ += "null";
        }
        line_ += ",\n      \"rows\": [";
        sink_.write(line_);
        rows_ = 0;
        group_open_ = true;
    }

    void row(const std::vector<ReportCell>& cells) override {
        line_.clear();
        append_row(cells, line_);
        write_rows(line_, 1);
    }

    void group_end(const std::string&, const std::vector<ReportCell>& subtotal) override {
        line_.assign("\n      ]");
        bool any = false;
        for (const auto& column : columns_) any = any || column.aggregate;
        if (any) {
            line_ += ",\n      \"subtotal\": ";
            append_object(subtotal, true, line_);
        }
        line_ += "\n    }";
        sink_.write(line_);
        group_open_ = false;
    }

    // A report stopped by a failing record leaves its group open: it is closed without a
    // subtotal, so that the output is whole JSON all the same.
    void end() override {
        if (group_open_) sink_.write("\n      ]\n    }");
        sink_.write(groups_ ? "\n  ]\n}\n" : "]\n}\n");
    }

    RowFormat* row_format() override { return this; }

    void append_row(const std::vector<ReportCell>& cells, std::string& out) const override {
        out += kRowStart;
        append_object(cells, false, out);
    }

    void write_rows(std::string_view text, std::size_t count) override {
        if (count == 0) return;
        sink_.write(rows_ ? text : text.substr(1));
        rows_ += count;
    }

private:
    void append_object(const std::vector<ReportCell>& cells, bool aggregates_only, std::string& out) const {
        out += '{';
        bool first = true;
        for (std::size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
            if (aggregates_only && !columns_[i].aggregate) continue;
            if (!first) out += ", ";
            first = false;
            append_string(columns_[i].label, out);
            out += ": ";
            append_value(cells[i], out);
        }
        out += '}';
    }

    OutputSink& sink_;
    std::vector<ReportColumn> columns_;
    std::size_t groups_ = 0;
    std::size_t rows_ = 0;
    bool group_open_ = false;
    std::string line_;  // the text being written, reused
};

}  // namespace

std::unique_ptr<ReportWriter> make_json_writer(OutputSink& sink) { return std::make_unique<JsonWriter>(sink); }

}  // namespace fcltool
