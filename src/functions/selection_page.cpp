// PAGE: a process-wide page counter and step, one pair per number encoding. Runs on separate
// handles may call PAGE at the same time, so every read and step of the counter holds the lock.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "functions/handlers.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"

namespace fcl::handlers {

namespace {

// Double-number mode starts counting at 1 by 1.
double g_page_double = 1.0;
double g_page_step_double = 1.0;
// Text-number mode: zero-filled backend numbers, which are zero for either backend.
alignas(8) std::uint8_t g_page_number[kNumberSize] = {};
alignas(8) std::uint8_t g_page_step_number[kNumberSize] = {};
std::mutex g_page_lock;

// The counter as a page number: held in the 32-bit range, truncated, 0 when not positive.
Status write_page_double(std::uint8_t* result, double page) {
    long shown = 0;
    if (page >= 2147483647.0) shown = 2147483647L;
    else if (page >= 1.0) shown = static_cast<long>(page);
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%ld", shown);
    write_string(result, text, static_cast<std::size_t>(length));
    return kOk;
}

Status write_page_number(std::uint8_t* result, const std::uint8_t* page) {
    char text[kNumberTextSize];
    backend().to_str(page, text, sizeof text, kStyleFull, -1);
    write_string(result, text, std::strlen(text));
    return kOk;
}

double payload_double(const std::uint8_t* value) {
    double x;
    std::memcpy(&x, value + 1, sizeof x);
    return x;
}

}  // namespace

Status page(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
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
            b.from_str(g_page_number, reinterpret_cast<const char*>(args[0] + 1));
            b.from_str(g_page_step_number, reinterpret_cast<const char*>(args[1] + 1));
        }
        std::memcpy(shown, g_page_number, sizeof shown);
        if (!restart) b.add(g_page_number, g_page_step_number);
    }
    return write_page_number(result, shown);
}

}  // namespace fcl::handlers
