// The string functions on bytes and characters of code page 932 text: LEFT, RIGHT, MID, LEN,
// REP, SPC, AT, ASC, CHR, REVERSE and REPLACE. STR and VAL live in strings_str.cpp, LIKE in
// strings_like.cpp.
#include <cstring>

#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "platform/cp932.h"

namespace fcl::handlers {

namespace {

using cp932::ByteType;

// Control bytes as the C locale's iscntrl sees them.
bool is_control(std::int32_t byte) { return byte < 0x20 || byte == 0x7F; }

// Counts and positions of the cutting functions keep only their low 16 bits.
std::size_t cut_count(const std::uint8_t* value, Context& ctx) {
    return static_cast<std::uint16_t>(count_argument(value, ctx, false));
}

// Copies count bytes from offset of the argument text into the result. A cut through a
// double-byte character shows as a space where its half would be: a trail byte taken first,
// a lone lead byte taken alone, or a lead byte taken last whose trail byte is left behind.
Status cut(const std::uint8_t* value, std::size_t offset, std::size_t count, std::uint8_t* result) {
    const char* text = payload_text(value);
    const Status status = write_text_result(result, text + offset, count);
    if (status != kOk || count == 0) return status;
    char* out = reinterpret_cast<char*>(result + 1);
    const ByteType first = cp932::byte_type(text, offset);
    if (first == ByteType::Trail || (count == 1 && first == ByteType::Lead)) out[0] = ' ';
    if (count >= 2 && cp932::byte_type(text, offset + count) == ByteType::Trail) out[count - 1] = ' ';
    return kOk;
}

}  // namespace

// LEFT, RIGHT and MID cut a run of bytes out of a text without leaving half a double-byte
// character at either end of the cut.

Status left(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::size_t length = text_length(args[0]);
    const std::size_t n = cut_count(args[1], ctx);
    return cut(args[0], 0, n < length ? n : length, result);
}

Status right(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::size_t length = text_length(args[0]);
    const std::size_t n = cut_count(args[1], ctx);
    return n < length ? cut(args[0], length - n, n, result) : cut(args[0], 0, length, result);
}

// MID(s, p [, n]): from the 1-based position p to the end, at most n bytes.
Status mid(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::size_t length = text_length(args[0]);
    const std::size_t p = cut_count(args[1], ctx);
    if (p < 1 || p > length) return cut(args[0], 0, 0, result);
    std::size_t k = length - p + 1;
    if (call_argc(result) == 3) {
        const std::size_t n = cut_count(args[2], ctx);
        if (n < k) k = n;
    }
    return cut(args[0], p - 1, k, result);
}

Status len(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    write_count_result(result, static_cast<std::int32_t>(text_length(args[0])), ctx);
    return kOk;
}

Status rep(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::size_t length = text_length(args[0]);
    const std::size_t n = static_cast<std::size_t>(count_argument(args[1], ctx, false));
    if (length != 0 && n > kMaxStringText / length) return kTooLong;
    ResultText text;
    for (std::size_t i = 0; i < n && length != 0; ++i) text.append(payload_text(args[0]), length);
    return text.write(result);
}

Status spc(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    ResultText text;
    text.repeat(' ', static_cast<std::size_t>(count_argument(args[0], ctx, false)));
    return text.write(result);
}

// Byte position (1-based) of the first occurrence of t in s, 0 when none; an empty t is at 1.
// The search runs byte by byte, not by characters.
Status at(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::size_t length = text_length(args[0]);
    const std::size_t wanted = text_length(args[1]);
    std::int32_t position = 0;
    for (std::size_t i = 0; wanted <= length && i <= length - wanted; ++i) {
        if (std::memcmp(payload_text(args[0]) + i, payload_text(args[1]), wanted) == 0) {
            position = static_cast<std::int32_t>(i + 1);
            break;
        }
    }
    write_count_result(result, position, ctx);
    return kOk;
}

Status asc(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    write_count_result(result, static_cast<std::uint8_t>(payload_text(args[0])[0]), ctx);
    return kOk;
}

// One-byte text, or the empty text for bytes above 255, control bytes and lead bytes.
Status chr(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    const std::int32_t n = count_argument(args[0], ctx, false);
    const bool usable = n <= 0xFF && !is_control(n) && !cp932::is_lead(static_cast<std::uint8_t>(n));
    const char byte = static_cast<char>(n);
    return write_text_result(result, &byte, usable ? 1 : 0);
}

// The characters in reverse order, double-byte characters kept whole.
Status reverse(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    const std::size_t length = text_length(args[0]);
    const Status status = write_text_result(result, payload_text(args[0]), length);
    if (status == kOk) cp932::reverse(reinterpret_cast<char*>(result + 1));
    return status;
}

// Every occurrence of old replaced by new, scanning bytes left to right without overlaps and
// without regard to character boundaries. A result longer than 512 bytes is status 1004.
Status replace(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    const char* s = payload_text(args[0]);
    const char* old_text = payload_text(args[1]);
    const std::size_t length = text_length(args[0]);
    const std::size_t old_length = text_length(args[1]);
    const std::size_t new_length = text_length(args[2]);
    if (old_length == 0 || old_length > length) return write_text_result(result, s, length);
    ResultText text;
    std::size_t i = 0;
    while (i <= length - old_length) {
        if (std::memcmp(s + i, old_text, old_length) == 0) {
            text.append(payload_text(args[2]), new_length);
            i += old_length;
        } else {
            text.append(s + i, 1);
            ++i;
        }
    }
    text.append(s + i, length - i);
    return text.write(result);
}

}  // namespace fcl::handlers
