// FORMAT(value, picture): the value rendered through a picture. FORMAT reports no error.
#include <cstring>

#include "functions/format_parts.h"
#include "functions/handlers.h"
#include "functions/text_values.h"
#include "interface/values.h"
#include "platform/cp932.h"

namespace fcl::handlers {

namespace {

// A result holds at most 512 bytes; a longer one (a long picture, or one the minus text
// lengthened) is cut there without leaving half a double-byte character at the end.
Status write_cut(std::uint8_t* result, char* text, std::size_t length) {
    if (length > kMaxStringText) {
        text[kMaxStringText] = '\0';
        length = kMaxStringText;
        if (cp932::byte_type(text, length - 1) == cp932::ByteType::Lead) --length;
    }
    write_string(result, text, length);
    return kOk;
}

}  // namespace

Status format(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    // A private copy of the picture, always terminated. Only a string can be a picture.
    char picture[format::kMaxPicture + 1];
    std::size_t length = 0;
    if (args[1][0] == kString) {
        length = text_length(args[1]);
        std::memcpy(picture, text_of(args[1]), length);
    }
    picture[length] = '\0';

    const format::PictureScan scan = format::scan_picture(picture, length);
    if (!scan.first_digit) return write_cut(result, picture, length);

    format::Number number;
    format::value_as_number(args[0], number);
    format::DigitString digits;
    format::build_digits(number, scan, digits, ctx);
    format::Output out;
    format::render_picture(picture, length, scan, digits, format::minus_marks(), out);
    char text[format::Output::kCapacity + 1];
    std::memcpy(text, out.data(), out.length());
    text[out.length()] = '\0';
    return write_cut(result, text, out.length());
}

}  // namespace fcl::handlers
