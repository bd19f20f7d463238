// What the record loops of `fcl report` share, with one thread and with several.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fcltool {

// Records between progress lines.
constexpr std::uint64_t kProgressStep = 100000;

// The cells of a record read whole, as the views the evaluator takes.
inline void view(const std::vector<std::string>& record, std::vector<std::string_view>& views) {
    views.resize(record.size());
    for (std::size_t i = 0; i < record.size(); ++i) views[i] = record[i];
}

inline std::string unterminated_message(std::uint64_t line) {
    return "line " + std::to_string(line) + ": a quoted cell runs to the end of the input";
}

// Cell `index` of a record; empty where the record has no such cell.
inline const std::string& cell_of(const std::vector<std::string>& record, int index) {
    static const std::string kEmpty;
    return index >= 0 && static_cast<std::size_t>(index) < record.size() ? record[static_cast<std::size_t>(index)]
                                                                          : kEmpty;
}

}  // namespace fcltool
