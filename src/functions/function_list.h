// The formula language's vocabulary: one line per function record, in record order. Compiled
// formulas call functions by their 1-based position in this list, so the order is part of the
// compiled-formula format. Everything else that knows the functions (the handler declarations,
// the table the compiler and executor use, and the names, types and summaries fcl prints) is
// made from this list.
//
// X(name, handler, fixed, aggregate, typing, result mask, summary, argument masks...)
//   fixed      the fixed argument the handler is called with, so that one handler serves
//              several records (an int, or an enumerator the handler reads back)
//   aggregate  an Aggregation: whether the record folds values the host supplies (fcl reads it
//              to drive the aggregate protocol; the table checks it against the handlers)
#pragma once

#include <cstdint>

#include "interface/types.h"
#include "number/operators.h"

namespace fcl {

// How the compiler types a call's arguments; the executor ignores it.
enum class Typing : std::uint16_t {
    Fixed,    // each argument against its own mask; the result is the record's result mask
    Compare,  // as Fixed, and every argument has the first argument's type
    Unify,    // every argument has the first argument's type, and so has the result
    Choice,   // the first argument selects; the others and the result share the second's type
};

// The aggregates: instead of reading their arguments they ask the host for the values of the
// reference item executed just before the call.
enum class Aggregation : std::uint8_t {
    None,     // not an aggregate
    Running,  // folds the values into a slot kept across runs (COUNT, SUM, AVG, MIN, MAX)
    PerCall,  // folds the values of this one call (the P forms)
};

// Fixed arguments of the records that share a handler (the comparisons and the arithmetic
// operators take Comparison and Arithmetic).
enum class AggregateKind : std::uint8_t { Count, Sum, Avg, Min, Max };
enum class DatePart : std::uint8_t { Year, Month, Day };
enum class TimePart : std::uint8_t { Hour, Minute, Second };
enum class EraStyle : std::uint8_t {
    Compact,           // era name, two-digit year, month and day: SEI2WA
    Marked,            // each number followed by its unit character: SEI2WA1
    MarkedBlankZeros,  // as Marked, a leading zero of each number shown as a blank: SEI2WA1Z
};
enum class Instant : std::uint8_t { Now, Loaded };  // the clock now, or when the library was loaded

constexpr std::uint16_t kAnyButLogical = FCL_T_ANY_BUT_LOGICAL;
constexpr std::uint16_t kAny = FCL_T_ANY;

}  // namespace fcl

// clang-format off
#define FCL_FUNCTION_LIST(X) \
    X(AND, logic_and, 0, None, Fixed, kLogical, "true when both conditions are true", kLogical, kLogical) /* 1 */ \
    X(OR, logic_or, 0, None, Fixed, kLogical, "true when either condition is true", kLogical, kLogical) /* 2 */ \
    X(EQ, compare, Comparison::Eq, None, Compare, kLogical, "a equals b (also = and ==)", kAny, kAny) /* 3 */ \
    X(NE, compare, Comparison::Ne, None, Compare, kLogical, "a differs from b (also <> and !=)", kAny, kAny) /* 4 */ \
    X(LE, compare, Comparison::Le, None, Compare, kLogical, "a is at most b (also <=)", kAnyButLogical, kAnyButLogical) /* 5 */ \
    X(GE, compare, Comparison::Ge, None, Compare, kLogical, "a is at least b (also >=)", kAnyButLogical, kAnyButLogical) /* 6 */ \
    X(LT, compare, Comparison::Lt, None, Compare, kLogical, "a is less than b (also <)", kAnyButLogical, kAnyButLogical) /* 7 */ \
    X(GT, compare, Comparison::Gt, None, Compare, kLogical, "a is greater than b (also >)", kAnyButLogical, kAnyButLogical) /* 8 */ \
    X(ADD, arithmetic_operator, Arithmetic::Add, None, Unify, kString | kNumber, "sum of numbers, or strings joined (also +)", kString | kNumber, kString | kNumber) /* 9 */ \
    X(SUB, arithmetic_operator, Arithmetic::Sub, None, Fixed, kNumber, "difference (also -)", kNumber, kNumber) /* 10 */ \
    X(MUL, arithmetic_operator, Arithmetic::Mul, None, Fixed, kNumber, "product (also *)", kNumber, kNumber) /* 11 */ \
    X(DIV, arithmetic_operator, Arithmetic::Div, None, Fixed, kNumber, "quotient; dividing by zero fails (also /)", kNumber, kNumber) /* 12 */ \
    X(MOD, mod, 0, None, Fixed, kNumber, "remainder (also %)", kNumber, kNumber) /* 13 */ \
    X(NEG, neg, 0, None, Fixed, kNumber, "the number negated (unary -)", kNumber) /* 14 */ \
    X(NOT, logic_not, 0, None, Fixed, kLogical, "logical negation (also !)", kNumber | kLogical) /* 15 */ \
    X(BETWEEN, between, 0, None, Compare, kLogical, "x lies between low and high, both included", kAnyButLogical, kAnyButLogical, kAnyButLogical) /* 16 */ \
    X(IN, in, 0, None, Compare, kLogical, "x equals one of the values that follow", kAnyButLogical, kAnyButLogical) /* 17 */ \
    X(IN, in, 0, None, Compare, kLogical, "x equals one of the values that follow", kAnyButLogical, kAnyButLogical, kAnyButLogical) /* 18 */ \
    X(IN, in, 0, None, Compare, kLogical, "x equals one of the values that follow", kAnyButLogical, kAnyButLogical, kAnyButLogical, kAnyButLogical) /* 19 */ \
    X(IN, in, 0, None, Compare, kLogical, "x equals one of the values that follow", kAnyButLogical, kAnyButLogical, kAnyButLogical, kAnyButLogical, kAnyButLogical) /* 20 */ \
    X(LEFT, left, 0, None, Fixed, kString, "the first n bytes of a text", kString, kNumber) /* 21 */ \
    X(RIGHT, right, 0, None, Fixed, kString, "the last n bytes of a text", kString, kNumber) /* 22 */ \
    X(MID, mid, 0, None, Fixed, kString, "the bytes of a text from position p, n of them or to the end", kString, kNumber, kNumber) /* 23 */ \
    X(MID, mid, 0, None, Fixed, kString, "the bytes of a text from position p, n of them or to the end", kString, kNumber) /* 24 */ \
    X(STR, str, 0, None, Fixed, kString, "a value as text; a number with width and decimals", kNumber, kNumber, kNumber) /* 25 */ \
    X(STR, str, 0, None, Fixed, kString, "a value as text; a number with width and decimals", kNumber, kNumber) /* 26 */ \
    X(STR, str, 0, None, Fixed, kString, "a value as text; a number with width and decimals", kAny) /* 27 */ \
    X(VAL, val, 0, None, Fixed, kNumber, "a value as a number", kAny) /* 28 */ \
    X(LEN, len, 0, None, Fixed, kNumber, "the length of a text in bytes", kString) /* 29 */ \
    X(REP, rep, 0, None, Fixed, kString, "a text repeated n times", kString, kNumber) /* 30 */ \
    X(SPC, spc, 0, None, Fixed, kString, "n spaces", kNumber) /* 31 */ \
    X(AT, at, 0, None, Fixed, kNumber, "the position of one text in another, 0 when absent", kString, kString) /* 32 */ \
    X(LIKE, like, 0, None, Fixed, kLogical, "a text matches a pattern with * and ?", kString, kString) /* 33 */ \
    X(ASC, asc, 0, None, Fixed, kNumber, "the first byte of a text as a number", kString) /* 34 */ \
    X(CHR, chr, 0, None, Fixed, kString, "the character with a code", kNumber) /* 35 */ \
    X(ABS, abs, 0, None, Fixed, kNumber, "the absolute value", kNumber) /* 36 */ \
    X(INT, int_part, 0, None, Fixed, kNumber, "the whole part, truncated toward zero", kNumber) /* 37 */ \
    X(ROUND, round, 0, None, Fixed, kNumber, "rounded half away from zero; with n, to a multiple of 10 to the n", kNumber) /* 38 */ \
    X(ROUND, round, 0, None, Fixed, kNumber, "rounded half away from zero; with n, to a multiple of 10 to the n", kNumber, kNumber) /* 39 */ \
    X(DATE, date, Instant::Now, None, Fixed, kDate, "today's date") /* 40 */ \
    X(TIME, time, Instant::Now, None, Fixed, kTime, "the time now") /* 41 */ \
    X(YEAR, date_part, DatePart::Year, None, Fixed, kNumber, "the year of a date", kDate | kString) /* 42 */ \
    X(MONTH, date_part, DatePart::Month, None, Fixed, kNumber, "the month of a date", kDate | kString) /* 43 */ \
    X(DAY, date_part, DatePart::Day, None, Fixed, kNumber, "the day of a date", kDate | kString) /* 44 */ \
    X(DOW, dow, 0, None, Fixed, kNumber, "the day of the week, 0 for Sunday to 6 for Saturday", kDate | kString) /* 45 */ \
    X(CDOW, cdow, 0, None, Fixed, kString, "the day of the week as its one-character Japanese name", kDate | kString) /* 46 */ \
    X(DTOC, dtoc, 0, None, Fixed, kString, "a date as yyyy/mm/dd text", kDate | kString) /* 47 */ \
    X(CTOD, ctod, 0, None, Fixed, kDate, "a text as a date", kString) /* 48 */ \
    X(ADATE, adate, 0, None, Fixed, kDate, "a date moved by a whole number of days", kDate, kNumber) /* 49 */ \
    X(CDATE, cdate, 0, None, Fixed, kNumber, "the days from the second date to the first", kDate, kDate) /* 50 */ \
    X(SEI2WA, era_text, EraStyle::Compact, None, Fixed, kString, "a date as era name, two-digit era year and mmdd", kDate | kString) /* 51 */ \
    X(WA2SEI, wa2sei, 0, None, Fixed, kDate, "era text (era code and yymmdd) back to a date", kString) /* 52 */ \
    X(WYEAR, wyear, 0, None, Fixed, kNumber, "the year within the Japanese era", kDate | kString) /* 53 */ \
    X(NENGO, nengo, 0, None, Fixed, kString, "the name of the Japanese era", kDate | kString) /* 54 */ \
    X(SEI2WA1, era_text, EraStyle::Marked, None, Fixed, kString, "a date as era name and year, month and day with their unit characters", kDate | kString) /* 55 */ \
    X(SEI2WA1Z, era_text, EraStyle::MarkedBlankZeros, None, Fixed, kString, "as SEI2WA1, with a leading zero of each number shown as a blank", kDate | kString) /* 56 */ \
    X(MONTH2, month2, 0, None, Fixed, kString, "the month's name from the month-name table", kDate | kString) /* 57 */ \
    X(HOUR, time_part, TimePart::Hour, None, Fixed, kNumber, "the hour of a time", kTime | kString) /* 58 */ \
    X(MINT, time_part, TimePart::Minute, None, Fixed, kNumber, "the minute of a time", kTime | kString) /* 59 */ \
    X(SEC, time_part, TimePart::Second, None, Fixed, kNumber, "the second of a time", kTime | kString) /* 60 */ \
    X(TTOC, ttoc, 0, None, Fixed, kString, "a time as hh:mm:ss text", kTime | kString) /* 61 */ \
    X(CTOT, ctot, 0, None, Fixed, kTime, "a text as a time", kString) /* 62 */ \
    X(ATIME, atime, 0, None, Fixed, kTime, "a time moved by a whole number of seconds", kTime, kNumber) /* 63 */ \
    X(CTIME, ctime, 0, None, Fixed, kNumber, "seconds from the second time to the first, plus days times 86400", kTime, kTime, kNumber) /* 64 */ \
    X(CTIME, ctime, 0, None, Fixed, kNumber, "seconds from the second time to the first, plus days times 86400", kTime, kTime) /* 65 */ \
    X(IF, if_then_else, 0, None, Choice, kAny, "the second argument when the condition is true, else the third", kLogical, kAny, kAny) /* 66 */ \
    X(COUNT, aggregate, AggregateKind::Count, Running, Fixed, kNumber, "running count of values over records", kAny) /* 67 */ \
    X(PCOUNT, p_aggregate, AggregateKind::Count, PerCall, Fixed, kNumber, "count of the values the host supplies now", kAny) /* 68 */ \
    X(SUM, aggregate, AggregateKind::Sum, Running, Fixed, kNumber, "running total over records", kNumber) /* 69 */ \
    X(PSUM, p_aggregate, AggregateKind::Sum, PerCall, Fixed, kNumber, "total of the values the host supplies now", kNumber) /* 70 */ \
    X(AVG, aggregate, AggregateKind::Avg, Running, Fixed, kNumber, "running average over records", kNumber) /* 71 */ \
    X(PAVG, p_aggregate, AggregateKind::Avg, PerCall, Fixed, kNumber, "average of the values the host supplies now", kNumber) /* 72 */ \
    X(MIN, aggregate, AggregateKind::Min, Running, Unify, kNumber, "running minimum over records", kNumber) /* 73 */ \
    X(PMIN, p_aggregate, AggregateKind::Min, PerCall, Unify, kNumber, "minimum of the values the host supplies now", kNumber) /* 74 */ \
    X(MAX, aggregate, AggregateKind::Max, Running, Unify, kNumber, "running maximum over records", kNumber) /* 75 */ \
    X(PMAX, p_aggregate, AggregateKind::Max, PerCall, Unify, kNumber, "maximum of the values the host supplies now", kNumber) /* 76 */ \
    X(REVERSE, reverse, 0, None, Fixed, kString, "a text with its characters in reverse order", kString) /* 77 */ \
    X(REPLACE, replace, 0, None, Fixed, kString, "a text with every occurrence of one text replaced by another", kString, kString, kString) /* 78 */ \
    X(FORMAT, format, 0, None, Fixed, kString, "a value laid out by a picture", kAny, kString) /* 79 */ \
    X(PAGE, page, 0, None, Fixed, kString, "the page counter, then stepped; with two arguments it restarts") /* 80 */ \
    X(PAGE, page, 0, None, Fixed, kString, "the page counter, then stepped; with two arguments it restarts", kNumber, kNumber) /* 81 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny) /* 82 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny) /* 83 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny) /* 84 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny) /* 85 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny) /* 86 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny, kAny) /* 87 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny) /* 88 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny) /* 89 */ \
    X(SELECT, select, 0, None, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny) /* 90 */ \
    X(IDATE, date, Instant::Loaded, None, Fixed, kDate, "the date the library was loaded") /* 91 */ \
    X(ITIME, time, Instant::Loaded, None, Fixed, kTime, "the time the library was loaded") /* 92 */ \
    X(GSUM, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 93 */ \
    X(GAVG, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 94 */ \
    X(GMAX, placeholder, 0, None, Unify, kNumber, "reserved name: always number zero", kNumber) /* 95 */ \
    X(GMIN, placeholder, 0, None, Unify, kNumber, "reserved name: always number zero", kNumber) /* 96 */ \
    X(GCOUNT, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny) /* 97 */ \
    X(RSUM, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 98 */ \
    X(RAVG, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 99 */ \
    X(RMAX, placeholder, 0, None, Unify, kNumber, "reserved name: always number zero", kNumber) /* 100 */ \
    X(RMIN, placeholder, 0, None, Unify, kNumber, "reserved name: always number zero", kNumber) /* 101 */ \
    X(RCOUNT, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny) /* 102 */ \
    X(RANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny) /* 103 */ \
    X(PRANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny) /* 104 */ \
    X(RRANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny) /* 105 */ \
    X(GRANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny) /* 106 */ \
    X(COUNT, aggregate, AggregateKind::Count, Running, Fixed, kNumber, "running count of values over records", kAny, kLogical) /* 107 */ \
    X(PCOUNT, p_aggregate, AggregateKind::Count, PerCall, Fixed, kNumber, "count of the values the host supplies now", kAny, kLogical) /* 108 */ \
    X(SUM, aggregate, AggregateKind::Sum, Running, Fixed, kNumber, "running total over records", kNumber, kLogical) /* 109 */ \
    X(PSUM, p_aggregate, AggregateKind::Sum, PerCall, Fixed, kNumber, "total of the values the host supplies now", kNumber, kLogical) /* 110 */ \
    X(AVG, aggregate, AggregateKind::Avg, Running, Fixed, kNumber, "running average over records", kNumber, kLogical) /* 111 */ \
    X(PAVG, p_aggregate, AggregateKind::Avg, PerCall, Fixed, kNumber, "average of the values the host supplies now", kNumber, kLogical) /* 112 */ \
    X(MIN, aggregate, AggregateKind::Min, Running, Fixed, kNumber, "running minimum over records", kNumber, kLogical) /* 113 */ \
    X(PMIN, p_aggregate, AggregateKind::Min, PerCall, Fixed, kNumber, "minimum of the values the host supplies now", kNumber, kLogical) /* 114 */ \
    X(MAX, aggregate, AggregateKind::Max, Running, Fixed, kNumber, "running maximum over records", kNumber, kLogical) /* 115 */ \
    X(PMAX, p_aggregate, AggregateKind::Max, PerCall, Fixed, kNumber, "maximum of the values the host supplies now", kNumber, kLogical) /* 116 */ \
    X(GSUM, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 117 */ \
    X(GAVG, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 118 */ \
    X(GMAX, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 119 */ \
    X(GMIN, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 120 */ \
    X(GCOUNT, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 121 */ \
    X(RSUM, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 122 */ \
    X(RAVG, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 123 */ \
    X(RMAX, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 124 */ \
    X(RMIN, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 125 */ \
    X(RCOUNT, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 126 */ \
    X(RANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 127 */ \
    X(PRANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 128 */ \
    X(RRANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 129 */ \
    X(GRANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 130 */ \
    X(ASUM, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 131 */ \
    X(AAVG, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 132 */ \
    X(AMAX, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 133 */ \
    X(AMIN, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 134 */ \
    X(ACOUNT, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny) /* 135 */ \
    X(ARANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny) /* 136 */ \
    X(ASUM, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 137 */ \
    X(AAVG, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 138 */ \
    X(AMAX, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 139 */ \
    X(AMIN, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 140 */ \
    X(ACOUNT, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 141 */ \
    X(ARANK, placeholder, 0, None, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 142 */
// clang-format on

namespace fcl {

#define FCL_COUNT_RECORD(...) +1
constexpr int kFunctionCount = 0 FCL_FUNCTION_LIST(FCL_COUNT_RECORD);
#undef FCL_COUNT_RECORD
static_assert(kFunctionCount == 142, "compiled formulas index 142 function records");

}  // namespace fcl
