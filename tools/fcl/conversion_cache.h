// Recent conversions between the outside encoding and code page 932, per column: report data
// repeats its texts (a category, a customer name) and iconv costs far more than a lookup.
#pragma once

#include <array>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "text_codec.h"

namespace fcltool {

class ConversionCache {
public:
    explicit ConversionCache(TextCodec& codec) : codec_(codec) {}

    // As TextCodec::to_cp932, for a cell of the given column. `out` views either `in` itself
    // (text that needs no conversion) or the cache's copy, which stays valid until the next
    // conversion of the same column.
    bool to_cp932(std::size_t column, std::string_view in, std::string_view& out);

    // As TextCodec::to_outside, for a result of the given column; written into `out`.
    bool to_outside(std::size_t column, std::string_view in, std::string& out);

private:
    static constexpr std::size_t kSlots = 32;
    struct Entry {
        bool used = false;
        bool ok = false;
        std::string in;
        std::string out;
    };
    using Table = std::array<Entry, kSlots>;
    // A deque: a new column's table leaves the others in place, and with them the texts that
    // earlier results view.
    using Tables = std::deque<Table>;

    Entry& slot(Tables& tables, std::size_t column, std::string_view in);

    TextCodec& codec_;
    Tables inward_;
    Tables outward_;
};

}  // namespace fcltool
