#include "executor/field_fetch.h"

#include "interface/values.h"

namespace fcl {

Status fetch_field(Context& ctx, const std::uint8_t* item, std::uint8_t* out, std::uint16_t* size) {
    // A host that passed no callback cannot answer: the same failure as a refusing host.
    if (!ctx.callback) return kCallbackFailed;
    std::uint8_t* raw = ctx.result + kRawBufferOffset;
    ctx.result[0] = 0;  // no valid value until the host answers
    raw[0] = 0;
    std::uint16_t type_word = item[0];
    const auto answer = ctx.callback(ctx.callback_data, reinterpret_cast<const char*>(item + 1), raw, &type_word);
    if ((answer & 0xFFFF) != 0) return kCallbackFailed;
    // Texts the host left unterminated end at the raw buffer's last byte.
    raw[kRawBufferSize - 1] = 0;
    *size = convert_raw_value(type_word, raw, out, kCodeAreaSize, ctx);
    return *size ? kOk : kCodeError;
}

}  // namespace fcl
