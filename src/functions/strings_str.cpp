// STR and VAL: any value as text, and any value as a number.
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "platform/fcvt.h"

namespace fcl::handlers {

namespace {

constexpr std::int32_t kDefaultDecimals = 6;
// platform::fcvt gives at most this many decimals; further decimals are written as zeros.
constexpr std::int32_t kFcvtDecimals = 340;

Status str_of_number(const std::uint8_t* value, std::uint8_t* result, Context& ctx) {
    char text[kNumberTextSize];
    if (text_numbers()) {
        // Plain form with every digit, then no trailing fraction zeros and no "-0".
        backend().from_str(ctx.number_scratch, payload_text(value));
        shaped_to_str(ctx.number_scratch, text, sizeof text, kStylePlain, -1);
    } else {
        // printf's "%f".
        *std::to_chars(text, text + sizeof text - 1, payload_double(value), std::chars_format::fixed, 6).ptr = '\0';
    }
    return write_text_result(result, text, std::strlen(text));
}

// The digits of x with d decimals: "-" when negative; below 1 a "0", the point and the zeros
// that lead the fraction; otherwise the whole digits and, when more follow, the point and the
// fraction.
void fixed_text(double x, std::int32_t decimals, ResultText& text) {
    platform::FixedDigits fixed;
    const std::int32_t converted = decimals < kFcvtDecimals ? decimals : kFcvtDecimals;
    platform::fcvt(x, converted, fixed);
    const std::size_t count = std::strlen(fixed.digits);
    if (fixed.negative) text.append("-", 1);
    if (fixed.point <= 0) {
        text.append("0", 1);
        if (decimals > 0) text.append(".", 1);
        text.repeat('0', static_cast<std::size_t>(-fixed.point));
        text.append(fixed.digits, count);
    } else {
        const std::size_t point = static_cast<std::size_t>(fixed.point);
        const std::size_t whole = point < count ? point : count;
        text.append(fixed.digits, whole);
        if (whole < count) {
            text.append(".", 1);
            text.append(fixed.digits + whole, count - whole);
        }
    }
    text.repeat('0', static_cast<std::size_t>(decimals - converted));
}

// STR(x, w [, d]): x with d decimals (default 6, then without trailing fraction zeros),
// right-aligned in w bytes. The digits come from a double: in text-number mode the number
// text is read into a double through the backend (its scientific form, which carries every
// digit the decimal backend holds, read back as the nearest double).
Status str_formatted(const std::uint8_t* const* args, std::uint16_t argc, std::uint8_t* result, Context& ctx) {
    const double x = number_as_double(args[0], ctx);
    const std::size_t width = static_cast<std::size_t>(count_argument(args[1], ctx, false));
    const bool default_decimals = argc < 3;
    const std::int32_t decimals = default_decimals ? kDefaultDecimals : count_argument(args[2], ctx, false);
    ResultText digits;
    fixed_text(x, decimals, digits);
    if (default_decimals && !digits.too_long())
        digits.drop(digits.length() - trimmed_fraction_length(digits.data(), digits.length()));
    if (digits.too_long() || digits.length() >= width) return digits.write(result);
    ResultText padded;
    padded.repeat(' ', width - digits.length());
    padded.append(digits.data(), digits.length());
    return padded.write(result);
}

// The argument's own characters in fixed-width fields with separators between: a date as
// characters 1-4, 5-6 and 7-8 around "/", a time as 1-2, 3-4 and 5-6 around ":". The check
// that accepted the value worked on a copy, so a field text such as 2024/01/31 comes out
// as it stands (2024//0/1/). A field that runs past the text's end is zero-filled on the left,
// as the runtime's "%04.04s" conversion does on Windows (one behaviour on every platform).
Status lay_out(const std::uint8_t* x, const std::size_t (&widths)[3], char separator, std::uint8_t* result) {
    char text[10];
    return write_text_result(result, text, lay_out_fields(text, payload_text(x), widths, separator));
}

// A number result from digit text: the text read as a double in double-number mode, the
// text itself as the payload in text-number mode.
Status write_number_text(std::uint8_t* result, const char* text, std::size_t length) {
    if (!text_numbers()) {
        write_number_double(result, std::strtod(text, nullptr));
        return kOk;
    }
    if (length > kMaxStringText) return kTooLong;
    result[0] = kNumber;
    std::memmove(result + 1, text, length);
    result[length + 1] = 0;
    return kOk;
}

}  // namespace

Status str(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::uint16_t argc = call_argc(result);
    const std::uint8_t* x = args[0];
    if (argc >= 2) return str_formatted(args, argc, result, ctx);
    switch (x[0]) {
        case kString: return write_text_result(result, payload_text(x), text_length(x));
        case kLogical: return write_text_result(result, x[1] ? "1" : "0", 1);
        case kNumber: return str_of_number(x, result, ctx);
        case kDate: {
            char digits[kDateBufferSize];
            if (!date_digits(x, digits)) return kTypeError;
            return lay_out(x, {4, 2, 2}, '/', result);
        }
        case kTime: {
            char digits[kTimeBufferSize];
            if (!time_digits(x, digits)) return kTypeError;
            return lay_out(x, {2, 2, 2}, ':', result);
        }
        default: return kTypeError;
    }
}

Status val(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::uint8_t* x = args[0];
    switch (x[0]) {
        // A text is not checked in text-number mode: later arithmetic reads it with FromStr.
        case kString: return write_number_text(result, payload_text(x), text_length(x));
        case kLogical: return write_number_text(result, x[1] ? "1" : "0", 1);
        case kNumber:
            if (!text_numbers()) {
                std::memmove(result, x, 9);
                return kOk;
            }
            backend().from_str(ctx.number_scratch, payload_text(x));
            write_number_backend(result, ctx.number_scratch);
            return kOk;
        case kDate: {
            char digits[kDateBufferSize];
            if (!date_digits(x, digits)) return kTypeError;
            return write_number_text(result, digits, 8);
        }
        case kTime: {
            char digits[kTimeBufferSize];
            if (!time_digits(x, digits)) return kTypeError;
            return write_number_text(result, digits, 6);
        }
        default: return kTypeError;
    }
}

}  // namespace fcl::handlers
