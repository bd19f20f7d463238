// The report's output formats: a readable table, CSV and JSON; and the display width of texts
// that the table and the compile diagnostics align by.
#include <algorithm>
#include <cstdio>

#include "report.h"

namespace fcltool {

// ---- Display width ----------------------------------------------------------------------

namespace {

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

// Wide and fullwidth blocks: Hangul Jamo, CJK radicals to Yi, Hangul syllables, CJK
// compatibility ideographs and forms, fullwidth forms, and the supplementary ideograph planes.
constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x20000, 0x3FFFD},
};

bool is_wide(std::uint32_t code) {
    for (const auto& range : kWide)
        if (code >= range.first && code <= range.last) return true;
    return false;
}

}  // namespace

std::size_t display_width(std::string_view text, bool byte_widths) {
    if (byte_widths) return text.size();
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        std::uint32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        width += is_wide(code) ? 2 : 1;
        i += length;
    }
    return width;
}

// ---- Error cells ------------------------------------------------------------------------

namespace {

// The cell text of a failed execution: "#1009", or "#limit" for the slot limit.
std::string error_cell_text(std::uint16_t status) {
    if (status == kSlotLimitStatus) return "#limit";
    std::string text(1, '#');
    text += std::to_string(status);
    return text;
}

// ---- Table ------------------------------------------------------------------------------
// Column widths come from the header and the first rows (up to kSampleLines); later rows are
// written straight away with those widths, so memory stays flat for any number of records and
// a longer value only pushes its line out of alignment.

constexpr std::size_t kSampleLines = 1000;
constexpr const char* kGap = "  ";

// Control characters (a line break inside a quoted CSV cell) would break the table's lines.
void append_visible(std::string& out, const std::string& text) {
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
}

std::string visible(const std::string& text) {
    std::string out;
    append_visible(out, text);
    return out;
}

void append_cell_text(std::string& out, const ReportCell& cell) {
    if (cell.kind == ReportCell::Kind::Error) {
        out += error_cell_text(cell.status);
    } else {
        append_visible(out, cell.text);
    }
}

std::string cell_text(const ReportCell& cell) {
    std::string out;
    append_cell_text(out, cell);
    return out;
}

class TableWriter : public ReportWriter {
public:
    TableWriter(OutputSink& sink, bool byte_widths) : sink_(sink), byte_widths_(byte_widths) {}

    void begin(const std::vector<ReportColumn>& columns) override {
        columns_ = columns;
        widths_.assign(columns.size(), 0);
        for (std::size_t i = 0; i < columns.size(); ++i) widths_[i] = width(columns[i].label);
    }

    void group_begin(const std::string*) override {
        if (groups_++) add({Line::Kind::Blank, {}, {}});
    }

    void row(const std::vector<ReportCell>& cells) override {
        if (released_) {
            // Widths are settled: the line goes out at once, built in buffers kept from row to row.
            line_.clear();
            for (std::size_t i = 0; i < columns_.size(); ++i) {
                if (i) line_ += kGap;
                text_.clear();
                if (i < cells.size()) append_cell_text(text_, cells[i]);
                append_aligned(line_, text_, i);
            }
            end_line(line_);
            return;
        }
        Line line{Line::Kind::Row, {}, {}};
        for (const auto& cell : cells) line.texts.push_back(cell_text(cell));
        add(std::move(line));
    }

    void group_end(const std::string& label, const std::vector<ReportCell>& subtotal) override {
        if (std::none_of(columns_.begin(), columns_.end(), [](const ReportColumn& c) { return c.aggregate; }))
            return;
        Line line{Line::Kind::Subtotal, {}, visible(label)};
        for (std::size_t i = 0; i < subtotal.size(); ++i)
            line.texts.push_back(i < columns_.size() && columns_[i].aggregate ? cell_text(subtotal[i]) : "");
        add(std::move(line));
    }

    void end() override { release(); }

private:
    struct Line {
        enum class Kind { Row, Subtotal, Blank } kind;
        std::vector<std::string> texts;
        std::string label;
    };

    std::size_t width(const std::string& text) const { return display_width(text, byte_widths_); }

    void add(Line line) {
        if (released_) {
            write(line);
            return;
        }
        if (line.kind != Line::Kind::Blank)
            for (std::size_t i = 0; i < line.texts.size() && i < widths_.size(); ++i)
                widths_[i] = std::max(widths_[i], width(line.texts[i]));
        pending_.push_back(std::move(line));
        if (pending_.size() >= kSampleLines) release();
    }

    // Widths are settled: header, rule and the lines held back so far.
    void release() {
        if (released_) return;
        released_ = true;
        std::vector<std::string> labels;
        std::vector<std::string> rules;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            labels.push_back(columns_[i].label);
            rules.emplace_back(widths_[i], '-');
        }
        cells_line(labels);
        cells_line(rules);
        for (const auto& line : pending_) write(line);
        pending_.clear();
        pending_.shrink_to_fit();
    }

    void write(const Line& line) {
        switch (line.kind) {
            case Line::Kind::Blank: sink_.put('\n'); return;
            case Line::Kind::Row: cells_line(line.texts); return;
            case Line::Kind::Subtotal: subtotal_lines(line); return;
        }
    }

    // A rule over the aggregate columns, then the label in the columns before the first
    // aggregate column, then the aggregate values under their columns.
    void subtotal_lines(const Line& line) {
        std::vector<std::string> rules;
        for (std::size_t i = 0; i < columns_.size(); ++i)
            rules.push_back(columns_[i].aggregate ? std::string(widths_[i], '-') : "");
        cells_line(rules);
        std::size_t first = 0;
        while (first < columns_.size() && !columns_[first].aggregate) ++first;
        std::size_t span = 0;
        for (std::size_t i = 0; i < first; ++i) span += widths_[i] + (i ? 2 : 0);
        std::string text = line.label;
        const std::size_t used = width(text);
        if (used > span) {
            // Too long for the space before the values: a line of its own keeps them aligned.
            end_line(text);
            text.assign(span, ' ');
        } else {
            text.append(span - used, ' ');
        }
        for (std::size_t i = first; i < columns_.size(); ++i) {
            if (i) text += kGap;
            text += aligned(i < line.texts.size() ? line.texts[i] : "", i);
        }
        end_line(text);
    }

    // Number columns are right-aligned, their headers included.
    void append_aligned(std::string& out, const std::string& text, std::size_t column) const {
        const std::size_t used = width(text);
        const std::size_t pad = widths_[column] > used ? widths_[column] - used : 0;
        if (columns_[column].numeric) out.append(pad, ' ');
        out += text;
        if (!columns_[column].numeric) out.append(pad, ' ');
    }

    std::string aligned(const std::string& text, std::size_t column) const {
        std::string out;
        append_aligned(out, text, column);
        return out;
    }

    void cells_line(const std::vector<std::string>& texts) {
        std::string text;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (i) text += kGap;
            text += aligned(i < texts.size() ? texts[i] : "", i);
        }
        end_line(text);
    }

    void end_line(std::string& text) {
        const auto last = text.find_last_not_of(' ');
        text.resize(last == std::string::npos ? 0 : last + 1);
        sink_.write(text);
        sink_.put('\n');
    }

    OutputSink& sink_;
    bool byte_widths_;
    std::vector<ReportColumn> columns_;
    std::vector<std::size_t> widths_;
    std::vector<Line> pending_;
    bool released_ = false;
    std::size_t groups_ = 0;
    std::string line_;  // the row being written, once released
    std::string text_;  // one cell's text
};

// ---- CSV --------------------------------------------------------------------------------
// RFC 4180: one header line and one line per record; subtotals are left out so that the file
// stays one row per record (each group's last row holds its totals).

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

// ---- JSON -------------------------------------------------------------------------------
// The column names, then the groups in input order, each with its key, its rows (one object
// per record, keyed by column name) and its subtotal (the aggregate columns).

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

std::unique_ptr<ReportWriter> make_writer(const std::string& format, OutputSink& sink, bool byte_widths) {
    if (format == "table") return std::make_unique<TableWriter>(sink, byte_widths);
    if (format == "csv") return std::make_unique<CsvWriter>(sink);
    if (format == "json") return std::make_unique<JsonWriter>(sink);
    return nullptr;
}

}  // namespace fcltool
