#include "platform/clock.h"

#include <ctime>

namespace fcl::platform {

namespace {
bool g_fixed = false;
LocalTime g_fixed_time{};
}  // namespace

LocalTime local_time() {
    if (g_fixed) return g_fixed_time;
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour, parts.tm_min, parts.tm_sec};
}

void fix_local_time(const LocalTime* time) {
    g_fixed = time != nullptr;
    if (time) g_fixed_time = *time;
}

}  // namespace fcl::platform
