// The date and time normalisers: the checks that decide whether a text is a date or a time
// of day, and the compaction to yyyymmdd and hhmmss. The compiler applies them to literals,
// the date, time, string and FORMAT functions to arguments.
#include <cstring>

#include "functions/date_normaliser.h"
#include "functions/time_normaliser.h"
#include "platform/profile.h"

namespace fcl {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::int32_t two_digits(const char* text) { return (text[0] - '0') * 10 + (text[1] - '0'); }

// "19" or "20" for a two-digit year: "ZeroYear" 1 always gives 19; else 80..99 give 19.
const char* century_for(const char* text) {
    if (platform::profile_int(platform::kProfileSection, "ZeroYear", 0, platform::kProfileFile) == 1) return "19";
    int year = 0;
    for (int i = 0; i < 2 && is_digit(text[i]); ++i) year = year * 10 + (text[i] - '0');
    return year >= 80 ? "19" : "20";
}

}  // namespace

// --- Dates ---

void copy_date_text(char (&buffer)[kDateBufferSize], const char* payload) {
    const std::size_t len = strnlen(payload, kDateBufferSize);
    if (len >= kDateBufferSize) {
        // Too long to be a date in any form: leave a text of an unaccepted length.
        std::memset(buffer, 'x', kDateBufferSize - 1);
        buffer[kDateBufferSize - 1] = '\0';
        return;
    }
    std::memcpy(buffer, payload, len + 1);
}

Status normalise_date(char* text) {
    const std::size_t n = std::strlen(text);
    const bool short_year = n == 6 || (n == 8 && text[2] == '/' && text[5] == '/');
    if (n != 6 && n != 8 && n != 10) return kTypeError;
    if (short_year) {
        const char* century = century_for(text);
        std::memmove(text + 2, text, n + 1);
        text[0] = century[0];
        text[1] = century[1];
    }
    std::size_t j = 0;
    std::size_t i = 0;
    for (; text[i] != '\0'; ++i) {
        if (is_digit(text[i])) text[j++] = text[i];
        else if (text[i] != '/' && i != 4 && i != 7) break;
    }
    const bool scanned_all = text[i] == '\0';
    text[j] = '\0';
    if (!scanned_all || j != 8) return kTypeError;
    const int year = two_digits(text) * 100 + two_digits(text + 2);
    const int month = two_digits(text + 4);
    const int day = two_digits(text + 6);
    int limit = 31;
    if (month >= 1 && month <= 12) limit = days_in_month(year, month);
    return day > limit ? kTypeError : kOk;
}

// --- Times ---

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
