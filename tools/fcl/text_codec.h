// Text conversion at the tool's edges: the library works in code page 932, the terminal and
// files in UTF-8 (or raw code page 932 with --encoding cp932). iconv does the conversion, or on
// Windows (windows/text_codec.cpp) the system's own code page 932 tables.
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

class TextCodec {
public:
    explicit TextCodec(bool raw_cp932);
    ~TextCodec();
    TextCodec(const TextCodec&) = delete;
    TextCodec& operator=(const TextCodec&) = delete;

    // Outside text to code page 932; false (out undefined) when the text is not valid UTF-8
    // or holds a character that code page 932 lacks.
    bool to_cp932(std::string_view in, std::string& out);

    // Code page 932 to outside text. Bytes with no UTF-8 form are written as \xNN; the result
    // is false when that happened.
    bool to_outside(std::string_view in, std::string& out);

    bool raw() const { return raw_; }

private:
    bool raw_;
    void* in_;   // the converters, when the implementation keeps any
    void* out_;
};

}  // namespace fcltool
