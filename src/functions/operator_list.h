// The formula language's operators: one line per operator. The lexer's spellings, the token
// kinds and their precedence classes, the formula flags, the function records the compiler
// emits and the instructions the executor runs them with are all made from this list.
//
// X(kind, precedence, flag, record, instruction, spellings...)
//   kind         the token kind, kTok<kind> (parse_node.h)
//   precedence   the precedence class, kCls<precedence> (parse_node.h): Prefix for the
//                operators written before their operand, a binary class for the others
//   flag         the formula flag a compiled formula with the operator carries, kFlag<flag>
//   record       the name of the function record the operator calls (function_list.h)
//   instruction  the executor's instruction: Call for an operator it leaves to the handler
//   spellings    the texts the lexer reads as the operator, letters in upper case (matched
//                without case); of a binary operator's spellings the longest that the text
//                begins with is read. A run of signs reads as Neg when it holds an odd count
//                of minus signs.
#pragma once

// clang-format off
#define FCL_OPERATOR_LIST(X) \
    X(Or,  Or,             Or,         OR,  Or,   "OR", "||") \
    X(And, And,            And,        AND, And,  "AND", "&&") \
    X(Eq,  Compare,        Comparison, EQ,  Eq,   "==", "=") \
    X(Ne,  Compare,        Comparison, NE,  Ne,   "<>", "!=") \
    X(Le,  Compare,        Comparison, LE,  Le,   "<=", "=<") \
    X(Ge,  Compare,        Comparison, GE,  Ge,   ">=", "=>") \
    X(Lt,  Compare,        Comparison, LT,  Lt,   "<") \
    X(Gt,  Compare,        Comparison, GT,  Gt,   ">") \
    X(Add, Additive,       Arithmetic, ADD, Add,  "+") \
    X(Sub, Additive,       Arithmetic, SUB, Sub,  "-") \
    X(Mul, Multiplicative, Arithmetic, MUL, Mul,  "*") \
    X(Div, Multiplicative, Arithmetic, DIV, Div,  "/") \
    X(Mod, Multiplicative, Arithmetic, MOD, Call, "%") \
    X(Not, Prefix,         Arithmetic, NOT, Not,  "!") \
    X(Neg, Prefix,         Arithmetic, NEG, Neg,  "-")
// clang-format on
