#include "functions/aggregate_requests.h"

#include <cstring>

namespace fcl {

namespace {

// The host reads the request from the callback's first parameter, where a field request
// carries the callback data.
std::uint16_t send(Context& ctx, void* request, const char* name, std::uint16_t& type_word) {
    std::uint8_t* raw = request_buffer(ctx);
    raw[0] = 0;
    const std::uint16_t answer = ask_host(ctx, request, name, raw, &type_word);
    // A text the host left unterminated ends at the raw buffer's last byte.
    raw[kRawBufferSize - 1] = 0;
    return answer;
}

}  // namespace

std::uint16_t ask_query(Context& ctx) {
    std::int32_t request = 3;
    std::uint16_t scratch = 0;
    return send(ctx, &request, "", scratch);
}

std::uint16_t ask_value(Context& ctx, const char* name, std::uint16_t& type_word) {
    std::int32_t request = 2;
    return send(ctx, &request, name, type_word);
}

std::uint16_t ask_p_value(Context& ctx, const char* aggregate, const char* name, std::uint16_t& type_word) {
    // A private copy, so a host that writes through the pointer cannot touch the library's names.
    char request[8] = {};
    std::strncpy(request, aggregate, sizeof request - 1);
    return send(ctx, request, name, type_word);
}

}  // namespace fcl
