// The minus marks of FORMAT: texts that, written in a picture, replace the minus sign.
#pragma once

#include <cstddef>

namespace fcl::format {

constexpr std::size_t kMaxMinusMarks = 10;

struct MinusMark {
    char bytes[3];  // one or two bytes, NUL-padded
};

struct MinusMarks {
    MinusMark marks[kMaxMinusMarks];
    std::size_t count;
};

// The process-wide list: read from "MinusMark" the first time it is asked for, then kept.
// Without the key (or with an empty value) the list is the one mark "▲".
const MinusMarks& minus_marks();

// Test hook: forgets the loaded list so that the next call reads the profile again.
void forget_minus_marks();

// Splits a "MinusMark" value into marks: every comma ends a mark, double quotes are dropped,
// each mark keeps its first two bytes and the first ten marks are kept. An empty value gives
// the default list.
void parse_minus_marks(const char* value, MinusMarks& marks);

}  // namespace fcl::format
