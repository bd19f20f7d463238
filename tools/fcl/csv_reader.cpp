#include "csv_reader.h"

#include <algorithm>
#include <cstring>

namespace fcltool {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::size_t kCellRoom = 48;

}  // namespace

CsvReader::CsvReader(std::FILE* file) : file_(file), buffer_(kBufferSize) { skip_bom(); }

bool CsvReader::fill() {
    consumed_ += size_;
    pos_ = 0;
    size_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    return size_ > 0;
}

// A UTF-8 byte order mark before the header is not part of the first cell.
void CsvReader::skip_bom() {
    if (peek() != 0xEF) return;
    if (size_ - pos_ >= 3 && static_cast<unsigned char>(buffer_[pos_ + 1]) == 0xBB &&
        static_cast<unsigned char>(buffer_[pos_ + 2]) == 0xBF)
        pos_ += 3;
}

std::size_t CsvReader::read_raw(char* out, std::size_t size) {
    if (pos_ == size_) {
        consumed_ += size_;
        pos_ = size_ = 0;
        const std::size_t got = std::fread(out, 1, size, file_);
        consumed_ += got;
        return got;
    }
    const std::size_t count = std::min(size, size_ - pos_);
    std::memcpy(out, buffer_.data() + pos_, count);
    pos_ += count;
    return count;
}

bool CsvReader::rewind() {
    if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
    pos_ = size_ = 0;
    consumed_ = 0;
    line_ = 1;
    unterminated_ = false;
    skip_bom();
    return true;
}

// After the opening quote: up to the closing quote, with "" standing for one quote. Text between
// the closing quote and the next separator is kept as it is (a lenient reading of bad input).
void CsvReader::read_quoted(std::string& cell) {
    for (;;) {
        const int c = get();
        if (c < 0) {
            unterminated_ = true;
            return;
        }
        if (c == '"') {
            if (peek() != '"') return;
            get();
        } else if (c == '\n') {
            ++line_;
        }
        cell += static_cast<char>(c);
    }
}

// Appends the run of bytes up to a comma, line break or the end; returns the byte that ended it.
int CsvReader::read_plain(std::string& cell, int first) {
    if (first < 0 || first == ',' || first == '\n' || first == '\r') return first;
    cell += static_cast<char>(first);
    for (;;) {
        const std::size_t start = pos_;
        while (pos_ < size_) {
            const char c = buffer_[pos_];
            if (c == ',' || c == '\n' || c == '\r') break;
            ++pos_;
        }
        cell.append(buffer_.data() + start, pos_ - start);
        if (pos_ < size_) return get();
        if (!fill()) return -1;
    }
}

bool CsvReader::next(std::vector<std::string>& cells) {
    int c = get();
    while (c == '\n' || c == '\r') {
        if (c == '\n') ++line_;
        c = get();
    }
    if (c < 0) return false;
    record_line_ = line_;
    std::size_t count = 0;
    for (;;) {
        if (count == cells.size()) {
            // Room for a typical cell from the start: the record's strings are reused for later
            // records (and passed around between them), so they should not have to grow there.
            cells.emplace_back();
            cells.back().reserve(kCellRoom);
        }
        std::string& cell = cells[count++];
        cell.clear();
        if (c == '"') {
            read_quoted(cell);
            c = read_plain(cell, get());
        } else {
            c = read_plain(cell, c);
        }
        if (c == ',') {
            c = get();
            continue;
        }
        if (c == '\r' && peek() == '\n') c = get();
        if (c == '\n' || c == '\r') ++line_;
        break;
    }
    cells.resize(count);
    return true;
}

}  // namespace fcltool
