// Choosing and counting: IF and SELECT copy one of their arguments to the result, PAGE reports
// and steps a process-wide page counter, and the placeholder answers number zero for the group,
// running and overall aggregate names.
#include <charconv>
#include <cstring>
#include <mutex>

#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"

namespace fcl::handlers {

namespace {

// --- Process-wide state: PAGE's counter and step, one pair per number encoding ---
// Written by every PAGE call (a restart sets both, any other call steps the counter), under
// g_page_lock: runs on separate handles may call PAGE at the same time.
// Double-number mode starts counting at 1 by 1.
double g_page_double = 1.0;
double g_page_step_double = 1.0;
// Text-number mode: zero-filled backend numbers, which are zero for either backend.
alignas(8) std::uint8_t g_page_number[kNumberSize] = {};
alignas(8) std::uint8_t g_page_step_number[kNumberSize] = {};
std::mutex g_page_lock;

// Copies the value chosen by IF or SELECT to the result. The compiler keeps other types out;
// anything else is refused with 1003 and the result is left as it was.
Status copy_chosen(const std::uint8_t* value, std::uint8_t* result) {
    switch (value[0]) {
        case kNumber:
            if (!text_numbers()) {
                std::memcpy(result, value, 9);
                return kOk;
            }
            [[fallthrough]];
        case kString:
        case kTime:
        case kDate: {
            // Texts longer than a string result may hold (field values can be) are cut; a number
            // text is copied whole.
            std::size_t length = text_length(value);
            if (value[0] != kNumber && length > kMaxStringText) length = kMaxStringText;
            result[0] = value[0];
            std::memcpy(result + 1, value + 1, length);
            result[length + 1] = 0;
            return kOk;
        }
        case kLogical:
            result[0] = kLogical;
            result[1] = value[1] != 0 ? 1 : 0;
            return kOk;
        default:
            return kTypeError;
    }
}

// The counter as a page number: held in the 32-bit range, truncated, 0 when not positive.
Status write_page_double(std::uint8_t* result, double page) {
    long shown = 0;
    if (page >= 2147483647.0) shown = 2147483647L;
    else if (page >= 1.0) shown = static_cast<long>(page);
    char text[16];
    const char* end = std::to_chars(text, text + sizeof text, shown).ptr;
    write_string(result, text, static_cast<std::size_t>(end - text));
    return kOk;
}

Status write_page_number(std::uint8_t* result, const std::uint8_t* page) {
    char text[kNumberTextSize];
    backend().to_str(page, text, sizeof text, kStyleFull, -1);
    write_string(result, text, std::strlen(text));
    return kOk;
}

}  // namespace

Status if_then_else(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    return copy_chosen(args[0][1] != 0 ? args[1] : args[2], result);
}

Status select(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::uint16_t argc = call_argc(result);
    const std::int32_t k = count_argument(args[0], ctx, false);
    // Values after the selector are arguments 2 to argc; k numbers them from 1.
    if (k <= 0 || k >= argc) return kTypeError;
    return copy_chosen(args[k], result);
}

// PAGE shows the counter, then steps it; PAGE(start, step) restarts it and shows the start.
Status page(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    const bool restart = call_argc(result) == 2;
    if (!text_numbers()) {
        double shown;
        {
            const std::lock_guard lock(g_page_lock);
            if (restart) {
                g_page_double = payload_double(args[0]);
                g_page_step_double = payload_double(args[1]);
            }
            shown = g_page_double;
            if (!restart) g_page_double += g_page_step_double;
        }
        return write_page_double(result, shown);
    }
    const Backend& b = backend();
    alignas(8) std::uint8_t shown[kNumberSize];
    {
        const std::lock_guard lock(g_page_lock);
        if (restart) {
            b.from_str(g_page_number, payload_text(args[0]));
            b.from_str(g_page_step_number, payload_text(args[1]));
        }
        std::memcpy(shown, g_page_number, sizeof shown);
        if (!restart) b.add(g_page_number, g_page_step_number);
    }
    return write_page_number(result, shown);
}

Status placeholder(const std::uint8_t* const*, std::uint8_t* result, Context&, int) {
    write_blank_value(kNumber, result);
    return kOk;
}

}  // namespace fcl::handlers
