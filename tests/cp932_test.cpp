// Code page 932 byte classes and the multibyte text routines.
#include <gtest/gtest.h>

#include <string>

#include "platform/cp932.h"

namespace fcl::test {
namespace {

using cp932::ByteType;

const std::string kA = "\x82\xA0";  // あ
const std::string kSo = "\x83\x5C";  // ソ: the trail byte is a backslash

TEST(Cp932, ByteTypesAreJudgedFromTheStart) {
    const std::string text = "a" + kA + "b" + kSo;
    const ByteType want[] = {ByteType::Single, ByteType::Lead, ByteType::Trail, ByteType::Single,
                             ByteType::Lead,   ByteType::Trail, ByteType::Invalid, ByteType::Invalid};
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(cp932::byte_type(text.c_str(), i), want[i]) << i;
    // A lead byte whose next byte is no trail byte leaves an invalid byte behind it.
    EXPECT_EQ(cp932::byte_type("\x82\x20", 1), ByteType::Invalid);
    // Half-width katakana are single bytes.
    EXPECT_EQ(cp932::byte_type("\xB1", 0), ByteType::Single);
}

TEST(Cp932, CountsCharacters) {
    EXPECT_EQ(cp932::char_count(""), 0u);
    EXPECT_EQ(cp932::char_count(("a" + kA + "b").c_str()), 3u);
    EXPECT_EQ(cp932::char_count("a\x82"), 2u);
}

TEST(Cp932, ComparesByCharacters) {
    struct Row {
        std::string a, b;
        int want;
    };
    const Row rows[] = {
        {"abc", "abd", -1}, {"ab", "abc", -1}, {"", "", 0}, {"b", "a", 1},
        {kA, "\xB1", 1},            // double-byte after half-width katakana
        {"a\x82", "a", 0},          // a lead byte before the NUL ends the text
        {kA + "a", kA + "b", -1},
    };
    for (const Row& row : rows) EXPECT_EQ(cp932::compare(row.a.c_str(), row.b.c_str()), row.want) << row.a;
}

TEST(Cp932, ReversesCharacters) {
    std::string text = "a" + kA + "b" + kSo;
    cp932::reverse(text.data());
    EXPECT_EQ(text, kSo + "b" + kA + "a");
    std::string lone = "ab\x82";
    cp932::reverse(lone.data());
    EXPECT_EQ(lone, "\x82" "ba");
}

}  // namespace
}  // namespace fcl::test
