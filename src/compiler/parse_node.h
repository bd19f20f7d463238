// Parse nodes: one per token, kept in the context's node pool for the length of a compilation.
#pragma once

#include <cstdint>
#include <cstring>

#include "functions/function_list.h"
#include "functions/operator_list.h"
#include "interface/context.h"

namespace fcl {

// Token kinds, one per operator in the operator list's order; the parser works on the
// precedence class that each kind maps to.
enum TokenKind : std::uint8_t {
    kTokBottom,
    kTokEnd,
#define FCL_OPERATOR_KIND(kind, ...) kTok##kind,
    FCL_OPERATOR_LIST(FCL_OPERATOR_KIND)
#undef FCL_OPERATOR_KIND
    kTokFunction,
    kTokComma,
    kTokField,
    kTokName,
    kTokString,
    kTokNumber,
    kTokPlaceholder,
    kTokOpen,
    kTokClose,
};

constexpr std::uint8_t kTokFirstOperator = kTokEnd + 1;

enum PrecedenceClass : std::uint8_t {
    kClsBottom = 0,
    kClsEnd = 1,
    kClsOr = 2,
    kClsAnd = 3,
    kClsCompare = 4,
    kClsAdditive = 5,
    kClsMultiplicative = 6,
    kClsFunction = 7,
    kClsComma = 8,
    kClsOperand = 9,
    kClsPrefix = 10,
    kClsOpen = 11,
    kClsClose = 12,
};

// A 10-byte header followed, without gaps, by argc child links (16-bit byte distances from
// this node to the child, read and written with memcpy), argc argument masks (one byte each)
// and the NUL-terminated spelling. Every field is at most 2 bytes wide and nodes start on
// even offsets of the pool, so no access is misaligned; the layout takes fewer bytes than the
// pool charges for a node, which leaves the spelling room to grow (a date literal of six
// characters becomes eight digits).
struct ParseNode {
    std::uint8_t prec;   // precedence class
    std::uint8_t kind;   // token kind
    std::uint8_t mask;   // type mask of the value the node stands for
    std::uint8_t fkind;  // the record's Typing (operators and function names), in one byte
    std::uint8_t argc;   // argument slots
    std::uint8_t record;   // 1-based function index of an operator or function node, else 0
    std::uint16_t room;    // bytes the spelling may occupy, NUL included
    std::uint16_t offset;  // where the token starts in the text area, for compile diagnostics

    Typing typing() const { return static_cast<Typing>(fkind); }

    ParseNode* child(unsigned i) {
        std::int16_t distance;
        std::memcpy(&distance, slots() + 2 * i, sizeof distance);
        return reinterpret_cast<ParseNode*>(bytes() + distance);
    }
    void set_child(unsigned i, ParseNode* node) {
        const auto distance = static_cast<std::int16_t>(reinterpret_cast<std::uint8_t*>(node) - bytes());
        std::memcpy(slots() + 2 * i, &distance, sizeof distance);
    }
    std::uint8_t arg_mask(unsigned i) { return slots()[2 * argc + i]; }
    void set_arg_mask(unsigned i, std::uint8_t value) { slots()[2 * argc + i] = value; }
    char* spelling() { return reinterpret_cast<char*>(slots() + 3 * argc); }

private:
    std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(this); }
    std::uint8_t* slots() { return bytes() + sizeof(ParseNode); }
};

static_assert(sizeof(ParseNode) == 10 && alignof(ParseNode) == 2, "node header layout");

}  // namespace fcl
