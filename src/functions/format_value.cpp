// FORMAT's first step: the value as a number, by the rules of VAL.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "functions/date_normaliser.h"
#include "functions/format_parts.h"
#include "functions/text_values.h"
#include "interface/number_mode.h"
#include "interface/types.h"

namespace fcl::format {

namespace {

// The six digits hhmmss of a time text: digits are kept, ":" and any character at index 2 or
// 5 are skipped, anything else ends the scan. False unless the whole text was read, exactly
// six digits were kept and they make a valid time of day.
bool time_digits(const char* text, std::size_t length, char (&digits)[7]) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (kept == 6) return false;
            digits[kept++] = c;
        } else if (c != ':' && i != 2 && i != 5) {
            return false;
        }
    }
    digits[kept] = '\0';
    if (kept != 6) return false;
    const auto pair = [&](int at) { return (digits[at] - '0') * 10 + (digits[at + 1] - '0'); };
    return pair(0) < 24 && pair(2) < 60 && pair(4) < 60;
}

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
            char digits[7];
            std::snprintf(out, out_size, "%s", time_digits(text, text_length(value), digits) ? digits : "0");
            return;
        }
        case kDate: {
            char date[kDateBufferSize];
            copy_date_text(date, text);
            std::snprintf(out, out_size, "%s", normalise_date(date) == kOk ? date : "0");
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
