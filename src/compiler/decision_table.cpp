#include "compiler/decision_table.h"

#include "compiler/parse_node.h"

namespace fcl {

namespace {

// Rows: class on top of the parse stack (0 to 12); columns: incoming class 1 to 12
// (end, OR, AND, compare, ADD SUB, MUL DIV MOD, function name, comma, operand, prefix, '(', ')').
// S shift, R reduce, M match, A accept, E error; lower case entries depend on the state:
// c a comma that reduces inside a call, m a comma that matches an opening parenthesis of a
// call, p a closing parenthesis that reduces unless it follows a comma.
constexpr char kTable[13][13] = {
    "ASSSSSSESSSE",  // 0 bottom marker
    "EEEEEEEEEEEE",  // 1 end (never on the stack)
    "RRSSSSScSSSp",  // 2 OR
    "RRRSSSScSSSp",  // 3 AND
    "RRRRSSScSSSp",  // 4 compare
    "RRRRRSScSSSp",  // 5 ADD SUB
    "RRRRRRScSSSp",  // 6 MUL DIV MOD
    "EEEEEEEEEESE",  // 7 function name
    "EEEEEEEEEEEE",  // 8 comma (never on the stack)
    "RRRRRREcESSp",  // 9 operand
    "RRRRRRScSRSp",  // 10 prefix
    "ESSSSSSmSSSM",  // 11 (
    "EEEEEEEEEEEE",  // 12 ) (never on the stack)
};

bool ends_operand(std::uint16_t cls) { return cls == kClsOperand || cls == kClsClose; }
bool starts_operand(std::uint8_t cls) {
    return cls == kClsFunction || cls == kClsOperand || cls == kClsPrefix || cls == kClsOpen;
}

}  // namespace

Action decide(std::uint8_t top, std::uint8_t incoming, std::uint8_t level, std::uint16_t previous) {
    if (top > kClsClose || incoming < kClsEnd || incoming > kClsClose) return Action::Error;
    // Nothing can begin an operand right after a finished one. The table sees only the top of
    // the stack, which after a parenthesised expression or a call is whatever stood before it,
    // so without this check `(a) 2 -` would compile as a - 2.
    if (ends_operand(previous) && starts_operand(incoming)) return Action::Error;
    switch (kTable[top][incoming - 1]) {
        case 'S': return Action::Shift;
        case 'R': return Action::Reduce;
        case 'M': return Action::Match;
        case 'A': return Action::Accept;
        case 'c': return level == 0 ? Action::Error : Action::Reduce;
        case 'm': return level == 0 || previous == kClsOpen ? Action::Error : Action::Match;
        case 'p': return previous == kClsComma ? Action::Error : Action::Reduce;
        default: return Action::Error;
    }
}

}  // namespace fcl
