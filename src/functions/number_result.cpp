#include "functions/number_result.h"

#include <cstring>

#include "interface/number_mode.h"
#include "interface/types.h"
#include "number/backend.h"

namespace fcl {

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
