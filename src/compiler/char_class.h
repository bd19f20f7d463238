// The lexer's character classes of code page 932 bytes.
#pragma once

#include <array>
#include <cstdint>

namespace fcl {

enum class CharClass : std::uint8_t { Lead, Control, Punctuation, Blank, Digit, Letter };

namespace detail {

// Tested in this order: lead byte, control, punctuation, blank, digit; the rest are letters
// (A-Z, a-z, '_' and the single-byte katakana 0xA1-0xDF).
constexpr CharClass classify(unsigned byte) {
    if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) return CharClass::Lead;
    if (byte < 0x20 || byte == 0x7F || byte == 0x80 || byte == 0xA0 || byte >= 0xFD) return CharClass::Control;
    const bool ascii_punctuation = (byte >= 0x21 && byte <= 0x2F) || (byte >= 0x3A && byte <= 0x40) ||
                                   (byte >= 0x5B && byte <= 0x60) || (byte >= 0x7B && byte <= 0x7E);
    if (ascii_punctuation && byte != '_') return CharClass::Punctuation;
    if (byte == 0x20) return CharClass::Blank;
    if (byte >= '0' && byte <= '9') return CharClass::Digit;
    return CharClass::Letter;
}

constexpr std::array<CharClass, 256> make_class_table() {
    std::array<CharClass, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) table[byte] = classify(byte);
    return table;
}

inline constexpr std::array<CharClass, 256> kClassTable = make_class_table();

}  // namespace detail

inline CharClass char_class(char c) { return detail::kClassTable[static_cast<std::uint8_t>(c)]; }

}  // namespace fcl
