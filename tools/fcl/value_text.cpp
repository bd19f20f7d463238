#include "value_text.h"

#include <algorithm>
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

// "%.15g" of a finite double. Where the shortest text that reads back as a normal double has at
// most fifteen digits, those are the digits the fifteen-digit rounding gives (the double lies
// within 1.2e-16 of that text, relative, and fifteen-digit values lie at least 5e-16 apart),
// and the shortest text costs a fraction of the rounded one. Longer texts and subnormal
// doubles (which lie further from their shortest text) take the long way.
void append_fifteen_digits(std::string& out, double number) {
    constexpr int kPrecision = 15;
    char text[64];
    // Whole numbers of up to fifteen digits, most report values, are written as integers.
    if (std::abs(number) < 1e15 && std::trunc(number) == number) {
        if (std::signbit(number)) out += '-';
        const auto whole = static_cast<long long>(std::abs(number));
        return static_cast<void>(out.append(text, std::to_chars(text, text + sizeof text, whole).ptr));
    }
    char* end = std::to_chars(text, text + sizeof text, number, std::chars_format::scientific).ptr;
    // [-]d[.ddd]e(+|-)xx
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    char digits[20];
    int count = 0;
    for (; *p != 'e'; ++p)
        if (*p != '.' && count < kPrecision + 1) digits[count++] = *p;
    int exponent = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
    if (count > kPrecision || (number != 0.0 && !std::isnormal(number))) {
        end = std::to_chars(text, text + sizeof text, number, std::chars_format::general, kPrecision).ptr;
        return static_cast<void>(out.append(text, end));
    }
    if (negative) out += '-';
    if (exponent < -4 || exponent >= kPrecision) {
        out += digits[0];
        if (count > 1) {
            out += '.';
            out.append(digits + 1, static_cast<std::size_t>(count - 1));
        }
        out += exponent < 0 ? "e-" : "e+";
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10) out += '0';
        end = std::to_chars(text, text + sizeof text, magnitude).ptr;
        return static_cast<void>(out.append(text, end));
    }
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        return static_cast<void>(out.append(digits, static_cast<std::size_t>(count)));
    }
    const int whole = exponent + 1;
    out.append(digits, static_cast<std::size_t>(std::min(count, whole)));
    if (count <= whole) return static_cast<void>(out.append(static_cast<std::size_t>(whole - count), '0'));
    out += '.';
    out.append(digits + whole, static_cast<std::size_t>(count - whole));
}

void append_number_text(std::string& out, const std::uint8_t* value, bool text_numbers, bool exact) {
    if (text_numbers) return append_plain_decimal(out, payload_text(value));
    double number;
    std::memcpy(&number, value + 1, sizeof number);
    if (std::isnan(number)) return static_cast<void>(out += "nan");
    if (std::isinf(number)) return static_cast<void>(out += number < 0 ? "-inf" : "inf");
    if (!exact) return append_fifteen_digits(out, number);
    char text[64];
    out.append(text, std::to_chars(text, text + sizeof text, number).ptr);
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

void drop_negative_zero(std::uint8_t* value, bool text_numbers) {
    if (text_numbers || value[0] != FCL_T_NUMBER) return;
    double number;
    std::memcpy(&number, value + 1, sizeof number);
    if (number != 0.0 || !std::signbit(number)) return;
    number = 0.0;
    std::memcpy(value + 1, &number, sizeof number);
}

std::string value_text(const std::uint8_t* value, bool text_numbers, bool exact) {
    std::string out;
    append_value_text(out, value, text_numbers, exact);
    return out;
}

}  // namespace fcltool
