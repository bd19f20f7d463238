#include "functions/text_fields.h"

#include <cstring>

namespace fcl {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

TextField text_field(const char* text, std::size_t pos, std::size_t width) {
    const std::size_t length = strnlen(text, pos + width);
    if (length <= pos) return TextField{text + length, 0};
    return TextField{text + pos, length - pos};
}

std::int32_t field_value(TextField field) {
    std::size_t i = 0;
    while (i < field.length && is_blank(field.start[i])) ++i;
    bool negative = false;
    if (i < field.length && (field.start[i] == '-' || field.start[i] == '+')) negative = field.start[i++] == '-';
    std::int32_t value = 0;
    for (; i < field.length && is_digit(field.start[i]); ++i) value = value * 10 + (field.start[i] - '0');
    return negative ? -value : value;
}

bool all_digits(TextField field) {
    if (field.length == 0) return false;
    for (std::size_t i = 0; i < field.length; ++i)
        if (!is_digit(field.start[i])) return false;
    return true;
}

std::size_t write_zero_padded(char* out, TextField field, std::size_t width) {
    const std::size_t zeros = width - field.length;
    std::memset(out, '0', zeros);
    std::memcpy(out + zeros, field.start, field.length);
    return width;
}

}  // namespace fcl
