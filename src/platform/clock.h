// Stand-in for the Windows local time: the current local date and time of day.
#pragma once

namespace fcl::platform {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

LocalTime local_time();

}  // namespace fcl::platform
