#include "compile_diagnostics.h"

#include <cstdio>

#include "display_width.h"

namespace fcltool {

namespace {

// Outside text with control bytes written as \xNN, so that no message carries raw control bytes.
std::string printable(const std::string& cp932, TextCodec& codec) {
    std::string outside;
    codec.to_outside(cp932, outside);
    std::string out;
    for (const unsigned char c : outside) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The context compile diagnostics are read from; it lives as long as the program.
FCLHANDLE diagnostics_context() {
    static const FCLHANDLE handle = FCLCREATEHANDLE();
    return handle;
}

}  // namespace

std::uint16_t compile_with_diagnostics(const std::string& text, RecordHost& host, unsigned char* code,
                                       std::uint16_t* length, TextCodec& codec, std::string& where,
                                       std::string& token) {
    FCLHANDLE handle = diagnostics_context();
    const std::uint16_t status = handle ? FCLCOMPILE2(RecordHost::callback, &host, text.c_str(), code, length, handle)
                                        : FCLCOMPILE(RecordHost::callback, &host, text.c_str(), code, length);
    if (status == FCL_OK || !handle || text.size() > FCL_MAX_TEXT) return status;
    const auto offset = static_cast<std::size_t>(fcl_error_offset(handle, text.c_str()));
    const std::string stopped_at = fcl_error_token(handle);
    const std::string before = printable(text.substr(0, offset < text.size() ? offset : text.size()), codec);
    const std::size_t column = display_width(before, codec.raw());
    where = "  " + printable(text, codec) + "\n  " + std::string(column, ' ') + "^";
    if (stopped_at.empty()) token = "at the end of the formula";
    else if (status == FCL_E_UNKNOWN_NAME) token = "unknown function " + printable(stopped_at, codec);
    else token = "at \"" + printable(stopped_at, codec) + "\"";
    return status;
}

}  // namespace fcltool
