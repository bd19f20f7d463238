#include "field_types.h"

#include "fclib.h"

namespace fcltool {

namespace {

struct TypeEntry {
    const char* name;
    std::uint8_t type;
};

constexpr TypeEntry kTypes[] = {
    {"string", FCL_T_STRING}, {"number", FCL_T_NUMBER}, {"logical", FCL_T_LOGICAL},
    {"time", FCL_T_TIME},     {"date", FCL_T_DATE},
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads 1..max_digits digits at pos; false when there is none.
bool read_int(std::string_view text, std::size_t& pos, std::size_t max_digits, int& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && is_digit(text[pos]) && pos - start < max_digits)
        value = value * 10 + (text[pos++] - '0');
    return pos > start;
}

// Writes value as `width` digits with leading zeros (values here never need more).
char* put_digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
    return out + width;
}

bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool real_day(int year, int month, int day) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    return day <= kDays[month - 1] + (month == 2 && leap(year) ? 1 : 0);
}

}  // namespace

std::uint8_t type_from_name(std::string_view name) {
    for (const auto& entry : kTypes)
        if (name == entry.name) return entry.type;
    return 0;
}

std::string type_name(std::uint8_t mask) {
    std::string out;
    for (const auto& entry : kTypes) {
        if (!(mask & entry.type)) continue;
        if (!out.empty()) out += '|';
        out += entry.name;
    }
    return out.empty() ? "none" : out;
}

HeaderField split_header(std::string_view cell) {
    const auto colon = cell.rfind(':');
    if (colon != std::string_view::npos) {
        const std::uint8_t type = type_from_name(cell.substr(colon + 1));
        if (type) return {std::string(cell.substr(0, colon)), type};
    }
    return {std::string(cell), 0};
}

bool is_number_text(std::string_view text) {
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    std::size_t digits = 0;
    while (pos < text.size() && is_digit(text[pos])) ++pos, ++digits;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && is_digit(text[pos])) ++pos, ++digits;
    }
    if (digits == 0) return false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
        std::size_t exponent_digits = 0;
        while (pos < text.size() && is_digit(text[pos])) ++pos, ++exponent_digits;
        if (exponent_digits == 0) return false;
    }
    return pos == text.size();
}

bool date_digits(std::string_view text, char out[9]) {
    int year = 0, month = 0, day = 0;
    std::size_t pos = 0;
    if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string_view::npos) {
        if (!read_int(text, pos, 4, year) || !read_int(text, pos, 2, month) || !read_int(text, pos, 2, day) ||
            pos != 8)
            return false;
    } else {
        if (!read_int(text, pos, 4, year) || pos != 4 || pos == text.size()) return false;
        const char separator = text[pos];
        if (separator != '/' && separator != '-') return false;
        ++pos;
        if (!read_int(text, pos, 2, month) || pos == text.size() || text[pos] != separator) return false;
        ++pos;
        if (!read_int(text, pos, 2, day) || pos != text.size()) return false;
    }
    if (!real_day(year, month, day)) return false;
    *put_digits(put_digits(put_digits(out, year, 4), month, 2), day, 2) = 0;
    return true;
}

bool time_digits(std::string_view text, char out[7]) {
    int hour = 0, minute = 0, second = 0;
    std::size_t pos = 0;
    if (!read_int(text, pos, 2, hour) || pos == text.size() || text[pos] != ':') return false;
    ++pos;
    const std::size_t minute_start = pos;
    if (!read_int(text, pos, 2, minute) || pos - minute_start != 2) return false;
    if (pos < text.size()) {
        if (text[pos] != ':') return false;
        ++pos;
        const std::size_t second_start = pos;
        if (!read_int(text, pos, 2, second) || pos - second_start != 2) return false;
    }
    if (pos != text.size() || hour > 23 || minute > 59 || second > 59) return false;
    *put_digits(put_digits(put_digits(out, hour, 2), minute, 2), second, 2) = 0;
    return true;
}

bool logical_value(std::string_view text, bool& value) {
    auto equals = [&](const char* word) {
        std::size_t i = 0;
        for (; word[i]; ++i) {
            if (i >= text.size()) return false;
            char c = text[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != word[i]) return false;
        }
        return i == text.size();
    };
    if (equals("true") || text == "1") {
        value = true;
        return true;
    }
    if (equals("false") || text == "0") {
        value = false;
        return true;
    }
    return false;
}

void TypeGuess::see(std::string_view text) {
    if (text.empty()) return;
    any_ = true;
    char date[9];
    char time[7];
    bool flag = false;
    if (date_ && !date_digits(text, date)) date_ = false;
    if (number_ && !is_number_text(text)) number_ = false;
    if (time_ && !time_digits(text, time)) time_ = false;
    // 1 and 0 are numbers first; only the words make a logical column.
    if (logical_ && (!logical_value(text, flag) || text == "1" || text == "0")) logical_ = false;
}

std::uint8_t TypeGuess::type() const {
    if (!any_) return FCL_T_STRING;
    if (date_) return FCL_T_DATE;
    if (number_) return FCL_T_NUMBER;
    if (time_) return FCL_T_TIME;
    if (logical_) return FCL_T_LOGICAL;
    return FCL_T_STRING;
}

}  // namespace fcltool
