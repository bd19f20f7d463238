// The compiled-formula and tagged-value formats, as the compiler, the executor and the
// handlers read and write them. The byte layouts are the public ones of fclib.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fclib.h"
#include "interface/types.h"

namespace fcl {

// --- Compiled formula ---

constexpr std::size_t kCodeHeaderSize = FCL_CODE_HEADER;
constexpr std::size_t kMaxCodeSize = FCL_MAX_CODE;

enum FormulaFlag : std::uint8_t {
    kFlagAnd = FCL_FLAG_AND,
    kFlagOr = FCL_FLAG_OR,
    kFlagComparison = FCL_FLAG_COMPARISON,
    kFlagArithmetic = FCL_FLAG_ARITHMETIC,
    kFlagFunction = FCL_FLAG_FUNCTION,
    kFlagName = FCL_FLAG_NAME,
    kFlagLeftNotName = FCL_FLAG_LEFT_NOT_NAME,
    kFlagLeafComparison = FCL_FLAG_LEAF_COMPARISON,
};

// Result type string, no flags, length 7, one empty string literal, the terminator.
constexpr std::uint8_t kEmptyFormula[FCL_EMPTY_CODE] = {kString, 0, FCL_EMPTY_CODE, 0, kString, 0, 0};

inline std::uint16_t code_length(const std::uint8_t* code) { return fcl_code_length(code); }

inline void write_code_header(std::uint8_t* code, std::uint8_t result_mask, std::uint8_t flags,
                              std::uint16_t length) {
    code[0] = result_mask;
    code[1] = flags;
    code[2] = static_cast<std::uint8_t>(length & 0xFF);
    code[3] = static_cast<std::uint8_t>(length >> 8);
}

// Writes the empty formula and its length to whichever of the caller's buffers were given.
inline void write_empty_formula(std::uint8_t* code, std::uint16_t* length) {
    if (code) std::memcpy(code, kEmptyFormula, sizeof kEmptyFormula);
    if (length) *length = sizeof kEmptyFormula;
}

// --- Tagged values ---

// A number payload in double-number mode: the 8 bytes of a double, unaligned.
inline double payload_double(const std::uint8_t* value) {
    double x;
    std::memcpy(&x, value + 1, sizeof x);
    return x;
}

// The NUL-terminated text of a string, time, date, text-number or reference value.
inline const char* payload_text(const std::uint8_t* value) { return reinterpret_cast<const char*>(value + 1); }

}  // namespace fcl
