// The operators as the compiler knows them, made from the operator list: per operator token
// kind its precedence class, formula flag, function record and spellings.
#pragma once

#include <cstdint>
#include <string_view>

#include "compiler/char_class.h"
#include "compiler/parse_node.h"
#include "functions/function_table.h"
#include "functions/operator_list.h"
#include "interface/code_format.h"

namespace fcl {

constexpr std::size_t kMostSpellings = 2;

struct OperatorEntry {
    std::uint8_t kind;
    std::uint8_t precedence;
    std::uint8_t flag;
    unsigned record;  // 1-based function index
    std::string_view spellings[kMostSpellings];
};

#define FCL_OPERATOR_ENTRY(kind, precedence, flag, record, instruction, ...) \
    {kTok##kind, kCls##precedence, kFlag##flag, first_record_named(#record), {__VA_ARGS__}},
inline constexpr OperatorEntry kOperators[] = {FCL_OPERATOR_LIST(FCL_OPERATOR_ENTRY)};
#undef FCL_OPERATOR_ENTRY

consteval bool operators_well_formed() {
    for (std::size_t i = 0; i < std::size(kOperators); ++i)
        if (kOperators[i].kind != kTokFirstOperator + i || kOperators[i].record == 0) return false;
    return true;
}
static_assert(operators_well_formed(), "operator kinds in list order, each operator with its function record");

// The entry of an operator token kind; null for the other kinds.
constexpr const OperatorEntry* operator_of_kind(std::uint8_t kind) {
    const unsigned at = kind - kTokFirstOperator;
    return kind >= kTokFirstOperator && at < std::size(kOperators) ? &kOperators[at] : nullptr;
}

// True for the bytes of the operators' symbol spellings ("<>", "&&", "%", ...).
constexpr bool is_operator_byte(char c) {
    if (detail::classify(static_cast<std::uint8_t>(c)) != CharClass::Punctuation) return false;
    for (const OperatorEntry& op : kOperators)
        for (const std::string_view spelling : op.spellings)
            if (spelling.find(c) != std::string_view::npos) return true;
    return false;
}

}  // namespace fcl
