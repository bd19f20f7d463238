// A profile (INI) file read as Windows' GetPrivateProfileStringA and GetPrivateProfileIntA read
// it, from any source of bytes. The rules, as Windows documents them or as it (and Wine, where
// Windows says nothing) is seen to read:
// - The file is UTF-16 (little- or big-endian) when it starts with that byte-order mark, UTF-8
//   when it starts with the UTF-8 mark, else ANSI text (code page 932). Windows parses it as
//   Unicode and hands values back in code page 932, so an ANSI value makes the round trip too:
//   a lead byte takes the next byte (any but NUL) as its second; a pair that is no character
//   becomes "・", as does a lead byte at the end of the file.
// - Lines end at CR or LF. A line is trimmed of blanks: tab, LF, VT, FF, CR, space and ^Z.
// - "[name]" starts a section: the name runs to the line's last "]" and is trimmed; a line
//   that starts with "[" but has no "]" after it is no section. Only the first section of the
//   wanted name (compared without case) is searched.
// - "key=value": the key runs to the first "=", the value after it; both trimmed, both cut at
//   a NUL. The first line of a key counts, even one without "=" (which has no value).
// - One matching pair of enclosing double or single quotes is dropped from a value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl::platform {

// Reads up to size bytes of the file into buffer; 0 at its end.
using ReadBytes = std::size_t (*)(void* source, unsigned char* buffer, std::size_t size);

// A key's value as found, before it becomes bytes of code page 932: its characters (UTF-16
// code units of a Unicode file; single bytes, pairs or lone lead bytes of an ANSI file).
struct ProfileValue {
    // A value keeps its first kMostChars characters (the longest value read is 255 bytes).
    static constexpr std::size_t kMostChars = 1024;
    const std::uint32_t* chars = nullptr;
    std::size_t count = 0;
    bool longer = false;     // more characters followed than kMostChars
    bool unicode = false;    // from a UTF-8 or UTF-16 file
    bool has_value = false;  // the key's line has an "="
};

// Calls take(context, i, value) once for each keys[i] found in the first section named
// section, for the key's first line. At most 32 keys.
using TakeValue = void (*)(void* context, std::size_t key, const ProfileValue& value);
void scan_profile(ReadBytes read, void* source, const char* section, const char* const* keys, std::size_t count,
                  TakeValue take, void* context);

// The platform's profile file (profile.cpp; wasm/profile.cpp: the text the host handed over),
// scanned as scan_profile does; nothing when there is none. profile_reader.cpp builds the
// routines of profile.h on it.
void scan_profile_file(const char* file, const char* section, const char* const* keys, std::size_t count,
                       TakeValue take, void* context);

// The value as GetPrivateProfileStringA writes it to out (out_size >= 1): its code page 932
// bytes, as many whole characters as fit in out_size - 1 bytes, then NUL. Returns the bytes
// written, or out_size - 1 when the value was cut.
std::uint32_t value_to_text(const ProfileValue& value, char* out, std::uint32_t out_size);

// The value as GetPrivateProfileIntA reads it: its first 29 characters (it goes through a
// buffer of 30), skipping control characters and blanks, an optional sign, a "0x", "0o" or
// "0b" prefix for base 16, 8 or 2, then the digits, wrapping at 32 bits. fallback when the
// value is empty or the line has no "=".
std::int32_t value_to_int(const ProfileValue& value, std::int32_t fallback);

}  // namespace fcl::platform
