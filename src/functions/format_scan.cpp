// FORMAT's picture scan: the digit positions on each side of the first decimal point.
#include "functions/format_parts.h"

namespace fcl::format {

namespace {

// P and V are a decimal point only right after a digit position and before the end of the
// picture or another digit position; elsewhere they are literals.
bool is_point(const char* picture, std::size_t i, std::size_t length, bool after_digit) {
    const char c = upper(picture[i]);
    if (c == '.') return true;
    if (c != 'P' && c != 'V') return false;
    return after_digit && (i + 1 == length || is_digit_position(picture[i + 1]));
}

}  // namespace

PictureScan scan_picture(const char* picture, std::size_t length) {
    PictureScan scan{0, 0, length, 0, 0};
    bool after_digit = false;
    for (std::size_t i = 0; i < length;) {
        const std::size_t size = char_size(picture, i, length);
        const char c = picture[i];
        const bool digit = size == 1 && is_digit_position(c);
        if (digit) {
            if (!scan.first_digit) scan.first_digit = c == '9' ? '9' : 'Z';
            if (scan.point == length) ++scan.integer_positions;
            else ++scan.fraction_positions;
        } else if (size == 1 && scan.point == length && is_point(picture, i, length, after_digit)) {
            scan.point = i;
            scan.point_kind = upper(c) == '.' ? '.' : upper(c);
        }
        after_digit = digit;
        i += size;
    }
    return scan;
}

}  // namespace fcl::format
