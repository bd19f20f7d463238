// The tool's text conversion with the code page 932 and UTF-8 tables of Windows, by way of
// UTF-16; the rest of TextCodec is text_codec_common.h.
#include "../text_codec.h"

#include <windows.h>

#include <cstdio>

#include "../text_codec_common.h"

namespace fcltool {

namespace {

constexpr UINT kCp932 = 932;

// Bytes of code page `from` to UTF-16; false when a byte sequence has no character.
bool to_wide(UINT from, std::string_view in, std::wstring& out) {
    const int size = static_cast<int>(in.size());
    const int length = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    if (length <= 0) return false;
    out.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), size, out.data(), length) == length;
}

// UTF-16 to code page `to`; false when a character has no exact form there.
bool from_wide(UINT to, const std::wstring& in, std::string& out) {
    const int size = static_cast<int>(in.size());
    BOOL defaulted = FALSE;
    const DWORD flags = to == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL* used_default = to == CP_UTF8 ? nullptr : &defaulted;
    const int length = WideCharToMultiByte(to, flags, in.data(), size, nullptr, 0, nullptr, used_default);
    if (length <= 0 || defaulted) return false;
    out.resize(static_cast<std::size_t>(length));
    return WideCharToMultiByte(to, flags, in.data(), size, out.data(), length, nullptr, used_default) == length &&
           !defaulted;
}

bool convert(UINT from, UINT to, std::string_view in, std::string& out) {
    std::wstring wide;
    return to_wide(from, in, wide) && from_wide(to, wide, out);
}

bool is_lead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

}  // namespace

TextCodec::TextCodec(bool raw_cp932) : raw_(raw_cp932), in_(nullptr), out_(nullptr) {}

TextCodec::~TextCodec() = default;

bool TextCodec::convert_in(std::string_view in, std::string& out) { return convert(CP_UTF8, kCp932, in, out); }

bool TextCodec::to_outside(std::string_view in, std::string& out) {
    if (raw_ || is_ascii(in)) {
        out.assign(in);
        return true;
    }
    if (convert(kCp932, CP_UTF8, in, out)) return true;
    // Character by character: a byte with no character behind it (a lone lead byte, an
    // unassigned code) is shown as \xNN and the next byte starts a new character.
    out.clear();
    std::string piece;
    for (std::size_t i = 0; i < in.size();) {
        const std::size_t length = is_lead(static_cast<unsigned char>(in[i])) && i + 1 < in.size() ? 2 : 1;
        if (convert(kCp932, CP_UTF8, in.substr(i, length), piece)) {
            out += piece;
            i += length;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(in[i]));
        out += escaped;
        ++i;
    }
    return false;
}

}  // namespace fcltool
