// Requests that the aggregates send to the host through the field callback.
#pragma once

#include <cstdint>

#include "interface/context.h"

namespace fcl {

// End marks a host returns in the value type word.
constexpr std::uint16_t kEndKeep = FCL_AGG_CONTINUE;  // no more values; the slot keeps its total
constexpr std::uint16_t kEndReset = FCL_AGG_RESET;    // no more values; the slot is cleared after reporting

// One aggregate call sends at most this many requests. A host that keeps answering "again"
// (0xFFFF to a plain request, nonzero to a P request) or never ends its values would
// otherwise hold the library forever; at the limit the call fails with 1005 instead.
constexpr std::int32_t kMaxRequestsPerCall = 1000000;

// The query that plain SUM, AVG, MIN and MAX send first; returns the host's answer.
std::uint16_t ask_query(Context& ctx);

// A value request of a plain aggregate for the reference named name. type_word is in/out: the
// value type word of the supplied value, or an end mark. Returns the host's answer.
std::uint16_t ask_value(Context& ctx, const char* name, std::uint16_t& type_word);

// A value request of a P aggregate; aggregate is the name without the P ("SUM").
std::uint16_t ask_p_value(Context& ctx, const char* aggregate, const char* name, std::uint16_t& type_word);

// The raw buffer the host writes supplied values into (after the result area's first bytes).
inline std::uint8_t* request_buffer(Context& ctx) { return ctx.result + kRawBufferOffset; }

}  // namespace fcl
