// The local time from the JavaScript clock: the host's clock function when it set one
// (Module.fclClock, returning a Date read in local time or an object of the six fields), else
// the current Date.
#include "platform/clock.h"

#include <emscripten.h>

namespace {

EM_JS(void, js_local_time, (int* parts), {
    const clock = Module["fclClock"];
    const now = clock ? clock() : new Date();
    const fields = now instanceof Date
        ? [now.getFullYear(), now.getMonth() + 1, now.getDate(), now.getHours(), now.getMinutes(), now.getSeconds()]
        : [now.year, now.month, now.day, now.hour, now.minute, now.second];
    for (let i = 0; i < 6; ++i) HEAP32[(parts >> 2) + i] = fields[i] | 0;
});

}  // namespace

namespace fcl::platform {

LocalTime local_time() {
    int parts[6] = {};
    js_local_time(parts);
    return LocalTime{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
}

}  // namespace fcl::platform
