// Readable table output. Column widths come from the header and the first rows (up to
// kSampleLines); later rows are written straight away with those widths, so memory stays flat
// for any number of records and a longer value only pushes its line out of alignment.
#include <algorithm>
#include <cstdio>

#include "display_width.h"
#include "report_writer.h"

namespace fcltool {

namespace {

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

}  // namespace

std::unique_ptr<ReportWriter> make_table_writer(OutputSink& sink, bool byte_widths) {
    return std::make_unique<TableWriter>(sink, byte_widths);
}

}  // namespace fcltool
