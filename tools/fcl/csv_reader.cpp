#include "csv_reader.h"

namespace fcltool {

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr std::size_t kCellRoom = 48;

}  // namespace

CsvReader::CsvReader(std::FILE* file) : cutter_(file) { skip_bom(); }

// A UTF-8 byte order mark before the header is not part of the first cell. It goes before the
// first block is cut, as a quote right after it opens a quoted cell.
void CsvReader::skip_bom() { cutter_.skip("\xEF\xBB\xBF"); }

void CsvReader::start_block(std::size_t size) {
    block_line_ += splitter_.lines();
    block_size_ = size;
    splitter_.reset(std::string_view(block_.data(), block_size_));
}

bool CsvReader::fill() {
    std::size_t size = 0;
    const bool got = cutter_.next(block_, size, kBlockSize);
    start_block(size);
    return got;
}

bool CsvReader::next_block(std::vector<char>& bytes, std::size_t& size, std::size_t target) {
    const std::size_t rest = block_size_ - splitter_.position();
    if (rest > 0) cutter_.put_back(block_.data() + splitter_.position(), rest);
    start_block(0);
    return cutter_.next(bytes, size, target);
}

bool CsvReader::rewind() {
    if (!cutter_.rewind()) return false;
    splitter_.reset({});
    block_size_ = 0;
    block_line_ = 1;
    unterminated_ = false;
    skip_bom();
    return true;
}

bool CsvReader::next(std::vector<std::string>& cells) {
    while (!splitter_.next(views_))
        if (!fill()) return false;
    record_line_ = block_line_ + splitter_.record_line();
    unterminated_ = unterminated_ || splitter_.unterminated();
    const std::size_t count = views_.size();
    while (cells.size() < count) {
        // Room for a typical cell from the start: the record's strings are reused for later
        // records (and passed around between them), so they should not have to grow there.
        cells.emplace_back();
        cells.back().reserve(kCellRoom);
    }
    cells.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        cells[i].clear();
        cells[i].append(views_[i]);  // not assign(), which allows for text overlapping the string
    }
    return true;
}

}  // namespace fcltool
