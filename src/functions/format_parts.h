// The pieces of FORMAT: the value as a number, the picture scan, the digit string and the
// rendering of the picture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "functions/minus_marks.h"
#include "interface/context.h"
#include "number/backend.h"
#include "platform/cp932.h"

namespace fcl::format {

// No argument text is longer than this (a tagged value fits a 528-byte area), so neither is a
// picture nor its count of digit positions.
constexpr std::size_t kMaxPicture = kCodeAreaSize - 2;

// The value converted as VAL converts it: a double in double-number mode, number text in
// text-number mode. A value VAL would reject (an invalid date or time) formats as 0.
struct Number {
    double value;
    char text[kNumberTextSize];
};
void value_as_number(const std::uint8_t* value, Number& number);

// The picture's digit positions and its first decimal point.
struct PictureScan {
    std::size_t integer_positions;
    std::size_t fraction_positions;
    std::size_t point;  // byte index of the decimal point; the picture length when there is none
    char point_kind;    // '.', 'P' or 'V' (0 when there is no point)
    char first_digit;   // '9' or 'Z': the kind of the first digit position, 0 when there is none
};
PictureScan scan_picture(const char* picture, std::size_t length);

// Digits aligned to the positions: integer digits padded with zeros on the left (on overflow
// the lowest-order digits that fit, the first of them replaced by "*"), then exactly as many
// fraction digits as there are fraction positions, truncated.
struct DigitString {
    char integer[kMaxPicture + 1];
    char fraction[kMaxPicture + 1];
    bool negative;
    bool overflow;
};
void build_digits(const Number& number, const PictureScan& scan, DigitString& digits, Context& ctx);

// A result under construction, longer than a string result may be; every write is bounded.
class Output {
public:
    static constexpr std::size_t kCapacity = 2 * kMaxPicture + 16;
    void append(const char* bytes, std::size_t count);
    void append(char byte) { append(&byte, 1); }
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

inline char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Bytes of the character at picture[i]: a double-byte character is one literal character,
// so a trail byte that happens to be "Z", "P", "V" or "\" is never read as a picture character.
inline std::size_t char_size(const char* picture, std::size_t i, std::size_t length) {
    return cp932::is_lead(static_cast<std::uint8_t>(picture[i])) && i + 1 < length ? 2 : 1;
}

}  // namespace fcl::format
