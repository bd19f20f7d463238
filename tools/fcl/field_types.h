// Field types: names, the optional type suffix of CSV headers, and recognising values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fcltool {

// Library type code for "string", "number", "logical", "time", "date"; 0 for anything else.
std::uint8_t type_from_name(std::string_view name);

// Name of a type mask: "number", or the names of its bits joined with "|".
std::string type_name(std::uint8_t mask);

// A CSV header cell split into field name and type: "Price:number" gives Price and number;
// without a known suffix the type is 0 (to be inferred) and the name is the whole cell.
struct HeaderField {
    std::string name;
    std::uint8_t type;
};
HeaderField split_header(std::string_view cell);

// Decimal number: optional sign, digits with an optional point, optional e exponent.
bool is_number_text(std::string_view text);

// yyyymmdd, yyyy/m/d or yyyy-m-d naming a real calendar day; writes the eight digits and NUL.
bool date_digits(std::string_view text, char out[9]);

// h:mm or h:mm:ss within a day; writes hhmmss and NUL.
bool time_digits(std::string_view text, char out[7]);

// true/false in any case, or 1/0.
bool logical_value(std::string_view text, bool& value);

// Infers a column's type from all its non-empty values. Dates are tried before numbers, so that
// a column of valid yyyymmdd days is a date column; a column with no values is a string column.
class TypeGuess {
public:
    void see(std::string_view text);
    std::uint8_t type() const;

private:
    bool any_ = false;
    bool date_ = true;
    bool number_ = true;
    bool time_ = true;
    bool logical_ = true;
};

}  // namespace fcltool
