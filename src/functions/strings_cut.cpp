// LEFT, RIGHT and MID: cut a run of bytes out of a text without leaving half a double-byte
// character at either end of the cut.
#include "functions/count_rule.h"
#include "functions/handlers.h"
#include "functions/text_values.h"
#include "platform/cp932.h"

namespace fcl::handlers {

namespace {

using cp932::ByteType;

// Counts and positions of the cutting functions keep only their low 16 bits.
std::size_t cut_count(const std::uint8_t* value, Context& ctx) {
    return static_cast<std::uint16_t>(count_argument(value, ctx, false));
}

// Copies count bytes from offset of the argument text into the result. A cut through a
// double-byte character shows as a space where its half would be: a trail byte taken first,
// a lone lead byte taken alone, or a lead byte taken last whose trail byte is left behind.
Status cut(const std::uint8_t* value, std::size_t offset, std::size_t count, std::uint8_t* result) {
    const char* text = text_of(value);
    const Status status = write_text_result(result, text + offset, count);
    if (status != kOk || count == 0) return status;
    char* out = reinterpret_cast<char*>(result + 1);
    const ByteType first = cp932::byte_type(text, offset);
    if (first == ByteType::Trail || (count == 1 && first == ByteType::Lead)) out[0] = ' ';
    if (count >= 2 && cp932::byte_type(text, offset + count) == ByteType::Trail) out[count - 1] = ' ';
    return kOk;
}

}  // namespace

Status left(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const std::size_t length = text_length(args[0]);
    const std::size_t n = cut_count(args[1], ctx);
    return cut(args[0], 0, n < length ? n : length, result);
}

Status right(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
    const std::size_t length = text_length(args[0]);
    const std::size_t n = cut_count(args[1], ctx);
    return n < length ? cut(args[0], length - n, n, result) : cut(args[0], 0, length, result);
}

// MID(s, p [, n]): from the 1-based position p to the end, at most n bytes.
Status mid(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx) {
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

}  // namespace fcl::handlers
