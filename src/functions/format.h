// FORMAT's pieces that its two sources share (format.cpp reads the value and the picture,
// format_picture.cpp renders the picture), and the minus-mark list, which tests also reach.
#pragma once

#include <cstddef>
#include <cstdint>

#include "functions/function_table.h"
#include "functions/handler_support.h"
#include "platform/cp932.h"

namespace fcl::format {

// --- Minus marks: texts that, written in a picture, replace the minus sign ---

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

// Splits a "MinusMark" value into marks: every comma ends a mark, double quotes are dropped,
// each mark keeps its first two bytes and the first ten marks are kept. An empty value gives
// the default list.
void parse_minus_marks(const char* value, MinusMarks& marks);

// --- The picture and its rendering ---

// A picture is an argument text, so neither it nor its count of digit positions is longer.
constexpr std::size_t kMaxPicture = kMaxArgumentText;

// The picture's digit positions and its first decimal point.
struct PictureScan {
    std::size_t integer_positions;
    std::size_t fraction_positions;
    std::size_t point;  // byte index of the decimal point; the picture length when there is none
    char point_kind;    // '.', 'P' or 'V' (0 when there is no point)
    char first_digit;   // '9' or 'Z': the kind of the first digit position, 0 when there is none
};

// Digits aligned to the positions: integer digits padded with zeros on the left (on overflow
// the lowest-order digits that fit, the first of them replaced by "*"), then exactly as many
// fraction digits as there are fraction positions, truncated.
struct DigitString {
    char integer[kMaxPicture + 1];
    char fraction[kMaxPicture + 1];
    bool negative;
    bool overflow;
};

// A result under construction, longer than a string result may be; every write is bounded.
class Output {
public:
    static constexpr std::size_t kCapacity = 2 * kMaxPicture + 16;
    void append(const char* bytes, std::size_t count);
    void append(char byte) {
        if (length_ < kCapacity) text_[length_++] = byte;
    }
    // Replaces count bytes at position at (at + count <= length) with the given bytes.
    void replace(std::size_t at, std::size_t count, const char* bytes, std::size_t size);
    char* data() { return text_; }
    std::size_t length() const { return length_; }

private:
    char text_[kCapacity];
    std::size_t length_ = 0;
};

// Walks the picture and writes the formatted text.
void render_picture(const char* picture, std::size_t length, const PictureScan& scan, const DigitString& digits,
                    const MinusMarks& marks, Output& out);

inline bool is_digit_position(char c) { return c == '9' || c == 'Z' || c == 'z'; }

// Bytes of the character at picture[i]: a double-byte character is one literal character,
// so a trail byte that happens to be "Z", "P", "V" or "\" is never read as a picture character.
inline std::size_t char_size(const char* picture, std::size_t i, std::size_t length) {
    return cp932::is_lead(static_cast<std::uint8_t>(picture[i])) && i + 1 < length ? 2 : 1;
}

}  // namespace fcl::format
