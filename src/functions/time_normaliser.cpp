#include "functions/time_normaliser.h"

namespace fcl {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::int32_t two_digits(const char* text) { return (text[0] - '0') * 10 + (text[1] - '0'); }

}  // namespace

Status normalise_time(const char* text, char (&out)[kTimeBufferSize]) {
    std::size_t i = 0;
    std::size_t digits = 0;
    for (; text[i] != '\0'; ++i) {
        if (is_digit(text[i])) {
            if (digits < kTimeDigits) out[digits] = text[i];
            ++digits;
        } else if (text[i] != ':' && i != 2 && i != 5) {
            break;
        }
    }
    out[digits < kTimeDigits ? digits : kTimeDigits] = '\0';
    // An empty text ends the scan at once with no digits, which is refused here too.
    if (text[i] != '\0' || digits != kTimeDigits) return kTypeError;
    if (two_digits(out) > 23 || two_digits(out + 2) > 59 || two_digits(out + 4) > 59) return kTypeError;
    return kOk;
}

std::int32_t seconds_of_day(const char (&time)[kTimeBufferSize]) {
    return two_digits(time) * 3600 + two_digits(time + 2) * 60 + two_digits(time + 4);
}

}  // namespace fcl
