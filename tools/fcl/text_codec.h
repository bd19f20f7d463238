// Text conversion at the tool's edges: the library works in code page 932; data and formula
// files (the input encoding), arguments and output (the terminal encoding) are UTF-8 or raw code
// page 932, each converted by a codec of its own. iconv does the conversion, or on Windows
// (windows/text_codec.cpp) the system's own code page 932 tables. On both, U+00A5 (¥) and
// U+203E (‾) become the bytes 0x5C and 0x7E, as Japanese conversions write them; the way back
// gives the ASCII characters.
#pragma once

#include <string>
#include <string_view>

namespace fcltool {

// ASCII is the same in UTF-8 and code page 932: such text needs no conversion.
inline bool is_ascii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

// The first character of a text that code page 932 cannot hold, or the first byte that starts
// no UTF-8 character, and how many there were in all when they were replaced.
struct Unmappable {
    std::string bytes;        // the character's UTF-8 bytes, or the one stray byte
    char32_t code_point = 0;  // when `utf8`
    bool utf8 = true;
    std::size_t count = 0;

    // "U+1F600 (😀) is not in code page 932", "byte 0xFF is not UTF-8", with "(and 2 more)"
    // when there were more. `show` puts the character itself in the text (for a UTF-8
    // terminal); blanks and control characters are never shown.
    std::string phrase(bool show) const;
};

class TextCodec {
public:
    explicit TextCodec(bool raw_cp932);
    ~TextCodec();
    TextCodec(const TextCodec&) = delete;
    TextCodec& operator=(const TextCodec&) = delete;

    // Outside text to code page 932; false (out undefined) when the text is not valid UTF-8
    // or holds a character that code page 932 lacks.
    bool to_cp932(std::string_view in, std::string& out);

    // As above, naming the first character that stops the conversion in `problem`. With
    // `replace` every such character (or stray byte) becomes '?' and the conversion goes on:
    // true, with problem.count telling how many were replaced (0: none).
    bool to_cp932(std::string_view in, std::string& out, Unmappable& problem, bool replace);

    // Code page 932 to outside text. Bytes with no UTF-8 form are written as \xNN; the result
    // is false when that happened.
    bool to_outside(std::string_view in, std::string& out);

    bool raw() const { return raw_; }

private:
    // The whole text at once; false when any character of it fails.
    bool convert_in(std::string_view in, std::string& out);

    bool raw_;
    void* in_;   // the converters, when the implementation keeps any
    void* out_;
};

}  // namespace fcltool
