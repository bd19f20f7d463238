#include "case_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "../tools/fcl/text_codec.h"

namespace fcl::test {

bool utf8_to_cp932(const std::string& utf8, std::string& out) {
    // The command-line host's conversion: iconv, or the Windows code page tables on Windows.
    fcltool::TextCodec codec(false);
    return codec.to_cp932(utf8, out);
}

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (is_lead(byte) && i + 1 < text.size()) {
            out += text.substr(i, 2);
            ++i;
            continue;
        }
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else if (next == 'n') {
            out += '\n';
        } else if (next == 't') {
            out += '\t';
        } else {
            out += next;
        }
    }
    return out;
}

std::vector<std::string> split_words(const std::string& text) {
    std::vector<std::string> words;
    std::string current;
    bool quoted = false;
    bool any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) words.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) words.push_back(current);
    return words;
}

namespace {

std::string escaped(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        const auto byte = static_cast<std::uint8_t>(*p);
        if (byte < 0x20 || byte >= 0x7F || *p == '"' || *p == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

std::string describe_value(const std::uint8_t* value, bool text_numbers) {
    const char* text = reinterpret_cast<const char*>(value + 1);
    switch (value[0]) {
        case 1: return "string \"" + escaped(text) + "\"";
        case 2: {
            if (text_numbers) return std::string("payload ") + text;
            double x;
            std::memcpy(&x, value + 1, sizeof x);
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "number %.17g", x);
            return buffer;
        }
        case 4: return value[1] ? "logical true" : "logical false";
        case 8: return std::string("time ") + text;
        case 16: return std::string("date ") + text;
        case 128: return "function " + std::to_string(value[1]);
        default: return "type " + std::to_string(value[0]);
    }
}

}  // namespace fcl::test
