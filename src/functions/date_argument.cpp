#include "functions/date_argument.h"

#include <cstdio>
#include <cstring>

#include "functions/text_fields.h"
#include "interface/context.h"
#include "interface/settings.h"

namespace fcl {

void normalise_date_argument(const std::uint8_t* value, DateArgument& date) {
    const char* payload = reinterpret_cast<const char*>(value + 1);
    const std::size_t length = strnlen(payload, kDateBufferSize - 1);
    std::memcpy(date.text, payload, length);
    date.text[length] = '\0';
    date.rejected = normalise_date(date.text) != kOk;
    date.blanked = false;
}

Status prepare_date_argument(const std::uint8_t* value, DateArgument& date) {
    normalise_date_argument(value, date);
    if (!date.rejected) return kOk;
    switch (load_settings().date_error) {
        case 1:
            std::memcpy(date.text, "00000000", 9);
            date.blanked = true;
            return kOk;
        case 2:
            return kTypeError;
        default:
            return kOk;
    }
}

CalendarDate date_fields(const char* text) {
    return CalendarDate{field_value(text_field(text, 0, 4)), field_value(text_field(text, 4, 2)),
                        field_value(text_field(text, 6, 2))};
}

void write_date_value(std::uint8_t* result, const CalendarDate& date) {
    result[0] = kDate;
    std::snprintf(reinterpret_cast<char*>(result + 1), kCodeAreaSize - 1, "%04d%02d%02d", date.year, date.month,
                  date.day);
}

}  // namespace fcl
