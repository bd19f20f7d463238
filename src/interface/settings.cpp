#include "interface/settings.h"

#include <cstring>
#include <mutex>

#include "interface/process_state.h"
#include "platform/process_attach.h"
#include "platform/profile.h"

namespace fcl {

namespace {

constexpr const char* kDefaultMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

const LoadSettings& load_settings() { return state::settings; }

void apply_month_names(const char* value, char (&names)[12][kMonthNameSize]) {
    // Quotes are dropped (they do not protect commas); a comma ends a name. A name longer
    // than 16 bytes is cut to 16 bytes.
    std::size_t count = 0;
    char current[kMonthNameSize] = {};
    std::size_t length = 0;
    auto store = [&] {
        if (count < 12) std::memcpy(names[count], current, kMonthNameSize);
        ++count;
        std::memset(current, 0, sizeof current);
        length = 0;
    };
    const std::size_t total = std::strlen(value);
    for (std::size_t i = 0; i < total; ++i) {
        const char c = value[i];
        if (c == '"') continue;
        if (c == ',') {
            store();
            continue;
        }
        if (length < kMonthNameSize - 1) current[length++] = c;
    }
    if (length > 0 || (total > 0 && value[total - 1] == ',')) store();
}

void on_process_attach() {
    state::settings.load_date = platform::local_time();
    state::settings.load_time = platform::local_time();

    for (int m = 0; m < 12; ++m) std::strcpy(state::settings.month_names[m], kDefaultMonths[m]);
    char value[256];
    if (platform::profile_string(platform::kProfileSection, "Month", "", value, sizeof value,
                                 platform::kProfileFile) > 0)
        apply_month_names(value, state::settings.month_names);
    state::settings.date_error = platform::profile_int(platform::kProfileSection, "DateError", 1, platform::kProfileFile);
    state::settings.time_error = platform::profile_int(platform::kProfileSection, "TimeError", 1, platform::kProfileFile);
}

}  // namespace fcl

namespace fcl::detail {

void load_once() {
    static std::once_flag once;
    std::call_once(once, [] {
        on_process_attach();
        state::loaded.store(true, std::memory_order_release);
    });
}

}  // namespace fcl::detail

namespace fcl::platform {

void on_library_load() { ensure_loaded(); }

}  // namespace fcl::platform
