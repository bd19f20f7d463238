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

std::string plain_decimal(std::string_view payload) {
    std::size_t pos = 0;
    const bool negative = pos < payload.size() && payload[pos] == '-';
    if (negative || (pos < payload.size() && payload[pos] == '+')) ++pos;
    std::string digits;
    long point = -1;
    for (; pos < payload.size(); ++pos) {
        const char c = payload[pos];
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == '.' && point < 0) {
            point = static_cast<long>(digits.size());
        } else {
            break;
        }
    }
    if (digits.empty()) return std::string(payload);
    if (point < 0) point = static_cast<long>(digits.size());
    if (pos < payload.size()) {
        if (payload[pos] != 'e' && payload[pos] != 'E') return std::string(payload);
        long exponent = 0;
        const char* first = payload.data() + pos + 1;
        if (first < payload.data() + payload.size() && *first == '+') ++first;
        const auto [end, error] = std::from_chars(first, payload.data() + payload.size(), exponent);
        if (error != std::errc() || end != payload.data() + payload.size()) return std::string(payload);
        if (exponent > kMaxPlainDigits || exponent < -kMaxPlainDigits) return std::string(payload);
        point += exponent;
    }
    // The value is `digits` with the decimal point after the first `point` of them.
    std::string integer;
    std::string fraction;
    const long count = static_cast<long>(digits.size());
    if (point <= 0) {
        integer = "0";
        fraction.assign(static_cast<std::size_t>(-point), '0');
        fraction += digits;
    } else if (point >= count) {
        integer = digits;
        integer.append(static_cast<std::size_t>(point - count), '0');
    } else {
        integer = digits.substr(0, static_cast<std::size_t>(point));
        fraction = digits.substr(static_cast<std::size_t>(point));
    }
    const auto first_nonzero = integer.find_first_not_of('0');
    integer = first_nonzero == std::string::npos ? "0" : integer.substr(first_nonzero);
    const auto last_nonzero = fraction.find_last_not_of('0');
    fraction = last_nonzero == std::string::npos ? "" : fraction.substr(0, last_nonzero + 1);
    std::string out;
    if (negative && (integer != "0" || !fraction.empty())) out += '-';
    out += integer;
    if (!fraction.empty()) out += '.' + fraction;
    return out;
}

std::string number_text(const std::uint8_t* value, bool text_numbers, bool exact) {
    if (text_numbers) return plain_decimal(payload_text(value));
    double number;
    std::memcpy(&number, value + 1, sizeof number);
    if (std::isnan(number)) return "nan";
    if (std::isinf(number)) return number < 0 ? "-inf" : "inf";
    char text[64];
    const auto result = exact ? std::to_chars(text, text + sizeof text, number)
                              : std::to_chars(text, text + sizeof text, number, std::chars_format::general, 15);
    return std::string(text, result.ptr);
}

std::string date_text(std::string_view digits) {
    if (digits.size() != 8 || !all_digits(digits)) return std::string(digits);
    std::string out(digits.substr(0, 4));
    out += '-';
    out += digits.substr(4, 2);
    out += '-';
    out += digits.substr(6, 2);
    return out;
}

std::string time_text(std::string_view digits) {
    if (digits.size() != 6 || !all_digits(digits)) return std::string(digits);
    std::string out(digits.substr(0, 2));
    out += ':';
    out += digits.substr(2, 2);
    out += ':';
    out += digits.substr(4, 2);
    return out;
}

std::string value_text(const std::uint8_t* value, bool text_numbers, bool exact) {
    switch (value[0]) {
        case FCL_T_STRING: return std::string(payload_text(value));
        case FCL_T_NUMBER: return number_text(value, text_numbers, exact);
        case FCL_T_LOGICAL: return value[1] ? "true" : "false";
        case FCL_T_TIME: return time_text(payload_text(value));
        case FCL_T_DATE: return date_text(payload_text(value));
        default: return "";
    }
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
