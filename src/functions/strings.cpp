// The smaller string functions: LEN, REP, SPC, AT, ASC, CHR, REVERSE and REPLACE.
#include <cstring>

#include "functions/count_rule.h"
#include "functions/handlers.h"
#include "functions/text_values.h"
#include "platform/cp932.h"

namespace fcl::handlers {

namespace {

// Control bytes as the C locale's iscntrl sees them.
bool is_control(std::int32_t byte) { return byte < 0x20 || byte == 0x7F; }

}  // namespace

Status len(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    write_count_result(result, static_cast<std::int32_t>(text_length(args[0])), ctx);
    return kOk;
}

Status rep(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const std::size_t length = text_length(args[0]);
    const std::size_t n = static_cast<std::size_t>(count_argument(args[1], ctx, false));
    if (length != 0 && n > kMaxStringText / length) return kTooLong;
    ResultText text;
    for (std::size_t i = 0; i < n && length != 0; ++i) text.append(text_of(args[0]), length);
    return text.write(result);
}

Status spc(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    ResultText text;
    text.repeat(' ', static_cast<std::size_t>(count_argument(args[0], ctx, false)));
    return text.write(result);
}

// Byte position (1-based) of the first occurrence of t in s, 0 when none; an empty t is at 1.
// The search runs byte by byte, not by characters.
Status at(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const std::size_t length = text_length(args[0]);
    const std::size_t wanted = text_length(args[1]);
    std::int32_t position = 0;
    for (std::size_t i = 0; wanted <= length && i <= length - wanted; ++i) {
        if (std::memcmp(text_of(args[0]) + i, text_of(args[1]), wanted) == 0) {
            position = static_cast<std::int32_t>(i + 1);
            break;
        }
    }
    write_count_result(result, position, ctx);
    return kOk;
}

Status asc(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    write_count_result(result, static_cast<std::uint8_t>(text_of(args[0])[0]), ctx);
    return kOk;
}

// One-byte text, or the empty text for bytes above 255, control bytes and lead bytes.
Status chr(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const std::int32_t n = count_argument(args[0], ctx, false);
    const bool usable = n <= 0xFF && !is_control(n) && !cp932::is_lead(static_cast<std::uint8_t>(n));
    const char byte = static_cast<char>(n);
    return write_text_result(result, &byte, usable ? 1 : 0);
}

// The characters in reverse order, double-byte characters kept whole.
Status reverse(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    const std::size_t length = text_length(args[0]);
    const Status status = write_text_result(result, text_of(args[0]), length);
    if (status == kOk) cp932::reverse(reinterpret_cast<char*>(result + 1));
    return status;
}

// Every occurrence of old replaced by new, scanning bytes left to right without overlaps and
// without regard to character boundaries. A result longer than 512 bytes is status 1004.
Status replace(const std::uint8_t* const* args, std::uint8_t* result, Context&) {
    const char* s = text_of(args[0]);
    const char* old_text = text_of(args[1]);
    const std::size_t length = text_length(args[0]);
    const std::size_t old_length = text_length(args[1]);
    const std::size_t new_length = text_length(args[2]);
    if (old_length == 0 || old_length > length) return write_text_result(result, s, length);
    ResultText text;
    std::size_t i = 0;
    while (i <= length - old_length) {
        if (std::memcmp(s + i, old_text, old_length) == 0) {
            text.append(text_of(args[2]), new_length);
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
