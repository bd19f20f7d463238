#include "functions/minus_marks.h"

#include "platform/profile.h"

namespace fcl::format {

namespace {

MinusMarks g_marks{};
bool g_loaded = false;

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
    if (!g_loaded) {
        char value[256];
        platform::profile_string(platform::kProfileSection, "MinusMark", "", value, sizeof value,
                                 platform::kProfileFile);
        parse_minus_marks(value, g_marks);
        g_loaded = true;
    }
    return g_marks;
}

void forget_minus_marks() { g_loaded = false; }

}  // namespace fcl::format
