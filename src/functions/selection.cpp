// IF, SELECT and the placeholder handler behind the group, running and overall aggregate names.
#include <cstring>

#include "functions/count_rule.h"
#include "functions/handlers.h"
#include "functions/text_values.h"
#include "interface/number_mode.h"
#include "interface/values.h"

namespace fcl::handlers {

namespace {

// Copies the value chosen by IF or SELECT to the result. The compiler keeps other types out;
// anything else is refused with 1003 and the result is left as it was.
Status copy_chosen(const std::uint8_t* value, std::uint8_t* result) {
    switch (value[0]) {
        case kString:
        case kTime:
        case kDate: {
            // Texts longer than a string result may hold (field values can be) are cut.
            std::size_t length = text_length(value);
            if (length > kMaxStringText) length = kMaxStringText;
            result[0] = value[0];
            std::memcpy(result + 1, value + 1, length);
            result[length + 1] = 0;
            return kOk;
        }
        case kNumber:
            if (!text_numbers()) {
                std::memcpy(result, value, 9);
                return kOk;
            }
            {
                const std::size_t length = text_length(value);
                result[0] = kNumber;
                std::memcpy(result + 1, value + 1, length);
                result[length + 1] = 0;
            }
            return kOk;
        case kLogical:
            result[0] = kLogical;
            result[1] = value[1] != 0 ? 1 : 0;
            return kOk;
        default:
            return kTypeError;
    }
}

}  // namespace

Status if_then_else(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    return copy_chosen(args[0][1] != 0 ? args[1] : args[2], result);
}

Status select(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const std::uint16_t argc = call_argc(result);
    const std::int32_t k = count_argument(args[0], ctx, false);
    // Values after the selector are arguments 2 to argc; k numbers them from 1.
    if (k <= 0 || k >= argc) return kTypeError;
    return copy_chosen(args[k], result);
}

Status placeholder(const std::uint8_t* const*, std::uint8_t* result, Context&) {
    write_blank_value(kNumber, result);
    return kOk;
}

}  // namespace fcl::handlers
