#include "functions/value_digits.h"

#include "functions/text_values.h"

namespace fcl {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
int two_digits(const char* text) { return (text[0] - '0') * 10 + (text[1] - '0'); }

}  // namespace

bool date_digits(const std::uint8_t* value, char (&digits)[kDateBufferSize]) {
    copy_date_text(digits, text_of(value));
    return normalise_date(digits) == kOk;
}

bool time_digits(const std::uint8_t* value, char (&digits)[7]) {
    const char* text = text_of(value);
    std::size_t kept = 0;
    for (std::size_t i = 0; text[i] != '\0' && i < kMaxArgumentText; ++i) {
        if (is_digit(text[i])) {
            if (kept < 6) digits[kept] = text[i];
            ++kept;
        } else if (text[i] != ':' && i != 2 && i != 5) {
            return false;
        }
    }
    if (kept != 6) return false;
    digits[6] = '\0';
    return two_digits(digits) < 24 && two_digits(digits + 2) < 60 && two_digits(digits + 4) < 60;
}

}  // namespace fcl
