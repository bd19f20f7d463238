// Code page 932 conversion for the WebAssembly build, which has no iconv: one generated table
// (cp932_table.inc, made by gen_cp932_table.py) of the mapping the Linux build computes, iconv's
// CP932 with kWindowsOnly over it.
#include "platform/unicode_cp932.h"

#include <algorithm>
#include <iterator>

#include "platform/wasm/cp932_text.h"

namespace fcl::platform {

namespace {

struct EncodeEntry {
    std::uint16_t unit;
    std::uint16_t bytes;  // first byte high, second byte low (0 for a single byte)
};

#include "platform/wasm/cp932_table.inc"

constexpr bool is_lead(std::uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// The index of a lead byte among the lead bytes.
constexpr std::size_t lead_index(std::uint8_t lead) { return lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + 31u; }

static_assert(std::is_sorted(std::begin(kEncode), std::end(kEncode),
                             [](const EncodeEntry& a, const EncodeEntry& b) { return a.unit < b.unit; }));
static_assert(std::size(kPairs) == 60 * 0xC0);

}  // namespace

std::size_t cp932_encode(std::uint16_t unit, unsigned char (&out)[2]) {
    if (unit < 0x80) {
        out[0] = static_cast<unsigned char>(unit);
        return 1;
    }
    const EncodeEntry* found = std::lower_bound(std::begin(kEncode), std::end(kEncode), unit,
                                                [](const EncodeEntry& e, std::uint16_t u) { return e.unit < u; });
    if (found == std::end(kEncode) || found->unit != unit) return 0;
    out[0] = static_cast<unsigned char>(found->bytes >> 8);
    out[1] = static_cast<unsigned char>(found->bytes & 0xFF);
    return out[1] ? 2 : 1;
}

std::uint16_t cp932_decode(std::uint8_t first, std::uint8_t second, std::size_t& used) {
    used = 1;
    if (first < 0x80) return first;
    if (!is_lead(first)) return kSingle[first - 0x80];
    if (second < 0x40) return 0;
    used = 2;
    return kPairs[lead_index(first) * 0xC0 + (second - 0x40)];
}

UnicodeCp932::~UnicodeCp932() = default;

std::size_t UnicodeCp932::from_unit(std::uint16_t unit, unsigned char (&out)[2]) {
    if (const std::size_t length = cp932_encode(unit, out)) return length;
    out[0] = '?';
    return 1;
}

std::size_t UnicodeCp932::round_trip(std::uint8_t lead, std::uint8_t trail, unsigned char (&out)[2]) {
    std::size_t used = 0;
    const std::uint16_t unit = cp932_decode(lead, trail, used);
    if (unit && used == 2) return from_unit(unit, out);
    out[0] = 0x81;
    out[1] = 0x45;
    return 2;
}

}  // namespace fcl::platform
