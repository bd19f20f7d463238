#include "report_input.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "field_types.h"

namespace fcltool {

ReportInput::~ReportInput() {
    if (owned_ && file_) std::fclose(file_);
}

bool ReportInput::open(const std::string& path, TextCodec& codec, std::string& error) {
    if (path == "-") {
        file_ = stdin;
    } else {
        file_ = std::fopen(path.c_str(), "rb");
        owned_ = file_ != nullptr;
    }
    if (!file_) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode)) size_ = static_cast<std::uint64_t>(info.st_size);
    reader_ = std::make_unique<CsvReader>(file_);
    std::vector<std::string> header;
    if (!reader_->next(header) || reader_->unterminated()) {
        error = path + (header.empty() ? " has no header row" : ": the header row has an unterminated quote");
        return false;
    }
    bool infer = false;
    for (const auto& cell : header) {
        HeaderField field = split_header(cell);
        std::string name;
        if (!codec.to_cp932(field.name, name)) {
            error = "header \"" + field.name + "\": text that code page 932 cannot hold";
            return false;
        }
        for (const auto& earlier : fields_) {
            if (earlier.name == name) {
                error = "header \"" + field.name + "\" appears twice";
                return false;
            }
        }
        infer = infer || field.type == 0;
        fields_.push_back({field.name, name, field.type});
    }
    if (!infer) return true;
    if (path == "-") {
        error = "standard input is read once: give every header a type (Name:number, ...)";
        return false;
    }
    return infer_types(error);
}

// A first pass over all records; the second pass starts after the header again.
bool ReportInput::infer_types(std::string& error) {
    std::vector<TypeGuess> guesses(fields_.size());
    std::vector<std::string> cells;
    while (reader_->next(cells))
        for (std::size_t i = 0; i < cells.size() && i < guesses.size(); ++i) guesses[i].see(cells[i]);
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].type == 0) fields_[i].type = guesses[i].type();
    if (!reader_->rewind() || !reader_->next(cells)) {
        error = "cannot read the input a second time";
        return false;
    }
    return true;
}

}  // namespace fcltool
