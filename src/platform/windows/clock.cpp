// Local date and time from Windows.
#include "platform/clock.h"

#include <windows.h>

namespace fcl::platform {

LocalTime local_time() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace fcl::platform
