// Reading CSV: the grammar's record breaks, the blocks of whole records, the splitting of a
// block into cells, the streaming reader, and the report's input file with its header row and
// field types.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "report.h"

namespace fcltool {

// ---- Record breaks ----------------------------------------------------------------------

void RecordBreaks::reset() {
    scanned_ = 0;
    cut_ = 0;
    quoted_ = false;
}

std::size_t RecordBreaks::scan(const char* data, std::size_t size) {
    while (scanned_ < size) {
        const auto* quote = static_cast<const char*>(std::memchr(data + scanned_, '"', size - scanned_));
        const std::size_t at = quote ? static_cast<std::size_t>(quote - data) : size;
        if (!quoted_) {
            find_break(data, scanned_, at, size);
            if (!quote) {
                scanned_ = size;
                break;
            }
            // The run starts at a record's start, as after a line break.
            const char before = at > 0 ? data[at - 1] : '\n';
            quoted_ = before == ',' || before == '\n' || before == '\r';
            scanned_ = at + 1;
        } else if (!quote) {
            scanned_ = size;
        } else if (at + 1 == size) {
            // A closing or a doubled quote: the next byte, not read yet, tells.
            scanned_ = at;
            break;
        } else {
            quoted_ = data[at + 1] == '"';
            scanned_ = at + (quoted_ ? 2 : 1);
        }
    }
    return cut_;
}

// A CR ends a record only when no LF follows, so one at the run's end waits for the next byte.
void RecordBreaks::find_break(const char* data, std::size_t from, std::size_t to, std::size_t size) {
    for (std::size_t i = to; i > from; --i) {
        const char c = data[i - 1];
        if (c == '\n' || (c == '\r' && i < size)) {
            cut_ = i;
            return;
        }
    }
}

// ---- Blocks -----------------------------------------------------------------------------

bool BlockCutter::next(std::vector<char>& bytes, std::size_t& size, std::size_t target) {
    if (bytes.size() < target) bytes.resize(target);
    size = 0;
    breaks_.reset();
    std::size_t cut = 0;
    for (;;) {
        if (size == bytes.size()) {
            if (cut > 0) break;
            bytes.resize(bytes.size() * 2);  // a record longer than the block
        }
        const std::size_t got = read(bytes.data() + size, bytes.size() - size);
        if (got == 0) {
            cut = size;  // the end of the input ends its last record
            break;
        }
        size += got;
        cut = breaks_.scan(bytes.data(), size);
    }
    offset_ += size;
    put_back(bytes.data() + cut, size - cut);
    size = cut;
    return size > 0;
}

// Bytes put back go where the ones just read from the carry were, if there is room, so that a
// block's tail costs one copy of its own length.
void BlockCutter::put_back(const char* data, std::size_t size) {
    offset_ -= size;
    if (size <= carry_start_) {
        carry_start_ -= size;
        std::copy(data, data + size, carry_.begin() + static_cast<std::ptrdiff_t>(carry_start_));
        return;
    }
    carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(carry_start_));
    carry_.insert(carry_.begin(), data, data + size);
    carry_start_ = 0;
}

void BlockCutter::skip(std::string_view prefix) {
    std::string head(prefix.size(), '\0');
    std::size_t size = 0;
    while (size < head.size()) {
        const std::size_t got = read(head.data() + size, head.size() - size);
        if (got == 0) break;
        size += got;
    }
    offset_ += size;
    if (std::string_view(head.data(), size) != prefix) put_back(head.data(), size);
}

bool BlockCutter::rewind() {
    if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
    carry_.clear();
    carry_start_ = 0;
    offset_ = 0;
    return true;
}

std::size_t BlockCutter::read(char* out, std::size_t size) {
    if (carry_start_ == carry_.size()) return std::fread(out, 1, size, file_);
    const std::size_t count = std::min(size, carry_.size() - carry_start_);
    std::memcpy(out, carry_.data() + carry_start_, count);
    carry_start_ += count;
    return count;
}

// ---- Records ----------------------------------------------------------------------------

void RecordSplitter::reset(std::string_view block) {
    block_ = block;
    pos_ = 0;
    line_ = 0;
    record_line_ = 0;
    unterminated_ = false;
}

int RecordSplitter::take() { return pos_ < block_.size() ? static_cast<unsigned char>(block_[pos_++]) : -1; }

std::string& RecordSplitter::copy_of(std::size_t index, std::string_view start) {
    if (copies_.size() <= index) copies_.resize(index + 1);
    copied_.push_back(index);
    return copies_[index].assign(start);
}

// The bytes that end a cell all sort at or below the comma, which most bytes of a cell are not.
int RecordSplitter::plain_cell(std::string_view& cell) {
    const char* const data = block_.data();
    const std::size_t size = block_.size();
    const std::size_t start = pos_;
    std::size_t end = start;
    while (end < size && (static_cast<unsigned char>(data[end]) > ',' || !separator(data[end]))) ++end;
    cell = std::string_view(data + start, end - start);
    pos_ = end;
    return take();
}

// Up to the closing quote, with "" standing for one quote; text between the closing quote and
// the next separator is kept as it is (a lenient reading of bad input).
int RecordSplitter::quoted_cell(std::string_view& cell, std::size_t index) {
    const std::size_t start = ++pos_;
    std::size_t end = block_.size();
    std::string* copy = nullptr;
    while (pos_ < block_.size()) {
        const char c = block_[pos_++];
        if (c == '"') {
            if (pos_ == block_.size() || block_[pos_] != '"') {
                end = pos_ - 1;
                break;
            }
            if (copy) {
                *copy += c;
            } else {
                copy = &copy_of(index, block_.substr(start, pos_ - start));
            }
            ++pos_;
            continue;
        }
        if (ends_line(pos_ - 1)) ++line_;
        if (copy) *copy += c;
    }
    unterminated_ = end == block_.size();
    if (!copy) cell = block_.substr(start, end - start);
    const int next = take();
    if (next < 0 || separator(static_cast<char>(next))) return next;
    if (!copy) copy = &copy_of(index, cell);
    *copy += static_cast<char>(next);
    std::string_view rest;
    const int after = plain_cell(rest);
    copy->append(rest);
    return after;
}

// An LF, or a CR that no LF follows: CR LF is one line break, and so is a CR alone.
bool RecordSplitter::ends_line(std::size_t at) const {
    return block_[at] == '\n' || (block_[at] == '\r' && (at + 1 == block_.size() || block_[at + 1] != '\n'));
}

bool RecordSplitter::next(std::vector<std::string_view>& cells) {
    while (pos_ < block_.size() && (block_[pos_] == '\n' || block_[pos_] == '\r')) {
        if (ends_line(pos_)) ++line_;
        ++pos_;
    }
    if (pos_ == block_.size()) return false;
    record_line_ = line_;
    cells.clear();
    copied_.clear();
    for (;;) {
        const std::size_t index = cells.size();
        cells.emplace_back();
        int c = pos_ < block_.size() && block_[pos_] == '"' ? quoted_cell(cells.back(), index)
                                                            : plain_cell(cells.back());
        if (c == ',') continue;
        if (c == '\r' && pos_ < block_.size() && block_[pos_] == '\n') c = take();
        if (c == '\n' || c == '\r') ++line_;
        break;
    }
    for (const std::size_t index : copied_) cells[index] = copies_[index];
    return true;
}

// ---- The reader -------------------------------------------------------------------------

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

// ---- The report's input -----------------------------------------------------------------

ReportInput::~ReportInput() {
    if (owned_ && file_) std::fclose(file_);
}

std::FILE* open_input_file(const std::string& path, std::string& error) {
    std::error_code failed;
    if (std::filesystem::is_directory(path, failed)) {
        error = "cannot open " + path + ": Is a directory";
        return nullptr;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) error = "cannot open " + path + ": " + std::strerror(errno);
    return file;
}

int ReportInput::open(const std::string& path, TextCodec& input, TextCodec& terminal, std::string& error) {
    if (path == "-") {
        file_ = stdin;
    } else {
        file_ = open_input_file(path, error);
        owned_ = file_ != nullptr;
    }
    if (!file_) return kExitUsage;
    struct stat info {};
    if (fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode)) size_ = static_cast<std::uint64_t>(info.st_size);
    reader_ = std::make_unique<CsvReader>(file_);
    std::vector<std::string> header;
    if (!reader_->next(header) || reader_->unterminated()) {
        error = path + (header.empty() ? " has no header row" : ": the header row has an unterminated quote");
        return kExitFormula;
    }
    bool infer = false;
    for (const auto& cell : header) {
        HeaderField field = split_header(cell);
        std::string name;
        Unmappable problem;
        if (!input.to_cp932(field.name, name, problem, false)) {
            error = "header \"" + recoded(field.name, input, terminal) + "\": " + problem.phrase(!terminal.raw());
            return kExitFormula;
        }
        const std::string label = recoded(field.name, input, terminal);
        for (const auto& earlier : fields_) {
            if (earlier.name == name) {
                error = "header \"" + label + "\" appears twice";
                return kExitFormula;
            }
        }
        infer = infer || field.type == 0;
        fields_.push_back({label, name, field.type});
    }
    if (!infer) return kExitOk;
    if (path == "-") {
        error = "standard input is read once: give every header a type (Name:number, ...)";
        return kExitUsage;
    }
    return infer_types(error) ? kExitOk : kExitFormula;
}

// A first pass over all records; the second pass starts after the header again.
bool ReportInput::infer_types(std::string& error) {
    std::vector<TypeGuess> guesses(fields_.size());
    std::vector<std::string> cells;
    while (reader_->next(cells))
        for (std::size_t i = 0; i < cells.size() && i < guesses.size(); ++i) guesses[i].see(cells[i]);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].type != 0) continue;
        fields_[i].type = guesses[i].type();
        fields_[i].inferred = true;
        fields_[i].leading_zeros = fields_[i].type == FCL_T_NUMBER && guesses[i].leading_zeros();
    }
    if (!reader_->rewind() || !reader_->next(cells)) {
        error = "cannot read the input a second time";
        return false;
    }
    return true;
}

}  // namespace fcltool
