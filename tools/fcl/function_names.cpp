#include "function_names.h"

namespace fcltool {

namespace {

constexpr FunctionName kNames[kFunctionCount] = {
    {"AND", 2},     {"OR", 2},      {"EQ", 2},       {"NE", 2},      {"LE", 2},      {"GE", 2},
    {"LT", 2},      {"GT", 2},      {"ADD", 2},      {"SUB", 2},     {"MUL", 2},     {"DIV", 2},
    {"MOD", 2},     {"NEG", 1},     {"NOT", 1},      {"BETWEEN", 3}, {"IN", 2},      {"IN", 3},
    {"IN", 4},      {"IN", 5},      {"LEFT", 2},     {"RIGHT", 2},   {"MID", 3},     {"MID", 2},
    {"STR", 3},     {"STR", 2},     {"STR", 1},      {"VAL", 1},     {"LEN", 1},     {"REP", 2},
    {"SPC", 1},     {"AT", 2},      {"LIKE", 2},     {"ASC", 1},     {"CHR", 1},     {"ABS", 1},
    {"INT", 1},     {"ROUND", 1},   {"ROUND", 2},    {"DATE", 0},    {"TIME", 0},    {"YEAR", 1},
    {"MONTH", 1},   {"DAY", 1},     {"DOW", 1},      {"CDOW", 1},    {"DTOC", 1},    {"CTOD", 1},
    {"ADATE", 2},   {"CDATE", 2},   {"SEI2WA", 1},   {"WA2SEI", 1},  {"WYEAR", 1},   {"NENGO", 1},
    {"SEI2WA1", 1}, {"SEI2WA1Z", 1}, {"MONTH2", 1},  {"HOUR", 1},    {"MINT", 1},    {"SEC", 1},
    {"TTOC", 1},    {"CTOT", 1},    {"ATIME", 2},    {"CTIME", 3},   {"CTIME", 2},   {"IF", 3},
    {"COUNT", 1},   {"PCOUNT", 1},  {"SUM", 1},      {"PSUM", 1},    {"AVG", 1},     {"PAVG", 1},
    {"MIN", 1},     {"PMIN", 1},    {"MAX", 1},      {"PMAX", 1},    {"REVERSE", 1}, {"REPLACE", 3},
    {"FORMAT", 2},  {"PAGE", 0},    {"PAGE", 2},     {"SELECT", 3},  {"SELECT", 4},  {"SELECT", 5},
    {"SELECT", 6},  {"SELECT", 7},  {"SELECT", 8},   {"SELECT", 9},  {"SELECT", 10}, {"SELECT", 11},
    {"IDATE", 0},   {"ITIME", 0},   {"GSUM", 1},     {"GAVG", 1},    {"GMAX", 1},    {"GMIN", 1},
    {"GCOUNT", 1},  {"RSUM", 1},    {"RAVG", 1},     {"RMAX", 1},    {"RMIN", 1},    {"RCOUNT", 1},
    {"RANK", 1},    {"PRANK", 1},   {"RRANK", 1},    {"GRANK", 1},   {"COUNT", 2},   {"PCOUNT", 2},
    {"SUM", 2},     {"PSUM", 2},    {"AVG", 2},      {"PAVG", 2},    {"MIN", 2},     {"PMIN", 2},
    {"MAX", 2},     {"PMAX", 2},    {"GSUM", 2},     {"GAVG", 2},    {"GMAX", 2},    {"GMIN", 2},
    {"GCOUNT", 2},  {"RSUM", 2},    {"RAVG", 2},     {"RMAX", 2},    {"RMIN", 2},    {"RCOUNT", 2},
    {"RANK", 2},    {"PRANK", 2},   {"RRANK", 2},    {"GRANK", 2},   {"ASUM", 1},    {"AAVG", 1},
    {"AMAX", 1},    {"AMIN", 1},    {"ACOUNT", 1},   {"ARANK", 1},   {"ASUM", 2},    {"AAVG", 2},
    {"AMAX", 2},    {"AMIN", 2},    {"ACOUNT", 2},   {"ARANK", 2},
};

struct AggregateIndex {
    unsigned index;
    PlainAggregate kind;
};

// The one- and two-argument records of the plain aggregates.
constexpr AggregateIndex kPlain[] = {
    {67, PlainAggregate::Count}, {107, PlainAggregate::Count}, {69, PlainAggregate::Sum},
    {109, PlainAggregate::Sum},  {71, PlainAggregate::Avg},    {111, PlainAggregate::Avg},
    {73, PlainAggregate::Min},   {113, PlainAggregate::Min},   {75, PlainAggregate::Max},
    {115, PlainAggregate::Max},
};

}  // namespace

const FunctionName* function_name(unsigned index) {
    return index >= 1 && index <= kFunctionCount ? &kNames[index - 1] : nullptr;
}

PlainAggregate plain_aggregate(unsigned index) {
    for (const auto& entry : kPlain)
        if (entry.index == index) return entry.kind;
    return PlainAggregate::None;
}

bool is_aggregate(unsigned index) { return (index >= 67 && index <= 76) || (index >= 107 && index <= 116); }

}  // namespace fcltool
