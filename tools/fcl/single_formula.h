// The common start of `fcl eval` and `fcl compile`: one formula with its --field values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fclib.h"
#include "options.h"
#include "record_host.h"
#include "text_codec.h"

namespace fcltool {

struct SingleFormula {
    std::vector<std::string> cells;  // field values, code page 932
    unsigned char code[FCL_MAX_CODE] = {};
    std::uint16_t length = 0;
};

// Loads the fields and compiles the one formula argument. Returns kExitOk, or the exit status
// after printing what went wrong.
int compile_single_formula(const Options& options, TextCodec& codec, RecordHost& host, SingleFormula& formula);

// Prints "fcl: <what>: status N: meaning" and the host's detail, if any, on standard error.
void print_failure(const char* what, std::uint16_t status, RecordHost& host, TextCodec& codec);

}  // namespace fcltool
