#include "functions/minus_marks.h"

#include <atomic>
#include <mutex>

#include "platform/profile.h"

namespace fcl::format {

namespace {

// Written once, under the lock, by the first FORMAT that needs the list; the flag's release
// store publishes the list to every thread that sees the flag set.
MinusMarks g_marks{};
std::atomic<bool> g_loaded{false};
std::mutex g_load_lock;

// "▲" in code page 932.
constexpr MinusMark kDefaultMark = {{'\x81', '\xA3', '\0'}};

}  // namespace

void parse_minus_marks(const char* value, MinusMarks& marks) {
    marks = MinusMarks{};
    if (*value == '\0') {
        marks.marks[0] = kDefaultMark;
        marks.count = 1;
        return;
    }
    std::size_t used = 0;  // bytes of the current mark
    marks.count = 1;
    for (const char* p = value; *p; ++p) {
        if (*p == '"') continue;
        if (*p == ',') {
            if (marks.count == kMaxMinusMarks) return;
            ++marks.count;
            used = 0;
            continue;
        }
        if (used < 2) marks.marks[marks.count - 1].bytes[used++] = *p;
    }
}

const MinusMarks& minus_marks() {
    if (g_loaded.load(std::memory_order_acquire)) return g_marks;
    const std::lock_guard lock(g_load_lock);
    if (!g_loaded.load(std::memory_order_relaxed)) {
        char value[256];
        platform::profile_string(platform::kProfileSection, "MinusMark", "", value, sizeof value,
                                 platform::kProfileFile);
        parse_minus_marks(value, g_marks);
        g_loaded.store(true, std::memory_order_release);
    }
    return g_marks;
}

void forget_minus_marks() {
    const std::lock_guard lock(g_load_lock);
    g_loaded.store(false, std::memory_order_relaxed);
}

}  // namespace fcl::format
