// Run-time fetch of a field or name reference through the host's field callback.
#pragma once

#include <cstdint>

#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

// Asks the host, through callback (the context's, not null), for the reference at item; its
// answer is left in the raw buffer, its type in *type_word. 1005 when the callback fails.
// (Inline: it is most of a fetch's own work.)
inline Status ask_for_field(Context& ctx, FCLFIELDPROC callback, const std::uint8_t* item, std::uint16_t* type_word) {
    std::uint8_t* raw = ctx.result + kRawBufferOffset;
    ctx.result[0] = 0;  // no valid value until the host answers
    raw[0] = 0;
    *type_word = item[0];
    if (call_host(callback, ctx.callback_data, reinterpret_cast<const char*>(item + 1), raw, type_word) != 0)
        return kCallbackFailed;
    // Texts the host left unterminated end at the raw buffer's last byte.
    raw[kRawBufferSize - 1] = 0;
    return kOk;
}

// As above, through the context's callback; 1005 without one.
inline Status ask_for_field(Context& ctx, const std::uint8_t* item, std::uint16_t* type_word) {
    return ctx.callback ? ask_for_field(ctx, ctx.callback, item, type_word) : kCallbackFailed;
}

// Converts the answer ask_for_field left into out (kCodeAreaSize bytes); 1007 when it is no value.
Status convert_field_answer(Context& ctx, std::uint16_t type_word, std::uint8_t* out, std::uint16_t* size);

// Asks the host for the value of the reference item at item (type byte 32 or 64, then the
// name) and converts it into out (kCodeAreaSize bytes). On success *size is the value's size.
// 1005 when the callback fails, 1007 when the answer converts to no value.
Status fetch_field(Context& ctx, const std::uint8_t* item, std::uint8_t* out, std::uint16_t* size);

// Text-number mode: a number answer (type word and raw bytes) as the runs hold it, without its
// text: short (scaled_number.h) as *scaled, else as its backend number in number, *scaled then
// kNotScaled. False for an answer of another type.
bool number_answer(std::uint16_t type_word, const std::uint8_t* raw, std::int64_t* scaled, void* number);

// As fetch_field in text-number mode, except that a number answer is not written as text: it is
// held as number_answer holds it, and *size is 0.
Status fetch_field_number(Context& ctx, const std::uint8_t* item, std::uint8_t* out, std::uint16_t* size,
                          std::int64_t* scaled, void* number);

}  // namespace fcl
