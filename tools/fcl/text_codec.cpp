// The conversion with iconv; the rest of TextCodec is text_codec_common.h.
#include "text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

#include "text_codec_common.h"

namespace fcltool {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

iconv_t converter(void* handle) { return static_cast<iconv_t>(handle); }

}  // namespace

TextCodec::TextCodec(bool raw_cp932)
    : raw_(raw_cp932),
      in_(raw_cp932 ? kNoConverter : iconv_open("CP932", "UTF-8")),
      out_(raw_cp932 ? kNoConverter : iconv_open("UTF-8", "CP932")) {}

TextCodec::~TextCodec() {
    if (in_ != kNoConverter) iconv_close(converter(in_));
    if (out_ != kNoConverter) iconv_close(converter(out_));
}

bool TextCodec::convert_in(std::string_view in, std::string& out) {
    if (in_ == kNoConverter) return false;
    // Code page 932 never needs more bytes than UTF-8 for the same character.
    out.resize(in.size());
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    iconv(converter(in_), nullptr, nullptr, nullptr, nullptr);
    const size_t done = iconv(converter(in_), &src, &src_left, &dst, &dst_left);
    out.resize(out.size() - dst_left);
    return done != static_cast<size_t>(-1) && src_left == 0;
}

bool TextCodec::to_outside(std::string_view in, std::string& out) {
    if (raw_ || is_ascii(in)) {
        out.assign(in);
        return true;
    }
    out.clear();
    if (out_ == kNoConverter) return false;
    bool lossless = true;
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char chunk[1024];
    iconv(converter(out_), nullptr, nullptr, nullptr, nullptr);
    while (src_left > 0) {
        char* dst = chunk;
        size_t dst_left = sizeof chunk;
        const size_t done = iconv(converter(out_), &src, &src_left, &dst, &dst_left);
        out.append(chunk, sizeof chunk - dst_left);
        if (done != static_cast<size_t>(-1) || errno == E2BIG) continue;
        // A byte with no character behind it (a lone lead byte, an unassigned code): show it.
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(*src));
        out += escaped;
        ++src;
        --src_left;
        lossless = false;
        iconv(converter(out_), nullptr, nullptr, nullptr, nullptr);
    }
    return lossless;
}

}  // namespace fcltool
