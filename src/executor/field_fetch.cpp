#include "executor/field_fetch.h"

#include <cstring>

#include "functions/function_table.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/scaled_number.h"

namespace fcl {

namespace {

// A host that answers with a function call names the function: the item is the first record of
// that name (none: no value, status 1007).
std::uint16_t function_call_value(const std::uint8_t* raw, std::uint8_t* out) {
    const unsigned index = find_function(reinterpret_cast<const char*>(raw));
    if (index == 0) return 0;
    out[0] = kFunctionCall;
    out[1] = static_cast<std::uint8_t>(index);
    return 2;
}

}  // namespace

Status convert_field_answer(Context& ctx, std::uint16_t type_word, std::uint8_t* out, std::uint16_t* size) {
    std::uint8_t* raw = ctx.result + kRawBufferOffset;
    *size = (type_word & 0xFF) == kFunctionCall ? function_call_value(raw, out)
                                                : convert_raw_value(type_word, raw, out, kCodeAreaSize, ctx);
    return *size ? kOk : kCodeError;
}

Status fetch_field(Context& ctx, const std::uint8_t* item, std::uint8_t* out, std::uint16_t* size) {
    std::uint16_t type_word = 0;
    if (const Status status = ask_for_field(ctx, item, &type_word); status != kOk) return status;
    const std::uint8_t* raw = ctx.result + kRawBufferOffset;
    // The common answer of a number field: a raw double in double-number mode.
    if (type_word == ((FCL_RAW_DOUBLE << 8) | kNumber) && !text_numbers()) {
        out[0] = kNumber;
        std::memcpy(out + 1, raw, sizeof(double));
        *size = 9;
        return kOk;
    }
    return convert_field_answer(ctx, type_word, out, size);
}

// Doubles and number texts (the two forms hosts mostly answer in) are held scaled when short.
bool number_answer(std::uint16_t type_word, const std::uint8_t* raw, std::int64_t* scaled, void* number) {
    if ((type_word & 0xFF) != kNumber) return false;
    const auto format = static_cast<std::uint8_t>(type_word >> 8);
    if (format == FCL_RAW_DOUBLE) {
        double value;
        std::memcpy(&value, raw, sizeof value);
        if (scaled::from_double(value, *scaled)) return true;
    } else if (format == FCL_RAW_TEXT && scaled::from_text(reinterpret_cast<const char*>(raw), *scaled)) {
        return true;
    }
    raw_number_to_backend(format, raw, number);
    *scaled = scaled::kNotScaled;
    return true;
}

Status fetch_field_number(Context& ctx, const std::uint8_t* item, std::uint8_t* out, std::uint16_t* size,
                          std::int64_t* scaled, void* number) {
    std::uint16_t type_word = 0;
    if (const Status status = ask_for_field(ctx, item, &type_word); status != kOk) return status;
    if (number_answer(type_word, ctx.result + kRawBufferOffset, scaled, number)) {
        *size = 0;
        return kOk;
    }
    return convert_field_answer(ctx, type_word, out, size);
}

}  // namespace fcl
