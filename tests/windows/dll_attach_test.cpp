// fclib.dll does its load work when a host loads it (DllMain, process attach): the decimal
// backend is in place, and the month names come from the profile present at LoadLibrary, not
// from the one present at the first call.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

#include "fclib.h"
#include "profile_file.h"

namespace fcl::test {
namespace {

int32_t no_fields(void*, const char*, void*, uint16_t*) { return 1; }

template <typename Function>
Function* entry_point(HMODULE dll, const char* name) {
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

TEST(WindowsDll, LoadWorkRunsAtProcessAttach) {
    std::optional<ScopedProfile> profile(std::in_place, "[Fclib]\nMonth=Ichi,Ni,San\n");
    HMODULE dll = LoadLibraryA(FCLIB_SHARED_LIBRARY);
    ASSERT_NE(dll, nullptr) << GetLastError();
    profile.reset();
    const auto compile = entry_point<decltype(FCLCOMPILE)>(dll, "FCLCOMPILE");
    const auto execute = entry_point<decltype(FCLEXECUTE)>(dll, "FCLEXECUTE");
    const auto num_type = entry_point<decltype(NumType)>(dll, "NumType");
    ASSERT_TRUE(compile && execute && num_type);
    EXPECT_EQ(num_type(), 5);
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE];
    ASSERT_EQ(compile(no_fields, nullptr, "MONTH2(\"20240215\")", code, nullptr), FCL_OK);
    ASSERT_EQ(execute(no_fields, nullptr, code, result), FCL_OK);
    EXPECT_STREQ(reinterpret_cast<const char*>(result + 1), "Ni");
    FreeLibrary(dll);
}

}  // namespace
}  // namespace fcl::test
