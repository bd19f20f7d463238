#include "formula_items.h"

#include <cstring>

#include "fclib.h"
#include "function_names.h"
#include "value_text.h"

namespace fcltool {

namespace {

constexpr std::size_t kHeaderSize = 4;

// Size of the tagged value at `item`, 0 when none starts there or it would pass `limit` bytes.
std::size_t item_size(const std::uint8_t* item, std::size_t limit, bool text_numbers) {
    if (limit == 0) return 0;
    const auto text_length = [&](std::size_t extra) -> std::size_t {
        const std::size_t length = strnlen(reinterpret_cast<const char*>(item + 1), limit - 1);
        return length + extra <= limit ? length + extra : 0;
    };
    switch (item[0]) {
        case FCL_T_STRING: case FCL_T_TIME: case FCL_T_DATE: return text_length(2);
        case FCL_T_NUMBER: return text_numbers ? text_length(2) : (limit >= 9 ? 9 : 0);
        case FCL_T_LOGICAL: case FCL_T_FUNCTION: return limit >= 2 ? 2 : 0;
        case FCL_T_FIELD: case FCL_T_NAME: return text_length(4);
        default: return 0;
    }
}

struct FlagWord {
    std::uint8_t bit;
    const char* word;
};

constexpr FlagWord kFlagWords[] = {
    {0x01, "and"},
    {0x02, "or"},
    {0x04, "comparison"},
    {0x08, "arithmetic"},
    {0x10, "function"},
    {0x20, "name reference"},
    {0x40, "comparison on a non-name"},
    {0x80, "comparison of two leaves"},
};

}  // namespace

std::size_t formula_length(const std::uint8_t* code) {
    return static_cast<std::size_t>(code[2]) | static_cast<std::size_t>(code[3]) << 8;
}

std::vector<FormulaItem> formula_items(const std::uint8_t* code, bool text_numbers) {
    std::vector<FormulaItem> items;
    std::size_t length = formula_length(code);
    if (length > FCL_MAX_CODE) length = FCL_MAX_CODE;
    std::size_t pos = kHeaderSize;
    while (pos < length) {
        const std::size_t size = item_size(code + pos, length - pos, text_numbers);
        if (size == 0) break;
        items.push_back({pos, code + pos, size});
        pos += size;
    }
    return items;
}

unsigned call_index(const FormulaItem& item) { return item.bytes[0] == FCL_T_FUNCTION ? item.bytes[1] : 0; }

std::string describe_item(const FormulaItem& item, bool text_numbers) {
    const std::uint8_t* value = item.bytes;
    const char* text = reinterpret_cast<const char*>(value + 1);
    switch (value[0]) {
        case FCL_T_STRING: return std::string("string \"") + text + "\"";
        case FCL_T_NUMBER: {
            std::string line = "number " + number_text(value, text_numbers);
            if (text_numbers && plain_decimal(text) != text) line += std::string(" (payload ") + text + ")";
            return line;
        }
        case FCL_T_FIELD: return std::string("field [") + text + "]";
        case FCL_T_NAME: return std::string("name ") + text;
        case FCL_T_FUNCTION: {
            const FunctionName* function = function_name(value[1]);
            std::string line = "call " + std::to_string(value[1]) + " ";
            if (!function) return line + "(no such function)";
            return line + function->name + "/" + std::to_string(function->argc);
        }
        default: return std::string(value_type_word(value[0])) + " " + value_text(value, text_numbers);
    }
}

std::string describe_flags(std::uint8_t flags) {
    std::string out;
    for (const auto& entry : kFlagWords) {
        if (!(flags & entry.bit)) continue;
        if (!out.empty()) out += ", ";
        out += entry.word;
    }
    return out.empty() ? "none" : out;
}

}  // namespace fcltool
