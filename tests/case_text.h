// Text helpers for the formula case runner: code page 932 conversion, escapes, value display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fcl::test {

// A lead byte of a code page 932 double-byte character.
inline bool is_lead(std::uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// UTF-8 to code page 932; false when the text has a character that code page 932 lacks.
bool utf8_to_cp932(const std::string& utf8, std::string& out);

// Resolves \" \\ \n \t and \xNN escapes, keeping double-byte characters (whose trail byte may
// be a backslash) intact.
std::string unescape(const std::string& text);

// Splits at blanks outside double quotes; the quotes themselves are removed.
std::vector<std::string> split_words(const std::string& text);

// A tagged value as readable text: `number 1.5`, `payload 150000000e-8`, `string "a\x82\xa0"`,
// `logical true`, `date 20240315`, `time 123456`, `function 9` (a function-call value).
std::string describe_value(const std::uint8_t* value, bool text_numbers);

}  // namespace fcl::test
