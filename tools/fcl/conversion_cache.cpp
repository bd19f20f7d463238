#include "conversion_cache.h"

#include <functional>

namespace fcltool {

bool ConversionCache::to_cp932(std::size_t column, std::string_view in, std::string& out) {
    if (codec_.raw() || is_ascii(in)) return codec_.to_cp932(in, out);
    if (column >= columns_.size()) columns_.resize(column + 1);
    Entry& entry = columns_[column][std::hash<std::string_view>{}(in) % kSlots];
    if (entry.used && entry.in == in) {
        out = entry.out;
        return true;
    }
    if (!codec_.to_cp932(in, out)) return false;
    entry.used = true;
    entry.in.assign(in);
    entry.out = out;
    return true;
}

}  // namespace fcltool
