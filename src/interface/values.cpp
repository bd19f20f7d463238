#include "interface/values.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "interface/number_mode.h"
#include "interface/types.h"
#include "number/backend.h"
#include "number/scaled_number.h"

namespace fcl {

namespace {

template <typename T>
T read_raw(const void* raw) {
    T value;
    std::memcpy(&value, raw, sizeof value);
    return value;
}

// The raw number as a double, and the integer formats' exact value.
struct RawNumber {
    bool is_text;
    bool is_double;
    bool is_i32;
    double value;
    std::int32_t i32;
    long long integer;
};

// The integer as decimal text, which is how a backend reads the integer formats other than I32.
struct IntegerText {
    explicit IntegerText(long long integer) { *std::to_chars(text, text + sizeof text - 1, integer).ptr = '\0'; }
    char text[24];
};

RawNumber read_raw_number(std::uint8_t format, const void* raw) {
    RawNumber n{};
    long long& integer = n.integer;
    switch (format) {
        case FCL_RAW_U8: integer = read_raw<std::uint8_t>(raw); break;
        case FCL_RAW_I8: integer = read_raw<std::int8_t>(raw); break;
        case FCL_RAW_U16: integer = read_raw<std::uint16_t>(raw); break;
        case FCL_RAW_I16: integer = read_raw<std::int16_t>(raw); break;
        case FCL_RAW_U32: integer = read_raw<std::uint32_t>(raw); break;
        case FCL_RAW_I32:
            n.is_i32 = true;
            n.i32 = read_raw<std::int32_t>(raw);
            integer = n.i32;
            break;
        case FCL_RAW_DOUBLE:
            n.is_double = true;
            n.value = read_raw<double>(raw);
            return n;
        default:
            n.is_text = true;
            return n;
    }
    n.value = static_cast<double>(integer);
    return n;
}

}  // namespace

void raw_number_to_backend(std::uint8_t format, const void* raw, void* number) {
    const Backend& b = backend();
    // Most hosts answer numbers as doubles: those skip the general decoding.
    if (format == FCL_RAW_DOUBLE) {
        b.from_dbl(number, read_raw<double>(raw));
        return;
    }
    const RawNumber n = read_raw_number(format, raw);
    if (n.is_text) b.from_str(number, static_cast<const char*>(raw));
    else if (n.is_double) b.from_dbl(number, n.value);
    else if (n.is_i32) b.from_int(number, n.i32);
    else b.from_str(number, IntegerText(n.integer).text);
}

std::uint16_t convert_raw_value(std::uint16_t type_word, const void* raw, std::uint8_t* out,
                                std::size_t out_size, Context& ctx) {
    const std::uint8_t type = static_cast<std::uint8_t>(type_word & 0xFF);
    const std::uint8_t format = static_cast<std::uint8_t>(type_word >> 8);
    const char* text = static_cast<const char*>(raw);
    switch (type) {
        case kString:
        case kTime:
        case kDate:
        case kFieldRef:
        case kNameRef: {
            const bool reference = type == kFieldRef || type == kNameRef;
            const std::size_t len = std::strlen(text);
            const std::size_t size = len + (reference ? 4 : 2);
            if (size > out_size) return 0;
            out[0] = type;
            std::memcpy(out + 1, text, len);
            out[len + 1] = 0;
            if (reference) out[len + 2] = out[len + 3] = 0xFF;
            return static_cast<std::uint16_t>(size);
        }
        case kLogical: {
            if (out_size < 2) return 0;
            const RawNumber n = read_raw_number(format, raw);
            const double value = n.is_text ? std::strtod(text, nullptr) : n.value;
            out[0] = kLogical;
            out[1] = (value != 0.0 || std::isnan(value)) ? 1 : 0;
            return 2;
        }
        case kNumber: {
            if (!text_numbers()) {
                if (out_size < 9) return 0;
                const RawNumber n = read_raw_number(format, raw);
                const double value = n.is_text ? std::strtod(text, nullptr) : n.value;
                out[0] = kNumber;
                std::memcpy(out + 1, &value, sizeof value);
                return 9;
            }
            raw_number_to_backend(format, raw, ctx.number_scratch);
            char number_text[kNumberTextSize];
            backend().to_str(ctx.number_scratch, number_text, sizeof number_text, kStyleFull, -1);
            const std::size_t len = std::strlen(number_text);
            if (len + 2 > out_size) return 0;
            out[0] = kNumber;
            std::memcpy(out + 1, number_text, len + 1);
            return static_cast<std::uint16_t>(len + 2);
        }
        default:
            return 0;
    }
}

std::uint16_t write_blank_value(std::uint8_t type_mask, std::uint8_t* out) {
    switch (type_mask) {
        case kString: out[0] = kString; out[1] = 0; return 2;
        case kNumber:
            if (!text_numbers()) {
                out[0] = kNumber;
                std::memset(out + 1, 0, 8);
                return 9;
            }
            std::memcpy(out, "\x02" "0", 3);
            return 3;
        case kLogical: out[0] = kLogical; out[1] = 0; return 2;
        case kTime: std::memcpy(out, "\x08" "000000", 8); return 8;
        case kDate: std::memcpy(out, "\x10" "00000000", 10); return 10;
        default: return 0;
    }
}

std::uint16_t write_number_double(std::uint8_t* out, double value) {
    out[0] = kNumber;
    if (!text_numbers()) {
        std::memcpy(out + 1, &value, sizeof value);
        return 9;
    }
    alignas(8) std::uint8_t number[kNumberSize];
    backend().from_dbl(number, value);
    return write_number_backend(out, number);
}

// Every caller leaves room for a string value's longest text, and a number's payload text is far
// shorter, so the backend writes it in place, whole.
std::uint16_t write_number_backend(std::uint8_t* out, const void* number) {
    char* text = reinterpret_cast<char*>(out + 1);
    backend().to_str(number, text, kMaxStringText + 1, kStyleFull, -1);
    // Measured a byte at a time: the text was just written in small pieces, which wide reads
    // (strlen's) would have to wait for until the stores are done; a number's text is short.
    // (The bound keeps the compiler from making the loop a strlen call.)
    std::size_t len = 0;
    while (len < kMaxStringText && text[len] != 0) ++len;
    out[0] = kNumber;
    return static_cast<std::uint16_t>(len + 2);
}

// The same room as write_number_backend's callers leave.
static_assert(kUnitsTextSize <= kMaxStringText + 1);
std::uint16_t write_units_backend(std::uint8_t* out, std::int64_t units) {
    const std::size_t len = backend().units_to_str(units, reinterpret_cast<char*>(out + 1));
    out[0] = kNumber;
    return static_cast<std::uint16_t>(len + 2);
}

double number_as_double(const std::uint8_t* value, Context& ctx) {
    if (!text_numbers()) return read_raw<double>(value + 1);
    const Backend& b = backend();
    // A short non-zero number with at most 2^53 units: its units over 10^8, one correctly rounded
    // division of two exact doubles, is the double nearest its value, as strtod makes of the text
    // the backend writes below.
    constexpr std::int64_t kExactUnits = std::int64_t{1} << 53;
    const char* text = reinterpret_cast<const char*>(value + 1);
    if (std::int64_t units = 0;
        scaled::from_payload(text, units) && units != 0 && units <= kExactUnits && units >= -kExactUnits)
        return static_cast<double>(units) / static_cast<double>(scaled::kUnit);
    b.from_str(ctx.number_scratch, text);
    char scientific[kNumberTextSize];
    b.to_str(ctx.number_scratch, scientific, sizeof scientific, kStyleScientific, 0);
    return std::strtod(scientific, nullptr);
}

std::uint16_t write_string(std::uint8_t* out, const char* text, std::size_t length) {
    if (length > kMaxStringText) length = kMaxStringText;
    out[0] = kString;
    std::memmove(out + 1, text, length);
    out[length + 1] = 0;
    return static_cast<std::uint16_t>(length + 2);
}

}  // namespace fcl
