// Runs part of a test in a new process of this test binary, where the library's process-wide
// state (settings read once, counters, aggregate slots) is as a freshly loaded library has it.
// A gtest death test of the "threadsafe" style re-executes the binary for the one test; the
// child prints its failures, which make it exit with 1 and fail the test in the parent.
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#if defined(__GNUC__) && !defined(_WIN32)
// Present in a coverage build linked with -Wl,-u,__gcov_dump: writes the counts of the child,
// which its quick exit would lose.
extern "C" void __gcov_dump(void) __attribute__((weak));
#endif

namespace fcl::test {

[[noreturn]] inline void run_as_child(const std::function<void()>& body) {
    ::testing::TestPartResultArray results;
    {
        const ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
        body();
    }
    int failures = 0;
    for (int i = 0; i < results.size(); ++i) {
        const ::testing::TestPartResult& result = results.GetTestPartResult(i);
        if (!result.failed()) continue;
        ++failures;
        std::fprintf(stderr, "%s:%d: %s\n", result.file_name() ? result.file_name() : "?", result.line_number(),
                     result.message());
    }
    std::fflush(stderr);
#if defined(__GNUC__) && !defined(_WIN32)
    if (__gcov_dump) __gcov_dump();
#endif
    std::_Exit(failures ? 1 : 0);
}

inline void in_fresh_process(const std::function<void()>& body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(run_as_child(body), ::testing::ExitedWithCode(0), "");
}

}  // namespace fcl::test
