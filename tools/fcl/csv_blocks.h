// The CSV grammar (RFC 4180, read leniently): commas between cells, CR, LF or CRLF between
// records, cells in double quotes may hold commas, line breaks and doubled quotes. The input is
// cut into blocks of whole records, and a block is split into cells in memory; CsvReader reads
// this way, and so do the threads of `fcl report --threads`, each splitting blocks of its own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace fcltool {

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

}  // namespace fcltool
