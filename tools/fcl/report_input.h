// The report's CSV input: the header row, the field types (declared or inferred from a first
// pass over the file), then the records one at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "csv_reader.h"
#include "text_codec.h"

namespace fcltool {

struct InputField {
    std::string label;  // header name as written
    std::string name;   // code page 932, as formulas name it
    std::uint8_t type;
};

class ReportInput {
public:
    ReportInput() = default;
    ~ReportInput();
    ReportInput(const ReportInput&) = delete;
    ReportInput& operator=(const ReportInput&) = delete;

    // Opens the file ("-": standard input, which needs a type on every header), reads the
    // header and settles the field types; false with a message.
    bool open(const std::string& path, TextCodec& codec, std::string& error);

    CsvReader& reader() { return *reader_; }
    const std::vector<InputField>& fields() const { return fields_; }
    // Input size in bytes, 0 when unknown (for progress).
    std::uint64_t size() const { return size_; }

private:
    bool infer_types(std::string& error);

    std::FILE* file_ = nullptr;
    bool owned_ = false;
    std::unique_ptr<CsvReader> reader_;
    std::vector<InputField> fields_;
    std::uint64_t size_ = 0;
};

}  // namespace fcltool
