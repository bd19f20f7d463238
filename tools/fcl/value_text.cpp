#include "value_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "fclib.h"

namespace fcltool {

namespace {

// Longest plain text produced from a payload; beyond it the payload is shown as written.
constexpr long kMaxPlainDigits = 400;

bool all_digits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The text after the type byte; a value never exceeds FCL_MAX_VALUE bytes.
std::string_view payload_text(const std::uint8_t* value) {
    const char* text = reinterpret_cast<const char*>(value + 1);
    return std::string_view(text, strnlen(text, FCL_MAX_VALUE - 1));
}

}  // namespace

void append_plain_decimal(std::string& out, std::string_view payload) {
    // The digits are read into a fixed array (a payload is never longer than a value), so that
    // no temporary string is built.
    char digits[FCL_MAX_VALUE];
    long count = 0;
    std::size_t pos = 0;
    const bool negative = pos < payload.size() && payload[pos] == '-';
    if (negative || (pos < payload.size() && payload[pos] == '+')) ++pos;
    long point = -1;
    for (; pos < payload.size(); ++pos) {
        const char c = payload[pos];
        if (c >= '0' && c <= '9') {
            if (count == static_cast<long>(sizeof digits)) return static_cast<void>(out.append(payload));
            digits[count++] = c;
        } else if (c == '.' && point < 0) {
            point = count;
        } else {
            break;
        }
    }
    if (count == 0) return static_cast<void>(out.append(payload));
    if (point < 0) point = count;
    if (pos < payload.size()) {
        if (payload[pos] != 'e' && payload[pos] != 'E') return static_cast<void>(out.append(payload));
        long exponent = 0;
        const char* first = payload.data() + pos + 1;
        if (first < payload.data() + payload.size() && *first == '+') ++first;
        const auto [end, error] = std::from_chars(first, payload.data() + payload.size(), exponent);
        if (error != std::errc() || end != payload.data() + payload.size()) return static_cast<void>(out.append(payload));
        if (exponent > kMaxPlainDigits || exponent < -kMaxPlainDigits) return static_cast<void>(out.append(payload));
        point += exponent;
    }
    // The value is `digits` with the decimal point after the first `point` of them; positions
    // outside the digits (before the first, after the last) are zeros.
    const auto digit = [&](long i) { return i >= 0 && i < count ? digits[i] : '0'; };
    long integer_first = 0;
    while (integer_first < point && digit(integer_first) == '0') ++integer_first;
    long fraction_end = count;
    while (fraction_end > point && digit(fraction_end - 1) == '0') --fraction_end;
    const bool has_integer = integer_first < point;
    const bool has_fraction = fraction_end > point;
    if (negative && (has_integer || has_fraction)) out += '-';
    if (!has_integer) out += '0';
    for (long i = integer_first; i < point; ++i) out += digit(i);
    if (!has_fraction) return;
    out += '.';
    for (long i = point; i < fraction_end; ++i) out += digit(i);
}

std::string plain_decimal(std::string_view payload) {
    std::string out;
    append_plain_decimal(out, payload);
    return out;
}

namespace {

void append_number_text(std::string& out, const std::uint8_t* value, bool text_numbers, bool exact) {
    if (text_numbers) return append_plain_decimal(out, payload_text(value));
    double number;
    std::memcpy(&number, value + 1, sizeof number);
    if (std::isnan(number)) return static_cast<void>(out += "nan");
    if (std::isinf(number)) return static_cast<void>(out += number < 0 ? "-inf" : "inf");
    char text[64];
    const auto result = exact ? std::to_chars(text, text + sizeof text, number)
                              : std::to_chars(text, text + sizeof text, number, std::chars_format::general, 15);
    out.append(text, result.ptr);
}

// yyyymmdd as yyyy-mm-dd (hhmmss as hh:mm:ss with `mark` ':' and groups 2, 2, 2).
void append_digit_groups(std::string& out, std::string_view digits, std::size_t size, char mark,
                         std::size_t first, std::size_t second) {
    if (digits.size() != size || !all_digits(digits)) return static_cast<void>(out.append(digits));
    out.append(digits.substr(0, first));
    out += mark;
    out.append(digits.substr(first, second));
    out += mark;
    out.append(digits.substr(first + second));
}

}  // namespace

std::string number_text(const std::uint8_t* value, bool text_numbers, bool exact) {
    std::string out;
    append_number_text(out, value, text_numbers, exact);
    return out;
}

std::string date_text(std::string_view digits) {
    std::string out;
    append_digit_groups(out, digits, 8, '-', 4, 2);
    return out;
}

std::string time_text(std::string_view digits) {
    std::string out;
    append_digit_groups(out, digits, 6, ':', 2, 2);
    return out;
}

void append_value_text(std::string& out, const std::uint8_t* value, bool text_numbers, bool exact) {
    switch (value[0]) {
        case FCL_T_STRING: out.append(payload_text(value)); return;
        case FCL_T_NUMBER: append_number_text(out, value, text_numbers, exact); return;
        case FCL_T_LOGICAL: out += value[1] ? "true" : "false"; return;
        case FCL_T_TIME: append_digit_groups(out, payload_text(value), 6, ':', 2, 2); return;
        case FCL_T_DATE: append_digit_groups(out, payload_text(value), 8, '-', 4, 2); return;
        default: return;
    }
}

std::string value_text(const std::uint8_t* value, bool text_numbers, bool exact) {
    std::string out;
    append_value_text(out, value, text_numbers, exact);
    return out;
}

const char* value_type_word(std::uint8_t type) {
    switch (type) {
        case FCL_T_STRING: return "string";
        case FCL_T_NUMBER: return "number";
        case FCL_T_LOGICAL: return "logical";
        case FCL_T_TIME: return "time";
        case FCL_T_DATE: return "date";
        default: return "invalid";
    }
}

}  // namespace fcltool
