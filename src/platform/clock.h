// Stand-in for the Windows local time: the current local date and time of day.
#pragma once

namespace fcl::platform {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

LocalTime local_time();

// Test hook: a non-null time makes local_time() return it until cleared with null.
void fix_local_time(const LocalTime* time);

}  // namespace fcl::platform
