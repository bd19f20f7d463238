// Reading compiled formulas: the header, the items in postfix order, and a readable listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fcltool {

struct FormulaItem {
    std::size_t offset;          // from the start of the compiled formula
    const std::uint8_t* bytes;   // the item's tagged value
    std::size_t size;
};

// Total length from the formula header.
std::size_t formula_length(const std::uint8_t* code);

// The items up to the terminating byte, each checked to lie within the formula's length.
std::vector<FormulaItem> formula_items(const std::uint8_t* code, bool text_numbers);

// One line of the listing: "number 3", "string "AB"", "field [Name]", "name Amount",
// "call 21 LEFT/2", ... Strings and names stay in code page 932.
std::string describe_item(const FormulaItem& item, bool text_numbers);

// The formula flags as words: "comparison, function".
std::string describe_flags(std::uint8_t flags);

// Function index of a call item, 0 for any other item.
unsigned call_index(const FormulaItem& item);

}  // namespace fcltool
