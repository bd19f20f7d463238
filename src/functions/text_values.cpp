#include "functions/text_values.h"

#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"

namespace fcl {

Status write_text_result(std::uint8_t* result, const char* text, std::size_t length) {
    if (length > kMaxStringText) return kTooLong;
    write_string(result, text, length);
    return kOk;
}

void ResultText::append(const char* bytes, std::size_t count) {
    if (too_long_ || count > kMaxStringText - length_) {
        too_long_ = true;
        return;
    }
    std::memcpy(text_ + length_, bytes, count);
    length_ += count;
}

void ResultText::repeat(char byte, std::size_t count) {
    if (too_long_ || count > kMaxStringText - length_) {
        too_long_ = true;
        return;
    }
    std::memset(text_ + length_, byte, count);
    length_ += count;
}

Status ResultText::write(std::uint8_t* result) const {
    if (too_long_) return kTooLong;
    write_string(result, text_, length_);
    return kOk;
}

void write_count_result(std::uint8_t* result, std::int32_t value, Context& ctx) {
    if (!text_numbers()) {
        write_number_double(result, static_cast<double>(value));
        return;
    }
    backend().from_int(ctx.number_scratch, value);
    write_number_backend(result, ctx.number_scratch);
}

}  // namespace fcl
