// Recent conversions to code page 932, per input column: report data repeats its texts (a
// category, a customer name) and iconv costs far more than a lookup.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "text_codec.h"

namespace fcltool {

class ConversionCache {
public:
    explicit ConversionCache(TextCodec& codec) : codec_(codec) {}

    // As TextCodec::to_cp932, for a cell of the given column.
    bool to_cp932(std::size_t column, std::string_view in, std::string& out);

private:
    static constexpr std::size_t kSlots = 32;
    struct Entry {
        bool used = false;
        std::string in;
        std::string out;
    };

    TextCodec& codec_;
    std::vector<std::array<Entry, kSlots>> columns_;
};

}  // namespace fcltool
