// The field host: the library's field callback over the cells of the current record and the
// results of earlier columns, the aggregate protocol, and the field types: their names, the
// type suffix of CSV headers, and reading cell texts as values of a type.
#include <algorithm>
#include <charconv>
#include <cstring>

#include "fcl.h"

namespace fcltool {

// ---- Type names -------------------------------------------------------------------------

namespace {

struct TypeName {
    std::uint8_t type;
    const char* name;
};

constexpr TypeName kTypeNames[] = {
    {FCL_T_STRING, "string"}, {FCL_T_NUMBER, "number"}, {FCL_T_LOGICAL, "logical"},
    {FCL_T_TIME, "time"},     {FCL_T_DATE, "date"},
};

}  // namespace

std::uint8_t type_from_name(std::string_view name) {
    for (const auto& entry : kTypeNames)
        if (name == entry.name) return entry.type;
    return 0;
}

const char* value_type_word(std::uint8_t type) {
    for (const auto& entry : kTypeNames)
        if (type == entry.type) return entry.name;
    return "invalid";
}

std::string type_mask_words(std::uint16_t mask) {
    std::string out;
    for (const auto& entry : kTypeNames) {
        if (!(mask & entry.type)) continue;
        if (!out.empty()) out += '|';
        out += entry.name;
    }
    return out.empty() ? "none" : out;
}

std::string type_words_phrase() {
    constexpr std::size_t kCount = sizeof kTypeNames / sizeof kTypeNames[0];
    std::string out;
    for (std::size_t i = 0; i < kCount; ++i) {
        if (i > 0) out += i + 1 < kCount ? ", " : " or ";
        out += kTypeNames[i].name;
    }
    return out;
}

HeaderField split_header(std::string_view cell) {
    const auto colon = cell.rfind(':');
    if (colon != std::string_view::npos) {
        const std::uint8_t type = type_from_name(cell.substr(colon + 1));
        if (type) return {std::string(cell.substr(0, colon)), type};
    }
    return {std::string(cell), 0};
}

// ---- Cell texts as values ---------------------------------------------------------------

namespace {

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

// Decimal number: optional sign, digits with an optional point, optional e exponent.
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

// yyyymmdd, yyyy/m/d or yyyy-m-d naming a real calendar day; writes the eight digits and NUL.
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

// h:mm or h:mm:ss within a day; writes hhmmss and NUL.
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

// true/false in any case, Y/N in either case (as formulas write logicals), or 1/0.
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
    if (equals("true") || equals("y") || text == "1") {
        value = true;
        return true;
    }
    if (equals("false") || equals("n") || text == "0") {
        value = false;
        return true;
    }
    return false;
}

}  // namespace

void TypeGuess::see(std::string_view text) {
    if (text.empty()) return;
    any_ = true;
    char date[9];
    char time[7];
    bool flag = false;
    if (date_ && !date_digits(text, date)) date_ = false;
    if (number_ && !is_number_text(text)) number_ = false;
    if (time_ && !time_digits(text, time)) time_ = false;
    if (number_ && !leading_zero_) {
        const std::size_t sign = text[0] == '+' || text[0] == '-' ? 1 : 0;
        leading_zero_ = text.size() > sign + 1 && text[sign] == '0' && is_digit(text[sign + 1]);
    }
    // 1 and 0 are numbers first; only the words make a logical column (not Y and N, which
    // name other things too).
    if (logical_ && (!logical_value(text, flag) || text.size() == 1)) logical_ = false;
}

std::uint8_t TypeGuess::type() const {
    if (!any_) return FCL_T_STRING;
    if (date_) return FCL_T_DATE;
    if (number_) return FCL_T_NUMBER;
    if (time_) return FCL_T_TIME;
    if (logical_) return FCL_T_LOGICAL;
    return FCL_T_STRING;
}

// ---- The record host --------------------------------------------------------------------

thread_local RecordHost* RecordHost::current_ = nullptr;

namespace {

// Request codes that the library's aggregates pass instead of the callback data.
constexpr std::int32_t kValueRequest = 2;
constexpr std::int32_t kQuery = 3;
constexpr std::int32_t kRunningTotals = FCL_AGG_RESET;  // query answer: keep slots across calls

// Longest text the callback writes, NUL excluded.
constexpr std::size_t kMaxRawText = FCL_RAW_BUFFER - 1;

bool is_lead_byte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Length of text cut before kMaxRawText bytes at a character boundary.
std::size_t cut_length(std::string_view text) {
    // A shorter text fits whole: no double-byte character can straddle the limit.
    if (text.size() < kMaxRawText) return text.size();
    std::size_t length = 0;
    while (length < text.size()) {
        const std::size_t width = is_lead_byte(static_cast<unsigned char>(text[length])) ? 2 : 1;
        if (length + width > kMaxRawText) break;
        length += width;
    }
    return length > text.size() ? text.size() : length;
}

// Copies text and NUL into the raw buffer, cut before kMaxRawText at a character boundary.
bool copy_text(std::string_view text, std::uint8_t* raw) {
    const std::size_t length = cut_length(text);
    std::memcpy(raw, text.data(), length);
    raw[length] = 0;
    return length == text.size();
}

// "\"abc\" is not a number": a cell and what is wrong with it.
std::string quoted(std::string_view text, const char* problem) {
    std::string out(1, '"');
    out.append(text);
    out += "\" ";
    out += problem;
    return out;
}

std::uint16_t word(std::uint8_t type, std::uint8_t format) {
    return static_cast<std::uint16_t>(type | format << 8);
}

bool is_reference_kind(std::uint16_t type) { return type == FCL_T_FIELD || type == FCL_T_NAME; }

// strcmp for the short names of a report, inline: no call for every fetch. It reads no further
// into name than the first difference, its NUL at the latest.
bool same_name(const std::string& known, const char* name) {
    std::size_t i = 0;
    for (; i < known.size(); ++i)
        if (known[i] != name[i]) return false;
    return name[i] == '\0';
}

}  // namespace

// Fields of the data come before computed columns in the list, so a column named like a field
// never hides it.
void RecordHost::add_field(std::string name, std::uint8_t type, std::size_t cell) {
    auto first_column = sources_.begin();
    while (first_column != sources_.end() && !first_column->is_column) ++first_column;
    sources_.insert(first_column, {std::move(name), type, false, cell});
    if (parsed_.size() <= cell) parsed_.resize(cell + 1);
    names_.clear();  // the sources moved
    formula_names_ = nullptr;
}

void RecordHost::add_column(std::string name, std::uint8_t type, std::size_t column) {
    sources_.push_back({std::move(name), type, true, column});
    names_.clear();
    formula_names_ = nullptr;
    if (columns_.size() <= column) columns_.resize(column + 1);
}

void RecordHost::begin_record(const std::vector<std::string_view>* cells, std::uint16_t pass_key,
                              bool group_last) {
    cells_ = cells;
    ++record_;
    pass_key_ = pass_key;
    group_last_ = group_last;
    for (ColumnResult& column : columns_) column.ok = false;
}

void RecordHost::set_column_result(std::size_t column, const std::uint8_t* value, bool ok) {
    if (column >= columns_.size()) return;
    columns_[column].ok = ok;
    if (!ok) return;
    std::size_t size = 2;  // a logical: the type byte and 0 or 1
    if (value[0] == FCL_T_NUMBER && !text_numbers_) {
        size = 1 + sizeof(double);
    } else if (value[0] != FCL_T_LOGICAL) {
        size = 2 + strnlen(reinterpret_cast<const char*>(value + 1), FCL_MAX_VALUE - 2);
    }
    std::memcpy(columns_[column].value.data(), value, size);
}

void RecordHost::begin_execution(std::size_t formula) {
    if (formula >= names_.size()) names_.resize(formula + 1);
    formula_names_ = &names_[formula];
    calls_ = 0;
    pending_query_ = false;
}

std::vector<std::size_t> RecordHost::take_asked_cells() {
    std::vector<std::size_t> out;
    out.swap(asked_cells_);
    return out;
}

std::string RecordHost::take_problem() {
    std::string out;
    out.swap(problem_);
    return out;
}

const RecordHost::Source* RecordHost::search(const char* name) const {
    for (const auto& source : sources_)
        if (source.name[0] == name[0] && source.name == name) return &source;
    return nullptr;
}

const RecordHost::Source* RecordHost::find(const char* name) {
    if (!formula_names_) return search(name);
    for (const NameSlot& slot : formula_names_->slots)
        if (slot.name == name && same_name(slot.source->name, name)) return slot.source;
    const Source* source = search(name);
    if (source) {
        formula_names_->slots[formula_names_->next] = {name, source};
        formula_names_->next = (formula_names_->next + 1) % kNameSlots;
    }
    return source;
}

void RecordHost::note(const Source& source, const std::string& what) {
    problem_ = (source.is_column ? "column " : "field ") + source.name + ": " + what;
}

bool RecordHost::parse_cell(const Source& source, std::string_view text, Parsed& parsed) {
    parsed.type = source.type;
    parsed.is_text = false;
    parsed.cut = false;
    switch (source.type) {
        case FCL_T_NUMBER: {
            parsed.is_text = true;
            if (text.empty()) {
                parsed.text = "0";
                return true;
            }
            if (!is_number_text(text) || text.size() > kMaxRawText) {
                note(source, quoted(text, "is not a number"));
                return false;
            }
            // The library reads "-1.5" and "1.5"; a leading plus sign is dropped.
            const std::string_view number = text[0] == '+' ? text.substr(1) : text;
            parsed.text = number;
            if (text_numbers_) return true;
            // Double-number mode: the double itself, read here (correctly rounded, like the
            // library's own reading of the text).
            double value = 0;
            std::from_chars(number.data(), number.data() + number.size(), value);
            parsed.is_text = false;
            std::memcpy(parsed.bytes, &value, sizeof value);
            parsed.size = sizeof value;
            parsed.type = word(FCL_T_NUMBER, FCL_RAW_DOUBLE);
            return true;
        }
        case FCL_T_DATE: {
            char digits[9] = "00000000";
            if (!text.empty() && !date_digits(text, digits)) {
                note(source, quoted(text, "is not a date (yyyy/mm/dd, yyyy-mm-dd or yyyymmdd)"));
                return false;
            }
            std::memcpy(parsed.bytes, digits, sizeof digits);
            parsed.size = sizeof digits;
            return true;
        }
        case FCL_T_TIME: {
            char digits[7] = "000000";
            if (!text.empty() && !time_digits(text, digits)) {
                note(source, quoted(text, "is not a time (hh:mm or hh:mm:ss)"));
                return false;
            }
            std::memcpy(parsed.bytes, digits, sizeof digits);
            parsed.size = sizeof digits;
            return true;
        }
        case FCL_T_LOGICAL: {
            bool flag = false;
            if (!text.empty() && !logical_value(text, flag)) {
                note(source, quoted(text, "is not a logical (true, false, Y, N, 1 or 0)"));
                return false;
            }
            parsed.bytes[0] = flag ? 1 : 0;
            parsed.size = 1;
            parsed.type = word(FCL_T_LOGICAL, FCL_RAW_U8);
            return true;
        }
        default: {
            const std::size_t length = cut_length(text);
            parsed.is_text = true;
            parsed.text = text.substr(0, length);
            parsed.cut = length != text.size();
            return true;
        }
    }
}

bool RecordHost::write_cell(const Source& source, std::string_view text, std::uint8_t* raw, std::uint16_t* type) {
    Parsed& parsed = parsed_[source.index];
    if (parsed.record != record_) {
        if (!parse_cell(source, text, parsed)) return false;
        parsed.record = record_;
    }
    *type = parsed.type;
    if (!parsed.is_text) {
        std::memcpy(raw, parsed.bytes, parsed.size);
        return true;
    }
    std::memcpy(raw, parsed.text.data(), parsed.text.size());
    raw[parsed.text.size()] = 0;
    if (parsed.cut) note(source, "text longer than 517 bytes was cut");
    return true;
}

bool RecordHost::write_column(const Source& source, std::uint8_t* raw, std::uint16_t* type) {
    if (!columns_[source.index].ok) {
        note(source, "the column has no value in this row");
        return false;
    }
    const std::uint8_t* value = columns_[source.index].value.data();
    const char* text = reinterpret_cast<const char*>(value + 1);
    switch (value[0]) {
        case FCL_T_NUMBER:
            if (text_numbers_) break;
            std::memcpy(raw, value + 1, sizeof(double));
            *type = word(FCL_T_NUMBER, FCL_RAW_DOUBLE);
            return true;
        case FCL_T_LOGICAL:
            raw[0] = value[1] ? 1 : 0;
            *type = word(FCL_T_LOGICAL, FCL_RAW_U8);
            return true;
        case FCL_T_STRING: case FCL_T_TIME: case FCL_T_DATE:
            break;
        default:
            note(source, "the column's value has no known type");
            return false;
    }
    *type = value[0];
    copy_text(std::string_view(text, strnlen(text, FCL_MAX_VALUE - 1)), raw);
    return true;
}

bool RecordHost::write_value(const Source& source, std::uint8_t* raw, std::uint16_t* type, bool& empty) {
    if (source.is_column) {
        empty = false;
        return write_column(source, raw, type);
    }
    const std::string_view text =
        cells_ && source.index < cells_->size() ? (*cells_)[source.index] : std::string_view();
    empty = text.empty();
    return write_cell(source, text, raw, type);
}

std::int32_t RecordHost::field_request(const char* name, std::uint8_t* raw, std::uint16_t* type) {
    const Source* source = find(name);
    if (!source) {
        // The stand-in field of the aggregate resynchronisation: a number, 0 when fetched.
        if (std::strcmp(name, kSyncField) == 0) {
            *type = FCL_T_NUMBER;
            if (raw) copy_text("0", raw);
            return 0;
        }
        problem_ = std::string("unknown field or column \"") + name + "\"";
        return 1;
    }
    if (!raw) {
        *type = source->type;
        if (!source->is_column &&
            std::find(asked_cells_.begin(), asked_cells_.end(), source->index) == asked_cells_.end())
            asked_cells_.push_back(source->index);
        return 0;
    }
    bool empty = false;
    return write_value(*source, raw, type, empty) ? 0 : 1;
}

// An aggregate skips a missing or unusable value rather than failing, so nothing is noted here.
bool RecordHost::supply_value(const char* name, std::uint8_t* raw, std::uint16_t* type) {
    const Source* source = find(name);
    if (!source) return false;
    std::string kept = std::move(problem_);
    bool empty = false;
    const bool supplied = write_value(*source, raw, type, empty) && !empty;
    problem_ = std::move(kept);
    return supplied;
}

// First request of a call (the word still holds the reference kind): this record's value.
// Every later request of the call: the end mark of the group position.
std::int32_t RecordHost::value_request(const char* name, std::uint8_t* raw, std::uint16_t* type) {
    const bool first = is_reference_kind(*type);
    if (first) {
        if (!pending_query_) ++calls_;  // COUNT sends no query; its first request starts the call
        pending_query_ = false;
        if (supply_value(name, raw, type)) return pass_key_;
    }
    *type = group_last_ ? FCL_AGG_RESET : FCL_AGG_CONTINUE;
    return pass_key_;
}

std::int32_t RecordHost::p_value_request(const char* name, std::uint8_t* raw, std::uint16_t* type) {
    if (is_reference_kind(*type) && supply_value(name, raw, type)) return 0;
    *type = FCL_AGG_RESET;
    return 0;
}

std::int32_t RecordHost::callback(void* data, const char* name, void* raw, std::uint16_t* type) {
    auto* bytes = static_cast<std::uint8_t*>(raw);
    if (current_ && data == current_) return current_->field_request(name, bytes, type);
    if (!current_ || !data) return 1;
    // The library's request: a 32-bit code, or the NUL-terminated name of a P aggregate
    // ("SUM", "COUNT", ...), at least four bytes either way.
    std::int32_t code;
    std::memcpy(&code, data, sizeof code);
    if (code == kQuery) {
        ++current_->calls_;
        current_->pending_query_ = true;
        return kRunningTotals;
    }
    if (code == kValueRequest) return current_->value_request(name, bytes, type);
    return current_->p_value_request(name, bytes, type);
}

}  // namespace fcltool
