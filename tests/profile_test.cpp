// The profile reader, the load-time settings and FCLINIT's work areas.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fclib.h"
#include "interface/settings.h"
#include "interface/work_areas.h"
#include "platform/profile.h"
#include "scoped_profile.h"

namespace fcl::test {
namespace {

std::string read(const char* key, const char* fallback = "none", std::uint32_t size = 64) {
    std::vector<char> out(size);
    platform::profile_string("Fclib", key, fallback, out.data(), size, "ORBISRPT.INI");
    return out.data();
}

TEST(ProfileReader, NamesCompareWithoutCase) {
    ScopedProfile profile("; a comment\n[other]\nMonth=wrong\n[FCLIB]\n  month = \"A,B\"  \nDATEERROR=2\n",
                          "orbisrpt.ini");
    EXPECT_EQ(read("Month"), "A,B");
    EXPECT_EQ(read("MONTH"), "A,B");
    EXPECT_EQ(platform::profile_int("fclib", "DateError", 1, "Orbisrpt.ini"), 2);
    EXPECT_EQ(read("missing"), "none");
    EXPECT_EQ(platform::profile_int("Fclib", "missing", 7, "ORBISRPT.INI"), 7);
}

TEST(ProfileReader, ValuesAreCutToTheBuffer) {
    ScopedProfile profile("[Fclib]\nKey=abcdefgh\nNum=42abc\nNeg=-3\n;Hidden=1\n");
    EXPECT_EQ(read("Key", "", 4), "abc");
    EXPECT_EQ(platform::profile_string("Fclib", "Key", "", nullptr, 0, "ORBISRPT.INI"), 0u);
    EXPECT_EQ(platform::profile_int("Fclib", "Num", 0, "ORBISRPT.INI"), 42);
    EXPECT_EQ(platform::profile_int("Fclib", "Neg", 0, "ORBISRPT.INI"), -3);
    EXPECT_EQ(read("Hidden"), "none");
}

TEST(ProfileReader, MissingFileGivesDefaults) {
    ScopedProfile profile("", "other.ini");
    EXPECT_EQ(read("Month", "dflt"), "dflt");
    EXPECT_EQ(platform::profile_int("Fclib", "DateError", 1, "ORBISRPT.INI"), 1);
}

TEST(MonthNames, SplittingRule) {
    struct Row {
        const char* value;
        std::vector<std::string> first;  // the names expected in the first slots
        const char* fourth;
    };
    const Row rows[] = {
        {"Jan.,Feb.,Mar.", {"Jan.", "Feb.", "Mar."}, "Apr"},
        {"\"X,Y\",Z", {"X", "Y", "Z"}, "Apr"},
        {"X,", {"X", ""}, "Apr"},
        {"a,,c", {"a", "", "c"}, "Apr"},
        {"1,2,3,4,5,6,7,8,9,10,11,12,13", {"1", "2", "3", "4"}, "4"},
        {"ABCDEFGHIJKLMNOPQRSTU", {"ABCDEFGHIJKLMNOP"}, "Apr"},
    };
    for (const Row& row : rows) {
        char names[12][kMonthNameSize] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        apply_month_names(row.value, names);
        for (std::size_t i = 0; i < row.first.size(); ++i) EXPECT_EQ(names[i], row.first[i]) << row.value;
        EXPECT_STREQ(names[3], row.fourth) << row.value;
        EXPECT_STREQ(names[11], std::strcmp(row.value, "1,2,3,4,5,6,7,8,9,10,11,12,13") ? "Dec" : "12");
    }
}

TEST(LoadSettings, ReadFromProfileAtLoad) {
    {
        ScopedProfile profile("[Fclib]\nMonth=Ichi,Ni\nDateError=2\nTimeError=3\n");
        on_process_attach();
        EXPECT_STREQ(load_settings().month_names[0], "Ichi");
        EXPECT_STREQ(load_settings().month_names[2], "Mar");
        EXPECT_EQ(load_settings().date_error, 2);
        EXPECT_EQ(load_settings().time_error, 3);
    }
    ScopedProfile empty("");
    on_process_attach();
    EXPECT_STREQ(load_settings().month_names[0], "Jan");
    EXPECT_EQ(load_settings().date_error, 1);
    EXPECT_EQ(load_settings().time_error, 1);
}

class WorkAreas : public ::testing::Test {
protected:
    void TearDown() override {
        const int32_t free_them = 2;
        FCLINIT(0, &free_them);
        FCLSETMODE(0);
    }
    static int32_t init(int32_t mode) { return FCLINIT(0, &mode); }
};

TEST_F(WorkAreas, SizesFromProfileAndFreesAgain) {
    ScopedProfile profile("[Fclib]\nSumSize=25\nAvgSize=0\nMinSize=-4\n");
    EXPECT_EQ(init(1), 1);
    EXPECT_EQ(work_area(Aggregate::Sum).capacity, 25);
    EXPECT_TRUE(work_area(Aggregate::Sum).allocated);
    EXPECT_EQ(work_area(Aggregate::Avg).capacity, 0);
    EXPECT_EQ(work_area(Aggregate::Min).capacity, -4);
    EXPECT_EQ(work_area(Aggregate::Max).capacity, 10);  // key absent: fixed areas
    EXPECT_FALSE(work_area(Aggregate::Max).allocated);
    EXPECT_EQ(init(2), 1);
    for (Aggregate kind : {Aggregate::Sum, Aggregate::Avg, Aggregate::Min, Aggregate::Max}) {
        EXPECT_EQ(work_area(kind).capacity, 10);
        EXPECT_FALSE(work_area(kind).allocated);
    }
}

TEST_F(WorkAreas, ModeThreeChangesNothingAndOtherModesUseFixedAreas) {
    ScopedProfile profile("[Fclib]\nSumSize=3\n");
    init(1);
    EXPECT_EQ(init(3), 1);
    EXPECT_EQ(work_area(Aggregate::Sum).capacity, 3);
    EXPECT_EQ(init(0), 1);
    EXPECT_EQ(work_area(Aggregate::Sum).capacity, 10);
    EXPECT_FALSE(work_area(Aggregate::Sum).allocated);
    // Mode 2 after the fixed areas frees nothing and keeps them.
    EXPECT_EQ(init(2), 1);
    EXPECT_EQ(work_area(Aggregate::Sum).doubles, work_area(Aggregate::Sum).fixed_doubles);
    EXPECT_EQ(work_area(Aggregate::Sum).capacity, 10);
}

TEST_F(WorkAreas, FixedAreasStartFromZeroAtEveryInit) {
    ScopedProfile profile("");
    init(7);
    WorkArea& sum = work_area(Aggregate::Sum);
    sum.doubles[5] = 42.0;
    sum.numbers[5 * kNumberSize] = 9;
    init(1);
    EXPECT_EQ(sum.doubles[5], 0.0);
    EXPECT_EQ(sum.numbers[5 * kNumberSize], 0);
}

TEST_F(WorkAreas, TextModeAllocatesBackendNumbers) {
    ScopedProfile profile("[Fclib]\nMaxSize=4\n");
    FCLSETMODE(1);
    init(1);
    WorkArea& max = work_area(Aggregate::Max);
    EXPECT_EQ(max.capacity, 4);
    EXPECT_NE(max.numbers, max.fixed_numbers);
    EXPECT_EQ(max.doubles, max.fixed_doubles);
    EXPECT_NE(max.flags, max.fixed_flags);
}

}  // namespace
}  // namespace fcl::test
