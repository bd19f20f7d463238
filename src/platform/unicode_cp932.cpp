// iconv's CP932 holds the same characters as Windows' code page 932; what differs is listed in
// kWindowsOnly (found by converting every code unit both ways and comparing).
#include "platform/unicode_cp932.h"

#include <iconv.h>

#include <algorithm>
#include <iterator>

namespace fcl::platform {

namespace {

struct Mapping {
    std::uint16_t unit;
    unsigned char bytes[2];
};

// Where Windows' conversion to code page 932 differs from iconv's, sorted by unit: the
// single-byte codes that Windows gives to U+0080 and U+F8F0..U+F8F3, its best-fit letters for
// Latin-1, U+3094 as katakana; and five characters that iconv maps but Windows does not ('?').
constexpr Mapping kWindowsOnly[] = {
    {0x0080, {0x80}}, {0x00A1, {0x21}}, {0x00A6, {0x7C}}, {0x00A9, {0x63}}, {0x00AA, {0x61}},
    {0x00AB, {0x81, 0xE1}}, {0x00AD, {0x2D}}, {0x00AE, {0x52}}, {0x00AF, {0x81, 0x50}}, {0x00B2, {0x32}},
    {0x00B3, {0x33}}, {0x00B5, {0x83, 0xCA}}, {0x00B7, {0x81, 0x45}}, {0x00B8, {0x81, 0x43}}, {0x00B9, {0x31}},
    {0x00BA, {0x6F}}, {0x00BB, {0x81, 0xE2}}, {0x00C0, {0x41}}, {0x00C1, {0x41}}, {0x00C2, {0x41}},
    {0x00C3, {0x41}}, {0x00C4, {0x41}}, {0x00C5, {0x41}}, {0x00C6, {0x41}}, {0x00C7, {0x43}}, {0x00C8, {0x45}},
    {0x00C9, {0x45}}, {0x00CA, {0x45}}, {0x00CB, {0x45}}, {0x00CC, {0x49}}, {0x00CD, {0x49}}, {0x00CE, {0x49}},
    {0x00CF, {0x49}}, {0x00D0, {0x44}}, {0x00D1, {0x4E}}, {0x00D2, {0x4F}}, {0x00D3, {0x4F}}, {0x00D4, {0x4F}},
    {0x00D5, {0x4F}}, {0x00D6, {0x4F}}, {0x00D8, {0x4F}}, {0x00D9, {0x55}}, {0x00DA, {0x55}}, {0x00DB, {0x55}},
    {0x00DC, {0x55}}, {0x00DD, {0x59}}, {0x00DE, {0x54}}, {0x00DF, {0x73}}, {0x00E0, {0x61}}, {0x00E1, {0x61}},
    {0x00E2, {0x61}}, {0x00E3, {0x61}}, {0x00E4, {0x61}}, {0x00E5, {0x61}}, {0x00E6, {0x61}}, {0x00E7, {0x63}},
    {0x00E8, {0x65}}, {0x00E9, {0x65}}, {0x00EA, {0x65}}, {0x00EB, {0x65}}, {0x00EC, {0x69}}, {0x00ED, {0x69}},
    {0x00EE, {0x69}}, {0x00EF, {0x69}}, {0x00F0, {0x64}}, {0x00F1, {0x6E}}, {0x00F2, {0x6F}}, {0x00F3, {0x6F}},
    {0x00F4, {0x6F}}, {0x00F5, {0x6F}}, {0x00F6, {0x6F}}, {0x00F8, {0x6F}}, {0x00F9, {0x75}}, {0x00FA, {0x75}},
    {0x00FB, {0x75}}, {0x00FC, {0x75}}, {0x00FD, {0x79}}, {0x00FE, {0x74}}, {0x00FF, {0x79}}, {0x2014, {0x3F}},
    {0x2016, {0x3F}}, {0x203E, {0x3F}}, {0x2212, {0x3F}}, {0x301C, {0x3F}}, {0x3094, {0x83, 0x94}},
    {0xF8F0, {0xA0}}, {0xF8F1, {0xFD}}, {0xF8F2, {0xFE}}, {0xF8F3, {0xFF}},
};
static_assert(std::is_sorted(std::begin(kWindowsOnly), std::end(kWindowsOnly),
                             [](const Mapping& a, const Mapping& b) { return a.unit < b.unit; }));

iconv_t handle(void* h) { return static_cast<iconv_t>(h); }

// Converts in_size bytes; the bytes written, or 0 when iconv cannot convert them.
std::size_t convert(void* h, const unsigned char* in, std::size_t in_size, unsigned char* out, std::size_t out_size) {
    char* in_at = const_cast<char*>(reinterpret_cast<const char*>(in));
    char* out_at = reinterpret_cast<char*>(out);
    std::size_t in_left = in_size;
    std::size_t out_left = out_size;
    iconv(handle(h), nullptr, nullptr, nullptr, nullptr);
    if (iconv(handle(h), &in_at, &in_left, &out_at, &out_left) == static_cast<std::size_t>(-1) || in_left != 0) return 0;
    return out_size - out_left;
}

}  // namespace

UnicodeCp932::~UnicodeCp932() {
    if (to_cp932_) iconv_close(handle(to_cp932_));
    if (from_cp932_) iconv_close(handle(from_cp932_));
}

bool UnicodeCp932::open() {
    if (!opened_) {
        opened_ = true;
        const iconv_t to = iconv_open("CP932", "UCS-2LE");
        const iconv_t from = iconv_open("UCS-2LE", "CP932");
        if (to != reinterpret_cast<iconv_t>(-1)) to_cp932_ = to;
        if (from != reinterpret_cast<iconv_t>(-1)) from_cp932_ = from;
    }
    return to_cp932_ && from_cp932_;
}

std::size_t UnicodeCp932::from_unit(std::uint16_t unit, unsigned char (&out)[2]) {
    if (unit < 0x80) {
        out[0] = static_cast<unsigned char>(unit);
        return 1;
    }
    const Mapping* found = std::lower_bound(std::begin(kWindowsOnly), std::end(kWindowsOnly), unit,
                                            [](const Mapping& m, std::uint16_t u) { return m.unit < u; });
    if (found != std::end(kWindowsOnly) && found->unit == unit) {
        out[0] = found->bytes[0];
        out[1] = found->bytes[1];
        return found->bytes[1] ? 2 : 1;
    }
    const unsigned char in[2] = {static_cast<unsigned char>(unit & 0xFF), static_cast<unsigned char>(unit >> 8)};
    unsigned char bytes[4];
    const std::size_t length = open() ? convert(to_cp932_, in, 2, bytes, sizeof bytes) : 0;
    if (length == 0 || length > 2) {
        out[0] = '?';
        return 1;
    }
    out[0] = bytes[0];
    out[1] = bytes[1];
    return length;
}

std::size_t UnicodeCp932::round_trip(std::uint8_t lead, std::uint8_t trail, unsigned char (&out)[2]) {
    const unsigned char in[2] = {lead, trail};
    unsigned char unit[4];
    if (open() && convert(from_cp932_, in, 2, unit, sizeof unit) == 2)
        return from_unit(static_cast<std::uint16_t>(unit[0] | unit[1] << 8), out);
    out[0] = 0x81;
    out[1] = 0x45;
    return 2;
}

}  // namespace fcl::platform
