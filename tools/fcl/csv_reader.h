// A streaming CSV reader (RFC 4180): commas between cells, CRLF or LF between records, cells in
// double quotes may hold commas, line breaks and doubled quotes. Memory use is one buffer and
// the cells of one record, whatever the input's length.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fcltool {

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
    std::uint64_t bytes_consumed() const { return consumed_ + pos_; }

    // Line number at which the input not read yet starts.
    std::uint64_t line() const { return line_; }

    // Hands over the input after the last record read, as it is: up to `size` bytes, the ones
    // buffered first; 0 at the end of the input.
    std::size_t read_raw(char* out, std::size_t size);

    // Back to the start of a seekable file (for a second pass); false if it cannot seek.
    bool rewind();

private:
    bool fill();
    int get() { return pos_ < size_ || fill() ? static_cast<unsigned char>(buffer_[pos_++]) : -1; }
    int peek() { return pos_ < size_ || fill() ? static_cast<unsigned char>(buffer_[pos_]) : -1; }
    void read_quoted(std::string& cell);
    int read_plain(std::string& cell, int first);
    void skip_bom();

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint64_t line_ = 1;
    std::uint64_t record_line_ = 0;
    bool unterminated_ = false;
};

}  // namespace fcltool
