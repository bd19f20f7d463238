// The exported interface: symbol list of the shared library and the simple entry points.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "fclib.h"
#include "interface/context.h"

namespace fcl::test {
namespace {

// Read before any test runs: the mode a freshly loaded library reports.
const int32_t g_mode_at_start = FCLMODE();

TEST(SharedLibrary, ExportsExactlyThePublicEntryPoints) {
    const std::set<std::string> expected = {
        "FCLINIT", "FCLMODE", "FCLSETMODE", "FCLCREATEHANDLE", "FCLRELEASEHANDLE", "FCLCOMPILE",
        "FCLCOMPILE2", "FCLEXECUTE", "FCLEXECUTE2", "LoadMPL32", "FreeMPL32", "NumSetup", "NumSize",
        "NumType", "NumToStr", "NumFromStr", "NumFromInt", "NumFromDbl", "NumComp", "NumIsZero", "NumZero",
        "NumMin", "NumMax", "NumNeg", "NumInt", "NumAdd", "NumSub", "NumMul", "NumDiv", "NumCopy",
        "NumCompInt", "NumFrac", "NumInc", "NumDec"};
    const std::string command = std::string("nm -D --defined-only ") + FCLIB_SHARED_LIBRARY;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], kind[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, kind, name) == 3) exported.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(exported, expected);
}

TEST(EntryPoints, ModeStartsAtZeroAndFollowsSetMode) {
    EXPECT_EQ(g_mode_at_start, 0);
    FCLSETMODE(7);
    EXPECT_EQ(FCLMODE(), 7);
    FCLSETMODE(0);
    EXPECT_EQ(FCLMODE(), 0);
}

TEST(EntryPoints, HandlesAreClearedContexts) {
    const auto* handle = static_cast<const unsigned char*>(FCLCREATEHANDLE());
    ASSERT_NE(handle, nullptr);
    for (std::size_t i = 0; i < sizeof(Context); ++i) ASSERT_EQ(handle[i], 0) << i;
    FCLRELEASEHANDLE(const_cast<unsigned char*>(handle));
    FCLRELEASEHANDLE(nullptr);
}

TEST(EntryPoints, LibraryStubsAndInitAnswer) {
    EXPECT_EQ(LoadMPL32(), 1);
    FreeMPL32();
    const int32_t nothing = 3;
    EXPECT_EQ(FCLINIT(0, &nothing), 1);
    EXPECT_EQ(FCLINIT(0, nullptr), 1);
}

TEST(EntryPoints, LibraryLoadsWithTheDecimalBackend) {
    EXPECT_EQ(NumType(), 5);
    EXPECT_EQ(NumSize(), 28);
}

}  // namespace
}  // namespace fcl::test
