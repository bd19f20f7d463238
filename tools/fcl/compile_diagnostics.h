// Compiling a formula for fcl, with the library's diagnostics of a failure: the formula shown
// with a caret under the token where compilation stopped, and that token named.
#pragma once

#include <cstdint>
#include <string>

#include "fclib.h"
#include "record_host.h"
#include "text_codec.h"

namespace fcltool {

// Compiles text (code page 932) in a context of fcl's own. On failure, `where` receives two
// lines (the formula, then a caret line) and `token` a phrase naming the token ("unknown
// function FOO", "at \"*\""), both in the outside encoding with control bytes escaped.
std::uint16_t compile_with_diagnostics(const std::string& text, RecordHost& host, unsigned char* code,
                                       std::uint16_t* length, TextCodec& codec, std::string& where,
                                       std::string& token);

}  // namespace fcltool
