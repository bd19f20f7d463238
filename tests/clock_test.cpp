// DATE and TIME read the local clock at every call; IDATE and ITIME keep the time the
// load-time settings were read (when the library loaded, or when the case runner last read
// them again).
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "fclib.h"

namespace fcl::test {
namespace {

std::string run(const char* formula, std::uint8_t type) {
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE] = {};
    EXPECT_EQ(FCLCOMPILE(nullptr, nullptr, formula, code, nullptr), 0) << formula;
    EXPECT_EQ(FCLEXECUTE(nullptr, nullptr, code, result), 0) << formula;
    EXPECT_EQ(result[0], type) << formula;
    return reinterpret_cast<const char*>(result + 1);
}

// The local time as yyyymmddhhmmss.
std::string now() {
    const std::time_t t = std::time(nullptr);
    const std::tm parts = *std::localtime(&t);  // this test's own thread only
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
    return text;
}

TEST(Clock, DateAndTimeFollowTheClockWhileIdateAndItimeStay) {
    const std::string loaded = run("IDATE()", FCL_T_DATE) + run("ITIME()", FCL_T_TIME);
    ASSERT_EQ(loaded.size(), 14u);
    EXPECT_LE(loaded, now());
    // Wait until the clock has left the second the settings were read in.
    while (now() == loaded) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string before, current;
    do {
        before = now();
        current = run("DATE()", FCL_T_DATE) + run("TIME()", FCL_T_TIME);
    } while (before != now());
    EXPECT_EQ(current, before);
    EXPECT_EQ(run("IDATE()", FCL_T_DATE) + run("ITIME()", FCL_T_TIME), loaded);
}

}  // namespace
}  // namespace fcl::test
