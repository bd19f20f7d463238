// Tests of the decimal backend's stored bytes: each runs with that backend installed and puts
// the previous one back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fclib.h"

namespace fcl::test {

// A decimal number's 28 stored bytes.
struct Bytes {
    unsigned char b[28];
};

class DecimalBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_type_ = NumType();
        NumSetup(FCL_BACKEND_DECIMAL);
    }
    void TearDown() override { NumSetup(saved_type_); }

    // The number's payload text.
    static std::string digits(const Bytes& x) {
        char text[FCL_NUM_TEXT_MAX];
        return NumToStr(x.b, text, FCL_NUM_FULL, -1);
    }

private:
    std::int32_t saved_type_ = 5;
};

}  // namespace fcl::test
