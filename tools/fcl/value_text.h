// Tagged values (type byte + payload) as display text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fcltool {

// Number text of either encoding mode. Double-number mode: exact gives the shortest text that
// reads back as the same double, otherwise at most 15 significant digits (120.05, not
// 120.05000000000001); "nan", "inf", "-0" included. Text-number mode gives the payload, the
// decimal as computed, in plain decimal notation with no exponent and no trailing fraction zeros.
std::string number_text(const std::uint8_t* value, bool text_numbers, bool exact = true);

// A number payload ("150000000e-8", "1.500000000000000e+00") in plain decimal notation ("1.5").
// Text that is not a number, or whose exponent would make it absurdly long, comes back unchanged.
std::string plain_decimal(std::string_view payload);

// yyyymmdd as yyyy-mm-dd and hhmmss as hh:mm:ss; any other text as it is.
std::string date_text(std::string_view digits);
std::string time_text(std::string_view digits);

// The payload of a value of any type as display text (strings stay in code page 932).
std::string value_text(const std::uint8_t* value, bool text_numbers, bool exact = true);

// As value_text, appended to `out`: no allocation once `out` has room (the report's cells reuse
// their texts record after record).
void append_value_text(std::string& out, const std::uint8_t* value, bool text_numbers, bool exact = true);

// Makes a double-mode number of negative zero plain zero, so that no zero shows as "-0" (text
// numbers show none already); any other value stays as it is.
void drop_negative_zero(std::uint8_t* value, bool text_numbers);

// As plain_decimal, appended to `out`.
void append_plain_decimal(std::string& out, std::string_view payload);

}  // namespace fcltool
