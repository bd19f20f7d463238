// Value sizes and the raw value conversion, in both number encodings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fclib.h"
#include "interface/context.h"
#include "interface/values.h"

namespace fcl::test {
namespace {

class ModeGuard {
public:
    explicit ModeGuard(int32_t mode) { FCLSETMODE(mode); }
    ~ModeGuard() { FCLSETMODE(0); }
};

std::uint16_t size_of(std::vector<std::uint8_t> bytes) { return value_size(bytes.data(), bytes.size()); }

TEST(ValueSize, EveryTypeInBothModes) {
    struct Row {
        std::vector<std::uint8_t> value;
        std::uint16_t double_mode;
        std::uint16_t text_mode;
    };
    const Row rows[] = {
        {{1, 'a', 'b', 0}, 4, 4},
        {{1, 0}, 2, 2},
        {{2, '1', '2', 0, 0, 0, 0, 0, 0}, 9, 4},
        {{4, 1}, 2, 2},
        {{8, '1', '2', '3', '4', '5', '6', 0}, 8, 8},
        {{16, '2', '0', '2', '4', '0', '1', '0', '1', 0}, 10, 10},
        {{32, 'A', 0, 0xFF, 0xFF}, 5, 5},
        {{64, 'A', 'b', 0, 0xFF, 0xFF}, 6, 6},
        {{128, 9}, 2, 2},
        {{0, 0}, 0, 0},
        {{3, 0}, 0, 0},
        {{17, 0}, 0, 0},
        {{255, 0}, 0, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(size_of(row.value), row.double_mode) << int(row.value[0]);
        ModeGuard text(1);
        EXPECT_EQ(size_of(row.value), row.text_mode) << int(row.value[0]);
    }
}

TEST(ValueSize, UnterminatedTextHasNoSize) {
    const std::uint8_t value[] = {1, 'a', 'b'};
    EXPECT_EQ(value_size(value, sizeof value), 0);
}

struct RawCase {
    const char* label;
    std::uint16_t type_word;
    std::vector<std::uint8_t> raw;
    std::string double_mode;  // hex of the tagged value in double-number mode
    std::string text_mode;    // the tagged value in text-number mode (decimal backend)
};

std::vector<std::uint8_t> bytes_of(const void* value, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(value);
    return {p, p + n};
}

template <typename T>
std::vector<std::uint8_t> raw(T value) {
    return bytes_of(&value, sizeof value);
}

std::string show(const std::uint8_t* value, std::uint16_t size, bool text) {
    if (size == 0) return "none";
    if (value[0] == 2 && !text) {
        double x;
        std::memcpy(&x, value + 1, sizeof x);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "number %.17g", x);
        return buffer;
    }
    if (value[0] == 4) return value[1] ? "logical 1" : "logical 0";
    if (value[0] == 128) return "call " + std::to_string(value[1]);
    return "type " + std::to_string(value[0]) + " " + reinterpret_cast<const char*>(value + 1);
}

TEST(RawValueConversion, EveryFormatInBothModes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const RawCase cases[] = {
        {"u8", 0x1002, raw<std::uint8_t>(200), "number 200", "type 2 200"},
        {"i8", 0x9002, raw<std::int8_t>(-100), "number -100", "type 2 -100"},
        {"u16", 0x2002, raw<std::uint16_t>(65535), "number 65535", "type 2 65535"},
        {"i16", 0xA002, raw<std::int16_t>(-32768), "number -32768", "type 2 -32768"},
        {"u32", 0x4002, raw<std::uint32_t>(4294967295u), "number 4294967295", "type 2 4294967295"},
        {"i32", 0xC002, raw<std::int32_t>(-5), "number -5", "type 2 -5"},
        {"double", 0x8002, raw<double>(1.5), "number 1.5", "type 2 150000000e-8"},
        {"text", 0x0002, {'1', '2', '.', '5', '0', 0}, "number 12.5", "type 2 1250000000e-8"},
        {"logical nan", 0x8004, raw<double>(nan), "logical 1", "logical 1"},
        {"logical zero double", 0x8004, raw<double>(0.0), "logical 0", "logical 0"},
        {"logical u8", 0x1004, raw<std::uint8_t>(2), "logical 1", "logical 1"},
        {"logical u16 high byte", 0x2004, raw<std::uint16_t>(0x100), "logical 1", "logical 1"},
        {"logical text", 0x0004, {'0', '.', '0', 0}, "logical 0", "logical 0"},
        {"string", 0x0001, {'a', 'b', 0}, "type 1 ab", "type 1 ab"},
        {"empty string", 0x0001, {0}, "type 1 ", "type 1 "},
        {"date", 0x0010, {'2', '0', '2', '4', '0', '3', '1', '5', 0}, "type 16 20240315", "type 16 20240315"},
        {"time", 0x0008, {'1', '2', '3', '4', '5', '6', 0}, "type 8 123456", "type 8 123456"},
        {"unknown type", 0x0003, {'x', 0}, "none", "none"},
    };
    Context& ctx = *static_cast<Context*>(FCLCREATEHANDLE());
    for (const RawCase& c : cases) {
        std::uint8_t out[kCodeAreaSize];
        std::uint16_t size = convert_raw_value(c.type_word, c.raw.data(), out, sizeof out, ctx);
        EXPECT_EQ(show(out, size, false), c.double_mode) << c.label;
        ModeGuard text(1);
        size = convert_raw_value(c.type_word, c.raw.data(), out, sizeof out, ctx);
        EXPECT_EQ(show(out, size, true), c.text_mode) << c.label;
    }
    FCLRELEASEHANDLE(&ctx);
}

TEST(RawValueConversion, ReferencesKeepTheirTrailingWord) {
    Context& ctx = *static_cast<Context*>(FCLCREATEHANDLE());
    std::uint8_t out[kCodeAreaSize];
    const char name[] = "Amount";
    ASSERT_EQ(convert_raw_value(0x0040, name, out, sizeof out, ctx), 10);
    const std::vector<std::uint8_t> want = {64, 'A', 'm', 'o', 'u', 'n', 't', 0, 0xFF, 0xFF};
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 10), want);
    FCLRELEASEHANDLE(&ctx);
}

TEST(RawValueConversion, OutputThatDoesNotFitIsRefused) {
    Context& ctx = *static_cast<Context*>(FCLCREATEHANDLE());
    std::uint8_t out[4];
    EXPECT_EQ(convert_raw_value(0x0001, "abcd", out, sizeof out, ctx), 0);
    EXPECT_EQ(convert_raw_value(0x8002, "\0\0\0\0\0\0\0\0", out, sizeof out, ctx), 0);
    FCLRELEASEHANDLE(&ctx);
}

}  // namespace
}  // namespace fcl::test
