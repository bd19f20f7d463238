// A streaming CSV reader: it cuts the input into blocks of whole records and splits them one
// record at a time (the grammar is in csv_blocks.h). Memory use is one block and the cells of
// one record, whatever the input's length.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "csv_blocks.h"

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

}  // namespace fcltool
