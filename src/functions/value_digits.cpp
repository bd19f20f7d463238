#include "functions/value_digits.h"

#include "functions/text_values.h"
#include "functions/time_normaliser.h"

namespace fcl {

bool date_digits(const std::uint8_t* value, char (&digits)[kDateBufferSize]) {
    copy_date_text(digits, text_of(value));
    return normalise_date(digits) == kOk;
}

bool time_digits(const std::uint8_t* value, char (&digits)[kTimeBufferSize]) {
    return normalise_time(text_of(value), digits) == kOk;
}

}  // namespace fcl
