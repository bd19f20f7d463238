// Run-time fetch of a field or name reference through the host's field callback.
#pragma once

#include <cstdint>

#include "interface/context.h"
#include "interface/types.h"

namespace fcl {

// Asks the host for the value of the reference item at item (type byte 32 or 64, then the
// name) and converts it into out (kCodeAreaSize bytes). On success *size is the value's size.
// 1005 when the callback fails, 1007 when the answer converts to no value.
Status fetch_field(Context& ctx, const std::uint8_t* item, std::uint8_t* out, std::uint16_t* size);

// As fetch_field in text-number mode, except that a number answer is not written as text: its
// backend number goes to number and *size is 0.
Status fetch_field_number(Context& ctx, const std::uint8_t* item, std::uint8_t* out, std::uint16_t* size,
                          void* number);

}  // namespace fcl
