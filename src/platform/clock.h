// The current local date and time of day: GetLocalTime on Windows, the C library elsewhere.
#pragma once

namespace fcl::platform {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

LocalTime local_time();

}  // namespace fcl::platform
