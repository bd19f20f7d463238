// FORMAT's first step: the value as a number, by the rules of VAL.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "functions/format_parts.h"
#include "functions/text_values.h"
#include "functions/value_digits.h"
#include "interface/number_mode.h"
#include "interface/types.h"

namespace fcl::format {

namespace {

// The number's text for each kind of value; "0" where VAL would refuse the value.
void number_text(const std::uint8_t* value, char* out, std::size_t out_size) {
    const char* text = text_of(value);
    switch (value[0]) {
        case kString:
        case kNumber:
            std::snprintf(out, out_size, "%.*s", static_cast<int>(text_length(value)), text);
            return;
        case kLogical:
            std::snprintf(out, out_size, "%d", value[1] != 0 ? 1 : 0);
            return;
        case kTime: {
            char digits[kTimeBufferSize];
            std::snprintf(out, out_size, "%s", time_digits(value, digits) ? digits : "0");
            return;
        }
        case kDate: {
            char digits[kDateBufferSize];
            std::snprintf(out, out_size, "%s", date_digits(value, digits) ? digits : "0");
            return;
        }
        default:
            std::snprintf(out, out_size, "0");
            return;
    }
}

}  // namespace

void value_as_number(const std::uint8_t* value, Number& number) {
    number.value = 0.0;
    if (text_numbers() || value[0] != kNumber) {
        number_text(value, number.text, sizeof number.text);
        if (!text_numbers()) number.value = std::atof(number.text);
        return;
    }
    std::memcpy(&number.value, value + 1, sizeof number.value);
    number.text[0] = '\0';
}

}  // namespace fcl::format
