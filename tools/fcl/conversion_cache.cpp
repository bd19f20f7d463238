#include "conversion_cache.h"

#include <functional>

namespace fcltool {

ConversionCache::Entry& ConversionCache::slot(Tables& tables, std::size_t column, std::string_view in) {
    if (column >= tables.size()) tables.resize(column + 1);
    return tables[column][std::hash<std::string_view>{}(in) % kSlots];
}

bool ConversionCache::to_cp932(std::size_t column, std::string_view in, std::string_view& out) {
    if (codec_.raw() || is_ascii(in)) {
        out = in;
        return true;
    }
    Entry& entry = slot(inward_, column, in);
    if (!entry.used || entry.in != in) {
        // A failed conversion is not kept: the run stops at it.
        if (!codec_.to_cp932(in, entry.out)) {
            entry.used = false;
            return false;
        }
        entry.used = true;
        entry.in.assign(in);
    }
    out = entry.out;
    return true;
}

bool ConversionCache::to_outside(std::size_t column, std::string_view in, std::string& out) {
    if (codec_.raw() || is_ascii(in)) {
        out.assign(in);
        return true;
    }
    Entry& entry = slot(outward_, column, in);
    if (!entry.used || entry.in != in) {
        entry.ok = codec_.to_outside(in, entry.out);
        entry.used = true;
        entry.in.assign(in);
    }
    out.assign(entry.out);
    return entry.ok;
}

}  // namespace fcltool
