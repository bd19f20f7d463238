// What the handlers share: argument reading and result writing (see handler_support.h).
#include "functions/handler_support.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "platform/cp932.h"

namespace fcl {

namespace {

constexpr std::int32_t kMinCount = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxCount = std::numeric_limits<std::int32_t>::max();

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::int32_t count_from_double(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(kMaxCount)) return kMaxCount;
    if (value <= static_cast<double>(kMinCount)) return kMinCount;
    return static_cast<std::int32_t>(value);  // truncates toward zero
}

// Reads an optionally signed run of digits like atoi, but holds the result in the 32-bit
// range instead of overflowing (a text beyond the range gives the nearest bound).
std::int32_t saturating_atoi(const char* text) {
    const bool negative = *text == '-';
    if (negative || *text == '+') ++text;
    std::int64_t magnitude = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(kMinCount) : kMaxCount;
    for (; is_digit(*text); ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude >= limit) return negative ? kMinCount : kMaxCount;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// A count written as a plain integer of up to nine digits ("3", "-2"), as nearly all are: every
// backend reads such a text exactly and writes it back unchanged, so it needs no round trip.
bool plain_count(const char* text, std::int32_t& count) {
    const bool negative = *text == '-';
    const char* digit = text + (negative ? 1 : 0);
    std::int32_t magnitude = 0;
    int digits = 0;
    for (; is_digit(*digit) && digits < 9; ++digit, ++digits) magnitude = magnitude * 10 + (*digit - '0');
    if (digits == 0 || *digit != '\0') return false;
    count = negative ? -magnitude : magnitude;
    return true;
}

std::int32_t count_from_text(const char* text, Context& ctx, bool keep_sign) {
    if (std::int32_t count = 0; plain_count(text, count)) return count;
    const Backend& b = backend();
    b.from_str(ctx.number_scratch, text);
    if (!keep_sign) {
        b.from_int(ctx.number_scratch2, 0);
        if (b.comp(ctx.number_scratch, ctx.number_scratch2) < 0) b.zero(ctx.number_scratch);
    }
    char whole[kNumberTextSize];
    whole_number_text(ctx.number_scratch, whole, sizeof whole);
    return saturating_atoi(whole);
}

}  // namespace

// --- Reading arguments ---

std::int32_t count_argument(const std::uint8_t* value, Context& ctx, bool keep_sign) {
    const std::int32_t count = text_numbers() ? count_from_text(payload_text(value), ctx, keep_sign)
                                              : count_from_double(payload_double(value));
    return (!keep_sign && count < 0) ? 0 : count;
}

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

Status refused_argument(std::int32_t setting, char* text, const char* blank, bool& blanked) {
    switch (setting) {
        case 1:
            std::strcpy(text, blank);
            blanked = true;
            return kOk;
        case 2:
            return kTypeError;
        default:
            return kOk;
    }
}

bool date_digits(const std::uint8_t* value, char (&digits)[kDateBufferSize]) {
    copy_date_text(digits, payload_text(value));
    return normalise_date(digits) == kOk;
}

bool time_digits(const std::uint8_t* value, char (&digits)[kTimeBufferSize]) {
    return normalise_time(payload_text(value), digits) == kOk;
}

// --- Writing results ---

Status write_text_result(std::uint8_t* result, const char* text, std::size_t length) {
    if (length > kMaxStringText) return kTooLong;
    write_string(result, text, length);
    return kOk;
}

Status write_empty_string(std::uint8_t* result) {
    write_string(result, "", 0);
    return kOk;
}

Status write_cut_text(std::uint8_t* result, const char* text, std::size_t length) {
    if (length > kMaxStringText) {
        length = kMaxStringText;
        // The walk that classifies the last kept byte reads no byte after it, so the text
        // needs no terminator there.
        if (cp932::byte_type(text, length - 1) == cp932::ByteType::Lead) --length;
    }
    write_string(result, text, length);
    return kOk;
}

char* write_zero_padded(char* out, std::int32_t value, int width) {
    char digits[12];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const char* first = digits;
    if (value < 0) {
        *out++ = *first++;
        --width;
    }
    const auto length = static_cast<int>(end - first);
    for (; width > length; --width) *out++ = '0';
    std::memcpy(out, first, static_cast<std::size_t>(length));
    return out + length;
}

// Byte by byte: the fields are a few bytes long, shorter than the calls to the string routines
// that would measure, fill and copy them.
std::size_t lay_out_fields(char* out, const char* text, const std::size_t (&widths)[3], char separator) {
    std::size_t length = 0;
    const char* next = text;
    bool ended = false;  // the text's NUL was met: the fields after it are empty
    for (std::size_t k = 0; k < 3; ++k) {
        if (k > 0) out[length++] = separator;
        char* field = out + length;
        std::size_t taken = 0;
        while (!ended && taken < widths[k]) {
            if (next[taken] == '\0') {
                ended = true;
            } else {
                field[taken] = next[taken];
                ++taken;
            }
        }
        // A short field (the text ended in it) moves right behind its leading zeros.
        if (const std::size_t zeros = widths[k] - taken; zeros > 0) {
            std::memmove(field + zeros, field, taken);
            std::memset(field, '0', zeros);
        }
        length += widths[k];
        next += taken;
    }
    return length;
}

std::size_t trimmed_fraction_length(const char* text, std::size_t length) {
    if (!std::memchr(text, '.', length)) return length;
    while (text[length - 1] == '0') --length;
    if (text[length - 1] == '.') --length;
    return length;
}

bool ResultText::room_for(std::size_t count) {
    if (too_long_ || count > kMaxStringText - length_) too_long_ = true;
    return !too_long_;
}

void ResultText::append(const char* bytes, std::size_t count) {
    if (!room_for(count)) return;
    std::memcpy(text_ + length_, bytes, count);
    length_ += count;
}

void ResultText::repeat(char byte, std::size_t count) {
    if (!room_for(count)) return;
    std::memset(text_ + length_, byte, count);
    length_ += count;
}

Status ResultText::write(std::uint8_t* result) const {
    if (too_long_) return kTooLong;
    write_string(result, text_, length_);
    return kOk;
}

void write_count_result(std::uint8_t* result, std::int32_t value, Context& ctx) {
    if (!text_numbers()) {
        write_number_double(result, static_cast<double>(value));
        return;
    }
    backend().from_int(ctx.number_scratch, value);
    write_number_backend(result, ctx.number_scratch);
}

void write_integer_result(std::uint8_t* result, double value, Context& ctx) {
    result[0] = kNumber;
    if (!text_numbers()) {
        std::memcpy(result + 1, &value, sizeof value);
        return;
    }
    char text[kNumberTextSize];
    backend().from_dbl(ctx.number_scratch, value);
    backend().to_str(ctx.number_scratch, text, sizeof text, kStyleFull, 0);
    const std::size_t length = strnlen(text, kMaxStringText);
    std::memcpy(result + 1, text, length);
    result[length + 1] = 0;
}

void write_digits_result(std::uint8_t* result, TextField field, Context& ctx) {
    if (!all_digits(field) || !text_numbers()) {
        write_integer_result(result, field_value(field), ctx);
        return;
    }
    result[0] = kNumber;
    std::memcpy(result + 1, field.start, field.length);
    result[field.length + 1] = 0;
}

}  // namespace fcl
