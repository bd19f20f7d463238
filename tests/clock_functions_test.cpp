// DATE, TIME, IDATE and ITIME read the platform clock; a fixed clock makes them predictable.
#include <gtest/gtest.h>

#include <string>

#include "fclib.h"
#include "formula_builder.h"
#include "functions/function_table.h"
#include "interface/settings.h"
#include "platform/clock.h"

namespace fcl::test {
namespace {

std::string run_function(const char* name, std::uint8_t type) {
    const auto code = FormulaBuilder(type).call(static_cast<std::uint8_t>(find_function(name, 0))).build();
    unsigned char result[FCL_MAX_VALUE] = {};
    EXPECT_EQ(FCLEXECUTE(nullptr, nullptr, code.data(), result), 0) << name;
    EXPECT_EQ(result[0], type) << name;
    return reinterpret_cast<const char*>(result + 1);
}

class ClockFunctions : public ::testing::Test {
protected:
    void TearDown() override {
        platform::fix_local_time(nullptr);
        on_process_attach();
    }
};

TEST_F(ClockFunctions, DateAndTimeReadTheClockAtEveryCall) {
    const platform::LocalTime first{2024, 3, 5, 7, 8, 9};
    platform::fix_local_time(&first);
    EXPECT_EQ(run_function("DATE", FCL_T_DATE), "20240305");
    EXPECT_EQ(run_function("TIME", FCL_T_TIME), "070809");
    const platform::LocalTime second{1999, 12, 31, 23, 59, 58};
    platform::fix_local_time(&second);
    EXPECT_EQ(run_function("DATE", FCL_T_DATE), "19991231");
    EXPECT_EQ(run_function("TIME", FCL_T_TIME), "235958");
}

TEST_F(ClockFunctions, IdateAndItimeKeepTheLoadTime) {
    const platform::LocalTime load{2001, 2, 3, 4, 5, 6};
    platform::fix_local_time(&load);
    on_process_attach();
    const platform::LocalTime later{2030, 11, 12, 13, 14, 15};
    platform::fix_local_time(&later);
    EXPECT_EQ(run_function("IDATE", FCL_T_DATE), "20010203");
    EXPECT_EQ(run_function("ITIME", FCL_T_TIME), "040506");
    EXPECT_EQ(run_function("DATE", FCL_T_DATE), "20301112");
}

}  // namespace
}  // namespace fcl::test
