// The formula language's vocabulary: one line per function record, in record order. Compiled
// formulas call functions by their 1-based position in this list, so the order is part of the
// compiled-formula format. Everything else that knows the functions (the handler declarations,
// the table the compiler and executor use, and the names, types and summaries fcl prints) is
// made from this list.
//
// X(name, handler, typing, result mask, summary, argument masks...)
#pragma once

#include <cstdint>

#include "interface/types.h"

namespace fcl {

// How the compiler types a call's arguments; the executor ignores it.
enum class Typing : std::uint16_t {
    Fixed,    // each argument against its own mask; the result is the record's result mask
    Compare,  // as Fixed, and every argument has the first argument's type
    Unify,    // every argument has the first argument's type, and so has the result
    Choice,   // the first argument selects; the others and the result share the second's type
};

constexpr std::uint16_t kAnyButLogical = FCL_T_ANY_BUT_LOGICAL;
constexpr std::uint16_t kAny = FCL_T_ANY;

}  // namespace fcl

// clang-format off
#define FCL_FUNCTION_LIST(X) \
    X(AND, logic_and, Fixed, kLogical, "true when both conditions are true", kLogical, kLogical) /* 1 */ \
    X(OR, logic_or, Fixed, kLogical, "true when either condition is true", kLogical, kLogical) /* 2 */ \
    X(EQ, compare_eq, Compare, kLogical, "a equals b (also = and ==)", kAny, kAny) /* 3 */ \
    X(NE, compare_ne, Compare, kLogical, "a differs from b (also <> and !=)", kAny, kAny) /* 4 */ \
    X(LE, compare_le, Compare, kLogical, "a is at most b (also <=)", kAnyButLogical, kAnyButLogical) /* 5 */ \
    X(GE, compare_ge, Compare, kLogical, "a is at least b (also >=)", kAnyButLogical, kAnyButLogical) /* 6 */ \
    X(LT, compare_lt, Compare, kLogical, "a is less than b (also <)", kAnyButLogical, kAnyButLogical) /* 7 */ \
    X(GT, compare_gt, Compare, kLogical, "a is greater than b (also >)", kAnyButLogical, kAnyButLogical) /* 8 */ \
    X(ADD, add, Unify, kString | kNumber, "sum of numbers, or strings joined (also +)", kString | kNumber, kString | kNumber) /* 9 */ \
    X(SUB, sub, Fixed, kNumber, "difference (also -)", kNumber, kNumber) /* 10 */ \
    X(MUL, mul, Fixed, kNumber, "product (also *)", kNumber, kNumber) /* 11 */ \
    X(DIV, div, Fixed, kNumber, "quotient; dividing by zero fails (also /)", kNumber, kNumber) /* 12 */ \
    X(MOD, mod, Fixed, kNumber, "remainder (also %)", kNumber, kNumber) /* 13 */ \
    X(NEG, neg, Fixed, kNumber, "the number negated (unary -)", kNumber) /* 14 */ \
    X(NOT, logic_not, Fixed, kLogical, "logical negation (also !)", kNumber | kLogical) /* 15 */ \
    X(BETWEEN, between, Compare, kLogical, "x lies between low and high, both included", kAnyButLogical, kAnyButLogical, kAnyButLogical) /* 16 */ \
    X(IN, in, Compare, kLogical, "x equals one of the values that follow", kAnyButLogical, kAnyButLogical) /* 17 */ \
    X(IN, in, Compare, kLogical, "x equals one of the values that follow", kAnyButLogical, kAnyButLogical, kAnyButLogical) /* 18 */ \
    X(IN, in, Compare, kLogical, "x equals one of the values that follow", kAnyButLogical, kAnyButLogical, kAnyButLogical, kAnyButLogical) /* 19 */ \
    X(IN, in, Compare, kLogical, "x equals one of the values that follow", kAnyButLogical, kAnyButLogical, kAnyButLogical, kAnyButLogical, kAnyButLogical) /* 20 */ \
    X(LEFT, left, Fixed, kString, "the first n bytes of a text", kString, kNumber) /* 21 */ \
    X(RIGHT, right, Fixed, kString, "the last n bytes of a text", kString, kNumber) /* 22 */ \
    X(MID, mid, Fixed, kString, "the bytes of a text from position p, n of them or to the end", kString, kNumber, kNumber) /* 23 */ \
    X(MID, mid, Fixed, kString, "the bytes of a text from position p, n of them or to the end", kString, kNumber) /* 24 */ \
    X(STR, str, Fixed, kString, "a value as text; a number with width and decimals", kNumber, kNumber, kNumber) /* 25 */ \
    X(STR, str, Fixed, kString, "a value as text; a number with width and decimals", kNumber, kNumber) /* 26 */ \
    X(STR, str, Fixed, kString, "a value as text; a number with width and decimals", kAny) /* 27 */ \
    X(VAL, val, Fixed, kNumber, "a value as a number", kAny) /* 28 */ \
    X(LEN, len, Fixed, kNumber, "the length of a text in bytes", kString) /* 29 */ \
    X(REP, rep, Fixed, kString, "a text repeated n times", kString, kNumber) /* 30 */ \
    X(SPC, spc, Fixed, kString, "n spaces", kNumber) /* 31 */ \
    X(AT, at, Fixed, kNumber, "the position of one text in another, 0 when absent", kString, kString) /* 32 */ \
    X(LIKE, like, Fixed, kLogical, "a text matches a pattern with * and ?", kString, kString) /* 33 */ \
    X(ASC, asc, Fixed, kNumber, "the first byte of a text as a number", kString) /* 34 */ \
    X(CHR, chr, Fixed, kString, "the character with a code", kNumber) /* 35 */ \
    X(ABS, abs, Fixed, kNumber, "the absolute value", kNumber) /* 36 */ \
    X(INT, int_part, Fixed, kNumber, "the whole part, truncated toward zero", kNumber) /* 37 */ \
    X(ROUND, round, Fixed, kNumber, "rounded half away from zero; with n, to a multiple of 10 to the n", kNumber) /* 38 */ \
    X(ROUND, round, Fixed, kNumber, "rounded half away from zero; with n, to a multiple of 10 to the n", kNumber, kNumber) /* 39 */ \
    X(DATE, date, Fixed, kDate, "today's date") /* 40 */ \
    X(TIME, time, Fixed, kTime, "the time now") /* 41 */ \
    X(YEAR, year, Fixed, kNumber, "the year of a date", kDate | kString) /* 42 */ \
    X(MONTH, month, Fixed, kNumber, "the month of a date", kDate | kString) /* 43 */ \
    X(DAY, day, Fixed, kNumber, "the day of a date", kDate | kString) /* 44 */ \
    X(DOW, dow, Fixed, kNumber, "the day of the week, 0 for Sunday to 6 for Saturday", kDate | kString) /* 45 */ \
    X(CDOW, cdow, Fixed, kString, "the day of the week as its one-character Japanese name", kDate | kString) /* 46 */ \
    X(DTOC, dtoc, Fixed, kString, "a date as yyyy/mm/dd text", kDate | kString) /* 47 */ \
    X(CTOD, ctod, Fixed, kDate, "a text as a date", kString) /* 48 */ \
    X(ADATE, adate, Fixed, kDate, "a date moved by a whole number of days", kDate, kNumber) /* 49 */ \
    X(CDATE, cdate, Fixed, kNumber, "the days from the second date to the first", kDate, kDate) /* 50 */ \
    X(SEI2WA, sei2wa, Fixed, kString, "a date as era name, two-digit era year and mmdd", kDate | kString) /* 51 */ \
    X(WA2SEI, wa2sei, Fixed, kDate, "era text (era code and yymmdd) back to a date", kString) /* 52 */ \
    X(WYEAR, wyear, Fixed, kNumber, "the year within the Japanese era", kDate | kString) /* 53 */ \
    X(NENGO, nengo, Fixed, kString, "the name of the Japanese era", kDate | kString) /* 54 */ \
    X(SEI2WA1, sei2wa1, Fixed, kString, "a date as era name and year, month and day with their unit characters", kDate | kString) /* 55 */ \
    X(SEI2WA1Z, sei2wa1z, Fixed, kString, "as SEI2WA1, with a leading zero of each number shown as a blank", kDate | kString) /* 56 */ \
    X(MONTH2, month2, Fixed, kString, "the month's name from the month-name table", kDate | kString) /* 57 */ \
    X(HOUR, hour, Fixed, kNumber, "the hour of a time", kTime | kString) /* 58 */ \
    X(MINT, mint, Fixed, kNumber, "the minute of a time", kTime | kString) /* 59 */ \
    X(SEC, sec, Fixed, kNumber, "the second of a time", kTime | kString) /* 60 */ \
    X(TTOC, ttoc, Fixed, kString, "a time as hh:mm:ss text", kTime | kString) /* 61 */ \
    X(CTOT, ctot, Fixed, kTime, "a text as a time", kString) /* 62 */ \
    X(ATIME, atime, Fixed, kTime, "a time moved by a whole number of seconds", kTime, kNumber) /* 63 */ \
    X(CTIME, ctime, Fixed, kNumber, "seconds from the second time to the first, plus days times 86400", kTime, kTime, kNumber) /* 64 */ \
    X(CTIME, ctime, Fixed, kNumber, "seconds from the second time to the first, plus days times 86400", kTime, kTime) /* 65 */ \
    X(IF, if_then_else, Choice, kAny, "the second argument when the condition is true, else the third", kLogical, kAny, kAny) /* 66 */ \
    X(COUNT, count, Fixed, kNumber, "running count of values over records", kAny) /* 67 */ \
    X(PCOUNT, pcount, Fixed, kNumber, "count of the values the host supplies now", kAny) /* 68 */ \
    X(SUM, sum, Fixed, kNumber, "running total over records", kNumber) /* 69 */ \
    X(PSUM, psum, Fixed, kNumber, "total of the values the host supplies now", kNumber) /* 70 */ \
    X(AVG, avg, Fixed, kNumber, "running average over records", kNumber) /* 71 */ \
    X(PAVG, pavg, Fixed, kNumber, "average of the values the host supplies now", kNumber) /* 72 */ \
    X(MIN, min, Unify, kNumber, "running minimum over records", kNumber) /* 73 */ \
    X(PMIN, pmin, Unify, kNumber, "minimum of the values the host supplies now", kNumber) /* 74 */ \
    X(MAX, max, Unify, kNumber, "running maximum over records", kNumber) /* 75 */ \
    X(PMAX, pmax, Unify, kNumber, "maximum of the values the host supplies now", kNumber) /* 76 */ \
    X(REVERSE, reverse, Fixed, kString, "a text with its characters in reverse order", kString) /* 77 */ \
    X(REPLACE, replace, Fixed, kString, "a text with every occurrence of one text replaced by another", kString, kString, kString) /* 78 */ \
    X(FORMAT, format, Fixed, kString, "a value laid out by a picture", kAny, kString) /* 79 */ \
    X(PAGE, page, Fixed, kString, "the page counter, then stepped; with two arguments it restarts") /* 80 */ \
    X(PAGE, page, Fixed, kString, "the page counter, then stepped; with two arguments it restarts", kNumber, kNumber) /* 81 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny) /* 82 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny) /* 83 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny) /* 84 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny) /* 85 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny) /* 86 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny, kAny) /* 87 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny) /* 88 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny) /* 89 */ \
    X(SELECT, select, Choice, kAny, "the value chosen by a 1-based selector", kNumber, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny, kAny) /* 90 */ \
    X(IDATE, idate, Fixed, kDate, "the date the library was loaded") /* 91 */ \
    X(ITIME, itime, Fixed, kTime, "the time the library was loaded") /* 92 */ \
    X(GSUM, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 93 */ \
    X(GAVG, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 94 */ \
    X(GMAX, placeholder, Unify, kNumber, "reserved name: always number zero", kNumber) /* 95 */ \
    X(GMIN, placeholder, Unify, kNumber, "reserved name: always number zero", kNumber) /* 96 */ \
    X(GCOUNT, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny) /* 97 */ \
    X(RSUM, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 98 */ \
    X(RAVG, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 99 */ \
    X(RMAX, placeholder, Unify, kNumber, "reserved name: always number zero", kNumber) /* 100 */ \
    X(RMIN, placeholder, Unify, kNumber, "reserved name: always number zero", kNumber) /* 101 */ \
    X(RCOUNT, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny) /* 102 */ \
    X(RANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny) /* 103 */ \
    X(PRANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny) /* 104 */ \
    X(RRANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny) /* 105 */ \
    X(GRANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny) /* 106 */ \
    X(COUNT, count, Fixed, kNumber, "running count of values over records", kAny, kLogical) /* 107 */ \
    X(PCOUNT, pcount, Fixed, kNumber, "count of the values the host supplies now", kAny, kLogical) /* 108 */ \
    X(SUM, sum, Fixed, kNumber, "running total over records", kNumber, kLogical) /* 109 */ \
    X(PSUM, psum, Fixed, kNumber, "total of the values the host supplies now", kNumber, kLogical) /* 110 */ \
    X(AVG, avg, Fixed, kNumber, "running average over records", kNumber, kLogical) /* 111 */ \
    X(PAVG, pavg, Fixed, kNumber, "average of the values the host supplies now", kNumber, kLogical) /* 112 */ \
    X(MIN, min, Fixed, kNumber, "running minimum over records", kNumber, kLogical) /* 113 */ \
    X(PMIN, pmin, Fixed, kNumber, "minimum of the values the host supplies now", kNumber, kLogical) /* 114 */ \
    X(MAX, max, Fixed, kNumber, "running maximum over records", kNumber, kLogical) /* 115 */ \
    X(PMAX, pmax, Fixed, kNumber, "maximum of the values the host supplies now", kNumber, kLogical) /* 116 */ \
    X(GSUM, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 117 */ \
    X(GAVG, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 118 */ \
    X(GMAX, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 119 */ \
    X(GMIN, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 120 */ \
    X(GCOUNT, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 121 */ \
    X(RSUM, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 122 */ \
    X(RAVG, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 123 */ \
    X(RMAX, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 124 */ \
    X(RMIN, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 125 */ \
    X(RCOUNT, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 126 */ \
    X(RANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 127 */ \
    X(PRANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 128 */ \
    X(RRANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 129 */ \
    X(GRANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 130 */ \
    X(ASUM, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 131 */ \
    X(AAVG, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 132 */ \
    X(AMAX, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 133 */ \
    X(AMIN, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber) /* 134 */ \
    X(ACOUNT, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny) /* 135 */ \
    X(ARANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny) /* 136 */ \
    X(ASUM, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 137 */ \
    X(AAVG, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 138 */ \
    X(AMAX, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 139 */ \
    X(AMIN, placeholder, Fixed, kNumber, "reserved name: always number zero", kNumber, kLogical) /* 140 */ \
    X(ACOUNT, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 141 */ \
    X(ARANK, placeholder, Fixed, kNumber, "reserved name: always number zero", kAny, kLogical) /* 142 */
// clang-format on
