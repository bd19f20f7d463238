// Conversion between UTF-16 code units and code page 932 as Windows' MultiByteToWideChar and
// WideCharToMultiByte do it for the ANSI code page 932, for the profile reader: text read from a
// UTF-8 or UTF-16 profile becomes code page 932, and text of an ANSI profile goes through the
// same round trip Windows makes (its profile routines parse a file as Unicode).
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl::platform {

// A converter for one reading of a profile. It sets itself up at its first use, so that a
// profile of ASCII text costs nothing; not shared between threads.
class UnicodeCp932 {
public:
    UnicodeCp932() = default;
    ~UnicodeCp932();
    UnicodeCp932(const UnicodeCp932&) = delete;
    UnicodeCp932& operator=(const UnicodeCp932&) = delete;

    // The code page 932 bytes of one UTF-16 code unit (1 or 2): the character's code, a
    // best-fit letter for some Latin ones (é gives e), else '?'. A surrogate gives '?', so a
    // character beyond the first plane gives "??".
    std::size_t from_unit(std::uint16_t unit, unsigned char (&out)[2]);

    // A lead byte and the byte after it after the round trip through Unicode (1 or 2 bytes):
    // the pair itself, the code Windows prefers for a character that code page 932 holds twice
    // (an NEC-selected IBM extension gives the IBM one), or 0x81 0x45 (the default character
    // "・") when the pair is no character.
    std::size_t round_trip(std::uint8_t lead, std::uint8_t trail, unsigned char (&out)[2]);

private:
    void* to_cp932_ = nullptr;
    void* from_cp932_ = nullptr;
    bool opened_ = false;
    bool open();
};

}  // namespace fcl::platform
