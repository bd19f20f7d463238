// Buffered writing to a stream: reports of a million rows go out in large blocks.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace fcltool {

class OutputSink {
public:
    explicit OutputSink(std::FILE* file) : file_(file) {}
    ~OutputSink() { flush(); }
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;

    void write(std::string_view text) {
        buffer_ += text;
        if (buffer_.size() >= kFlushSize) flush();
    }
    void put(char c) {
        buffer_ += c;
        if (buffer_.size() >= kFlushSize) flush();
    }
    void flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
        buffer_.clear();
        std::fflush(file_);
    }

private:
    static constexpr std::size_t kFlushSize = 1 << 16;
    std::FILE* file_;
    std::string buffer_;
};

}  // namespace fcltool
