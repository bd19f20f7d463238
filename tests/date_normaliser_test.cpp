// The date normaliser: accepted forms, the century rule and the day limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "functions/date_normaliser.h"
#include "scoped_profile.h"

namespace fcl::test {
namespace {

struct Row {
    const char* input;
    Status status;
    const char* output;  // the text afterwards (for rejected texts: as far as it was compacted)
};

void check(const Row& row) {
    char text[kDateBufferSize];
    copy_date_text(text, row.input);
    EXPECT_EQ(normalise_date(text), row.status) << row.input;
    if (row.output) {
        EXPECT_STREQ(text, row.output) << row.input;
    }
}

TEST(DateNormaliser, FormsAndLimits) {
    ScopedProfile none("");
    const Row rows[] = {
        {"1998/12/31", kOk, "19981231"},  {"1998-12-31", kOk, "19981231"},
        {"1998.12.31", kOk, "19981231"},  {"19981231", kOk, "19981231"},
        {"98/12/31", kOk, "19981231"},    {"981231", kOk, "19981231"},
        {"79/12/31", kOk, "20791231"},    {"80/01/01", kOk, "19800101"},
        {"2024x03x15", kOk, "20240315"},  {"00000000", kOk, "00000000"},
        {"20240229", kOk, "20240229"},    {"20230229", kTypeError, nullptr},
        {"20240230", kTypeError, nullptr}, {"20241305", kOk, "20241305"},
        {"20241332", kTypeError, nullptr}, {"20240100", kOk, "20240100"},
        {"19000229", kTypeError, nullptr}, {"20000229", kOk, "20000229"},
        {"1998/1/5", kTypeError, "199815"}, {"2024/3/15", kTypeError, "2024/3/15"},
        {"19981231 ", kTypeError, nullptr}, {"12/31/1998", kTypeError, nullptr},
        {"", kTypeError, ""},             {"abcdefgh", kTypeError, nullptr},
        {"20241231xxxxxxxxxxxxxxxxxxxx", kTypeError, nullptr},
    };
    for (const Row& row : rows) check(row);
}

TEST(DateNormaliser, ZeroYearOneAlwaysGivesNineteen) {
    ScopedProfile profile("[Fclib]\nZeroYear=1\n");
    check({"98/12/31", kOk, "19981231"});
    check({"79/12/31", kOk, "19791231"});
    check({"050309", kOk, "19050309"});
}

}  // namespace
}  // namespace fcl::test
