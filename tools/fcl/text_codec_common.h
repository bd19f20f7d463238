// The parts of TextCodec that both implementations share: it is included by exactly one
// source of each platform (text_codec.cpp, windows/text_codec.cpp), which defines
// TextCodec::convert_in, the conversion of a whole text by the system. When that fails, the
// text is converted again a character at a time, to name (or replace) the characters it lacks.
#pragma once

#include <cstdio>

#include "text_codec.h"

namespace fcltool {

namespace {

// The UTF-8 character at `at`: its length, 0 when the bytes there start none (a stray
// continuation byte, an overlong form, a surrogate, a code beyond U+10FFFF, a cut sequence).
std::size_t utf8_char(std::string_view text, std::size_t at, char32_t& code) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, least = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, least = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, least = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// U+00A5 and U+203E as the ASCII bytes that code page 932 shows them with; `in` itself when it
// holds neither.
std::string_view with_ascii_marks(std::string_view in, std::string& scratch) {
    if (in.find("\xC2\xA5") == std::string_view::npos && in.find("\xE2\x80\xBE") == std::string_view::npos) return in;
    scratch.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in.compare(i, 2, "\xC2\xA5") == 0) {
            scratch += '\\';
            ++i;
        } else if (in.compare(i, 3, "\xE2\x80\xBE") == 0) {
            scratch += '~';
            i += 2;
        } else {
            scratch += in[i];
        }
    }
    return scratch;
}

// Blanks and controls that a message would show as nothing, or as a break.
bool invisible(char32_t code) {
    return code < 0xA1 || (code >= 0x2000 && code <= 0x200F) || (code >= 0x2028 && code <= 0x202F) ||
           (code >= 0x205F && code <= 0x206F) || code == 0x3000 || code == 0xFEFF;
}

}  // namespace

std::string Unmappable::phrase(bool show) const {
    char text[40];
    if (utf8) {
        std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code_point));
    } else {
        std::snprintf(text, sizeof text, "byte 0x%02X", static_cast<unsigned char>(bytes.empty() ? 0 : bytes[0]));
    }
    std::string out = text;
    if (utf8 && show && !invisible(code_point)) out += " (" + bytes + ")";
    out += utf8 ? " is not in code page 932" : " is not UTF-8";
    if (count > 1) out += " (and " + std::to_string(count - 1) + " more)";
    return out;
}

bool TextCodec::to_cp932(std::string_view in, std::string& out) {
    Unmappable problem;
    return to_cp932(in, out, problem, false);
}

bool TextCodec::to_cp932(std::string_view in, std::string& out, Unmappable& problem, bool replace) {
    problem = Unmappable();
    if (raw_ || is_ascii(in)) {
        out.assign(in);
        return true;
    }
    std::string marks;
    const std::string_view text = with_ascii_marks(in, marks);
    if (convert_in(text, out)) return true;
    out.clear();
    std::string piece;
    for (std::size_t i = 0; i < text.size();) {
        char32_t code = 0;
        const std::size_t length = utf8_char(text, i, code);
        if (length == 1) {
            out += text[i++];
            continue;
        }
        if (length > 0 && convert_in(text.substr(i, length), piece)) {
            out += piece;
            i += length;
            continue;
        }
        if (problem.count++ == 0) {
            problem.utf8 = length > 0;
            problem.code_point = code;
            problem.bytes.assign(text.substr(i, length > 0 ? length : 1));
        }
        if (!replace) return false;
        out += '?';
        i += length > 0 ? length : 1;
    }
    return true;
}

}  // namespace fcltool
