#include "formula_items.h"

#include <cstring>

#include "fclib.h"
#include "function_names.h"
#include "value_text.h"

namespace fcltool {

namespace {

struct FlagWord {
    std::uint8_t bit;
    const char* word;
};

constexpr FlagWord kFlagWords[] = {
    {FCL_FLAG_AND, "and"},
    {FCL_FLAG_OR, "or"},
    {FCL_FLAG_COMPARISON, "comparison"},
    {FCL_FLAG_ARITHMETIC, "arithmetic"},
    {FCL_FLAG_FUNCTION, "function"},
    {FCL_FLAG_NAME, "name reference"},
    {FCL_FLAG_LEFT_NOT_NAME, "comparison on a non-name"},
    {FCL_FLAG_LEAF_COMPARISON, "comparison of two leaves"},
};

}  // namespace

std::size_t formula_length(const std::uint8_t* code) { return fcl_code_length(code); }

std::vector<FormulaItem> formula_items(const std::uint8_t* code, bool text_numbers) {
    std::vector<FormulaItem> items;
    std::size_t length = formula_length(code);
    if (length > FCL_MAX_CODE) length = FCL_MAX_CODE;
    std::size_t pos = FCL_CODE_HEADER;
    while (pos < length) {
        const std::size_t size = fcl_value_size(code + pos, length - pos, text_numbers);
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
