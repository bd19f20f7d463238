// FORMAT(value, picture): the value rendered through a picture of digit positions (9, Z),
// a decimal point (".", P, V), separators, a currency symbol and minus marks. This file reads
// the value as a number and the picture's positions and builds the digits; format_picture.cpp
// places them. FORMAT reports no error.
#include "functions/format.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "functions/handlers.h"
#include "interface/number_mode.h"
#include "interface/types.h"
#include "number/backend.h"
#include "number/scaled_number.h"
#include "platform/fcvt.h"
#include "platform/power_of_ten.h"
#include "platform/profile.h"

namespace fcl::format {

namespace {

// --- Process-wide state: the minus-mark list ---
// Written once, under g_load_lock, by the first FORMAT that needs the list; the flag's release
// store publishes the list to every thread that sees the flag set.
MinusMarks g_marks{};
std::atomic<bool> g_loaded{false};
std::mutex g_load_lock;

// "▲" in code page 932.
constexpr MinusMark kDefaultMark = {{'\x81', '\xA3', '\0'}};

// --- The value as a number, by the rules of VAL ---

// The value converted as VAL converts it: a double in double-number mode, number text in
// text-number mode. A value VAL would reject (an invalid date or time) formats as 0.
struct Number {
    double value;
    char text[kNumberTextSize];
};

// The number's text for each kind of value; "0" where VAL would refuse the value. Cut to
// out_size - 1 bytes and a NUL.
void number_text(const std::uint8_t* value, char* out, std::size_t out_size) {
    char time[kTimeBufferSize];
    char date[kDateBufferSize];
    const char* text = "0";
    std::size_t length = 1;
    switch (value[0]) {
        case kString:
        case kNumber:
            text = payload_text(value);
            length = text_length(value);
            break;
        case kLogical:
            text = value[1] != 0 ? "1" : "0";
            break;
        case kTime:
            if (time_digits(value, time)) {
                text = time;
                length = std::strlen(time);
            }
            break;
        case kDate:
            if (date_digits(value, date)) {
                text = date;
                length = std::strlen(date);
            }
            break;
        default:
            break;
    }
    if (length >= out_size) length = out_size - 1;
    std::memcpy(out, text, length);
    out[length] = '\0';
}

void value_as_number(const std::uint8_t* value, Number& number) {
    number.value = 0.0;
    if (text_numbers() || value[0] != kNumber) {
        number_text(value, number.text, sizeof number.text);
        if (!text_numbers()) number.value = std::strtod(number.text, nullptr);
        return;
    }
    number.value = payload_double(value);
    number.text[0] = '\0';
}

// --- The picture scan: the digit positions on each side of the first decimal point ---

// P and V are a decimal point only right after a digit position and before the end of the
// picture or another digit position; elsewhere they are literals.
bool is_point(const char* picture, std::size_t i, std::size_t length, bool after_digit) {
    const char c = fold_case(picture[i]);
    if (c == '.') return true;
    if (c != 'P' && c != 'V') return false;
    return after_digit && (i + 1 == length || is_digit_position(picture[i + 1]));
}

PictureScan scan_picture(const char* picture, std::size_t length) {
    PictureScan scan{0, 0, length, 0, 0};
    bool after_digit = false;
    for (std::size_t i = 0; i < length;) {
        const std::size_t size = char_size(picture, i, length);
        const char c = picture[i];
        const bool digit = size == 1 && is_digit_position(c);
        if (digit) {
            if (!scan.first_digit) scan.first_digit = c == '9' ? '9' : 'Z';
            if (scan.point == length) ++scan.integer_positions;
            else ++scan.fraction_positions;
        } else if (size == 1 && scan.point == length && is_point(picture, i, length, after_digit)) {
            scan.point = i;
            scan.point_kind = fold_case(c) == '.' ? '.' : fold_case(c);
        }
        after_digit = digit;
        i += size;
    }
    return scan;
}

// --- The digit string, from a double or from number text ---

// Beyond this many fraction positions 10^n leaves the double range; further positions get 0.
constexpr std::size_t kMaxScaledFraction = 300;

// Pads (or, on overflow, cuts) the integer digits to the integer positions. A picture without
// integer positions has no digit to mark, so its overflow shows no "*".
void align_integer(const char* raw, std::size_t raw_length, std::size_t positions, DigitString& digits) {
    if (raw_length <= positions) {
        const std::size_t pad = positions - raw_length;
        std::memset(digits.integer, '0', pad);
        std::memcpy(digits.integer + pad, raw, raw_length);
    } else {
        digits.overflow = true;
        std::memcpy(digits.integer, raw + (raw_length - positions), positions);
        if (positions > 0) digits.integer[0] = '*';
    }
    digits.integer[positions] = '\0';
}

// Fraction digits: those given, then zeros, exactly `positions` of them.
void set_fraction(const char* raw, std::size_t raw_length, std::size_t positions, DigitString& digits) {
    const std::size_t kept = raw_length < positions ? raw_length : positions;
    std::memcpy(digits.fraction, raw, kept);
    std::memset(digits.fraction + kept, '0', positions - kept);
    digits.fraction[positions] = '\0';
}

// What printf's "%0<width>.0f" writes for a whole, non-negative double: its digits, led by zeros
// up to `width` (not NUL-terminated). Written without the printf machinery: below 2^64 from its
// integer, else by to_chars.
int whole_digits(double whole, std::size_t width, char (&out)[kNumberTextSize]) {
    char digits[kNumberTextSize];
    const char* end = whole < 0x1p64 ? std::to_chars(digits, std::end(digits), static_cast<std::uint64_t>(whole)).ptr
                                     : std::to_chars(digits, std::end(digits), whole, std::chars_format::fixed, 0).ptr;
    const std::size_t length = static_cast<std::size_t>(end - digits);
    const std::size_t pad = width > length ? width - length : 0;
    std::memset(out, '0', pad);
    std::memcpy(out + pad, digits, length);
    return static_cast<int>(pad + length);
}

// Double-number mode. The value is first lifted at its 15th significant digit, so that a
// value stored just below a decimal boundary (0.29 as 0.28999...) keeps its digits.
void digits_from_double(double x, const PictureScan& scan, DigitString& digits) {
    if (!std::isfinite(x)) x = 0.0;  // no digits to show for NaN or an infinity
    if (x != 0.0) {
        platform::FixedDigits fixed;
        platform::fcvt(x, static_cast<int>(scan.fraction_positions), fixed);
        const double lift = platform::power_of_ten(fixed.point - 15);
        x += x > 0.0 ? lift : -lift;
    }
    digits.negative = x < 0.0;
    const double magnitude = std::fabs(x);
    const double whole = std::floor(magnitude);
    char raw[kNumberTextSize];
    int raw_length = 0;
    if (whole >= 1.0) raw_length = whole_digits(whole, 0, raw);
    align_integer(raw, static_cast<std::size_t>(raw_length), scan.integer_positions, digits);

    const std::size_t scaled = scan.fraction_positions < kMaxScaledFraction ? scan.fraction_positions
                                                                           : kMaxScaledFraction;
    raw_length = 0;
    if (scaled > 0) {
        const double fraction = std::floor((magnitude - whole) * platform::power_of_ten(static_cast<int>(scaled)));
        raw_length = whole_digits(fraction, scaled, raw);
        // A fraction that rounds up to 10^n in the multiplication is still below 1: all nines.
        if (raw_length > static_cast<int>(scaled)) {
            std::memset(raw, '9', scaled);
            raw_length = static_cast<int>(scaled);
        }
    }
    set_fraction(raw, static_cast<std::size_t>(raw_length), scan.fraction_positions, digits);
}

// The plain form of a short number (scaled_number.h) with its trailing fraction zeros removed,
// as an exact backend writes it: the whole digits, then a point and the fraction's digits.
void write_plain_units(std::int64_t units, char* out) {
    const auto value = static_cast<std::uint64_t>(units);
    const std::uint64_t magnitude = units < 0 ? 0 - value : value;
    if (units < 0) *out++ = '-';
    out = std::to_chars(out, out + 20, magnitude / scaled::kUnit).ptr;
    if (std::uint64_t fraction = magnitude % scaled::kUnit; fraction != 0) {
        *out++ = '.';
        for (std::uint64_t unit = scaled::kUnit / 10; fraction != 0; unit /= 10) {
            *out++ = static_cast<char>('0' + fraction / unit);
            fraction %= unit;
        }
    }
    *out = '\0';
}

// Text-number mode: the number written back in plain form, trailing fraction zeros removed.
void digits_from_text(const char* text, const PictureScan& scan, DigitString& digits, Context& ctx) {
    char plain[kNumberTextSize];
    if (std::int64_t units = 0; scaled::from_payload(text, units)) {
        write_plain_units(units, plain);
    } else {
        backend().from_str(ctx.number_scratch, text);
        shaped_to_str(ctx.number_scratch, plain, sizeof plain, kStylePlain, -1);
    }
    const char* p = plain;
    if (*p == '-') ++p;
    // Leading zeros are not integer digits (0.5 has none), as in double-number mode.
    while (*p == '0') ++p;
    const char* integer = p;
    while (*p >= '0' && *p <= '9') ++p;
    const std::size_t integer_length = static_cast<std::size_t>(p - integer);
    const char* fraction = *p == '.' ? p + 1 : p;
    std::size_t fraction_length = 0;
    while (fraction[fraction_length] >= '0' && fraction[fraction_length] <= '9') ++fraction_length;

    digits.negative = plain[0] == '-' && std::strpbrk(plain, "123456789") != nullptr;
    align_integer(integer, integer_length, scan.integer_positions, digits);
    set_fraction(fraction, fraction_length, scan.fraction_positions, digits);
}

void build_digits(const Number& number, const PictureScan& scan, DigitString& digits, Context& ctx) {
    digits.negative = false;
    digits.overflow = false;
    if (text_numbers()) digits_from_text(number.text, scan, digits, ctx);
    else digits_from_double(number.value, scan, digits);
}

}  // namespace

void parse_minus_marks(const char* value, MinusMarks& marks) {
    marks = MinusMarks{};
    if (*value == '\0') {
        marks.marks[0] = kDefaultMark;
        marks.count = 1;
        return;
    }
    std::size_t used = 0;  // bytes of the current mark
    marks.count = 1;
    for (const char* p = value; *p; ++p) {
        if (*p == '"') continue;
        if (*p == ',') {
            if (marks.count == kMaxMinusMarks) return;
            ++marks.count;
            used = 0;
            continue;
        }
        if (used < 2) marks.marks[marks.count - 1].bytes[used++] = *p;
    }
}

const MinusMarks& minus_marks() {
    if (g_loaded.load(std::memory_order_acquire)) return g_marks;
    const std::lock_guard lock(g_load_lock);
    if (!g_loaded.load(std::memory_order_relaxed)) {
        char value[256];
        platform::profile_string(platform::kProfileSection, "MinusMark", "", value, sizeof value,
                                 platform::kProfileFile);
        parse_minus_marks(value, g_marks);
        g_loaded.store(true, std::memory_order_release);
    }
    return g_marks;
}

}  // namespace fcl::format

namespace fcl::handlers {

// A result holds at most 512 bytes; a longer one (a long picture, or one the minus text
// lengthened) is cut there without leaving half a double-byte character at the end.
Status format(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    // A private copy of the picture, always terminated. Only a string can be a picture.
    char picture[format::kMaxPicture + 1];
    std::size_t length = 0;
    if (args[1][0] == kString) {
        length = text_length(args[1]);
        std::memcpy(picture, payload_text(args[1]), length);
    }
    picture[length] = '\0';

    const format::PictureScan scan = format::scan_picture(picture, length);
    if (!scan.first_digit) return write_cut_text(result, picture, length);

    format::Number number;
    format::value_as_number(args[0], number);
    format::DigitString digits;
    format::build_digits(number, scan, digits, ctx);
    format::Output out;
    format::render_picture(picture, length, scan, digits, format::minus_marks(), out);
    return write_cut_text(result, out.data(), out.length());
}

}  // namespace fcl::handlers
