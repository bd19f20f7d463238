// The 142 function records. Compiled formulas call functions by their 1-based position here,
// so the order is part of the compiled-formula format.
#include "functions/function_table.h"

#include "functions/handlers.h"

namespace fcl {

// name, handler, kind, argc, result mask, argument masks
const FunctionRecord kFunctionTable[kFunctionCount] = {
    {"AND", handlers::logic_and, 0, 2, 4, {4, 4}},  // 1
    {"OR", handlers::logic_or, 0, 2, 4, {4, 4}},  // 2
    {"EQ", handlers::compare_eq, 1, 2, 4, {31, 31}},  // 3
    {"NE", handlers::compare_ne, 1, 2, 4, {31, 31}},  // 4
    {"LE", handlers::compare_le, 1, 2, 4, {27, 27}},  // 5
    {"GE", handlers::compare_ge, 1, 2, 4, {27, 27}},  // 6
    {"LT", handlers::compare_lt, 1, 2, 4, {27, 27}},  // 7
    {"GT", handlers::compare_gt, 1, 2, 4, {27, 27}},  // 8
    {"ADD", handlers::add, 2, 2, 3, {3, 3}},  // 9
    {"SUB", handlers::sub, 0, 2, 2, {2, 2}},  // 10
    {"MUL", handlers::mul, 0, 2, 2, {2, 2}},  // 11
    {"DIV", handlers::div, 0, 2, 2, {2, 2}},  // 12
    {"MOD", handlers::mod, 0, 2, 2, {2, 2}},  // 13
    {"NEG", handlers::neg, 0, 1, 2, {2}},  // 14
    {"NOT", handlers::logic_not, 0, 1, 4, {6}},  // 15
    {"BETWEEN", handlers::between, 1, 3, 4, {27, 27, 27}},  // 16
    {"IN", handlers::in, 1, 2, 4, {27, 27}},  // 17
    {"IN", handlers::in, 1, 3, 4, {27, 27, 27}},  // 18
    {"IN", handlers::in, 1, 4, 4, {27, 27, 27, 27}},  // 19
    {"IN", handlers::in, 1, 5, 4, {27, 27, 27, 27, 27}},  // 20
    {"LEFT", handlers::left, 0, 2, 1, {1, 2}},  // 21
    {"RIGHT", handlers::right, 0, 2, 1, {1, 2}},  // 22
    {"MID", handlers::mid, 0, 3, 1, {1, 2, 2}},  // 23
    {"MID", handlers::mid, 0, 2, 1, {1, 2}},  // 24
    {"STR", handlers::str, 0, 3, 1, {2, 2, 2}},  // 25
    {"STR", handlers::str, 0, 2, 1, {2, 2}},  // 26
    {"STR", handlers::str, 0, 1, 1, {31}},  // 27
    {"VAL", handlers::val, 0, 1, 2, {31}},  // 28
    {"LEN", handlers::len, 0, 1, 2, {1}},  // 29
    {"REP", handlers::rep, 0, 2, 1, {1, 2}},  // 30
    {"SPC", handlers::spc, 0, 1, 1, {2}},  // 31
    {"AT", handlers::at, 0, 2, 2, {1, 1}},  // 32
    {"LIKE", handlers::like, 0, 2, 4, {1, 1}},  // 33
    {"ASC", handlers::asc, 0, 1, 2, {1}},  // 34
    {"CHR", handlers::chr, 0, 1, 1, {2}},  // 35
    {"ABS", handlers::abs, 0, 1, 2, {2}},  // 36
    {"INT", handlers::int_part, 0, 1, 2, {2}},  // 37
    {"ROUND", handlers::round, 0, 1, 2, {2}},  // 38
    {"ROUND", handlers::round, 0, 2, 2, {2, 2}},  // 39
    {"DATE", handlers::date, 0, 0, 16, {}},  // 40
    {"TIME", handlers::time, 0, 0, 8, {}},  // 41
    {"YEAR", handlers::year, 0, 1, 2, {17}},  // 42
    {"MONTH", handlers::month, 0, 1, 2, {17}},  // 43
    {"DAY", handlers::day, 0, 1, 2, {17}},  // 44
    {"DOW", handlers::dow, 0, 1, 2, {17}},  // 45
    {"CDOW", handlers::cdow, 0, 1, 1, {17}},  // 46
    {"DTOC", handlers::dtoc, 0, 1, 1, {17}},  // 47
    {"CTOD", handlers::ctod, 0, 1, 16, {1}},  // 48
    {"ADATE", handlers::adate, 0, 2, 16, {16, 2}},  // 49
    {"CDATE", handlers::cdate, 0, 2, 2, {16, 16}},  // 50
    {"SEI2WA", handlers::sei2wa, 0, 1, 1, {17}},  // 51
    {"WA2SEI", handlers::wa2sei, 0, 1, 16, {1}},  // 52
    {"WYEAR", handlers::wyear, 0, 1, 2, {17}},  // 53
    {"NENGO", handlers::nengo, 0, 1, 1, {17}},  // 54
    {"SEI2WA1", handlers::sei2wa1, 0, 1, 1, {17}},  // 55
    {"SEI2WA1Z", handlers::sei2wa1z, 0, 1, 1, {17}},  // 56
    {"MONTH2", handlers::month2, 0, 1, 1, {17}},  // 57
    {"HOUR", handlers::hour, 0, 1, 2, {9}},  // 58
    {"MINT", handlers::mint, 0, 1, 2, {9}},  // 59
    {"SEC", handlers::sec, 0, 1, 2, {9}},  // 60
    {"TTOC", handlers::ttoc, 0, 1, 1, {9}},  // 61
    {"CTOT", handlers::ctot, 0, 1, 8, {1}},  // 62
    {"ATIME", handlers::atime, 0, 2, 8, {8, 2}},  // 63
    {"CTIME", handlers::ctime, 0, 3, 2, {8, 8, 2}},  // 64
    {"CTIME", handlers::ctime, 0, 2, 2, {8, 8}},  // 65
    {"IF", handlers::if_then_else, 3, 3, 31, {4, 31, 31}},  // 66
    {"COUNT", handlers::count, 0, 1, 2, {31}},  // 67
    {"PCOUNT", handlers::pcount, 0, 1, 2, {31}},  // 68
    {"SUM", handlers::sum, 0, 1, 2, {2}},  // 69
    {"PSUM", handlers::psum, 0, 1, 2, {2}},  // 70
    {"AVG", handlers::avg, 0, 1, 2, {2}},  // 71
    {"PAVG", handlers::pavg, 0, 1, 2, {2}},  // 72
    {"MIN", handlers::min, 2, 1, 2, {2}},  // 73
    {"PMIN", handlers::pmin, 2, 1, 2, {2}},  // 74
    {"MAX", handlers::max, 2, 1, 2, {2}},  // 75
    {"PMAX", handlers::pmax, 2, 1, 2, {2}},  // 76
    {"REVERSE", handlers::reverse, 0, 1, 1, {1}},  // 77
    {"REPLACE", handlers::replace, 0, 3, 1, {1, 1, 1}},  // 78
    {"FORMAT", handlers::format, 0, 2, 1, {31, 1}},  // 79
    {"PAGE", handlers::page, 0, 0, 1, {}},  // 80
    {"PAGE", handlers::page, 0, 2, 1, {2, 2}},  // 81
    {"SELECT", handlers::select, 3, 3, 31, {2, 31, 31}},  // 82
    {"SELECT", handlers::select, 3, 4, 31, {2, 31, 31, 31}},  // 83
    {"SELECT", handlers::select, 3, 5, 31, {2, 31, 31, 31, 31}},  // 84
    {"SELECT", handlers::select, 3, 6, 31, {2, 31, 31, 31, 31, 31}},  // 85
    {"SELECT", handlers::select, 3, 7, 31, {2, 31, 31, 31, 31, 31, 31}},  // 86
    {"SELECT", handlers::select, 3, 8, 31, {2, 31, 31, 31, 31, 31, 31, 31}},  // 87
    {"SELECT", handlers::select, 3, 9, 31, {2, 31, 31, 31, 31, 31, 31, 31, 31}},  // 88
    {"SELECT", handlers::select, 3, 10, 31, {2, 31, 31, 31, 31, 31, 31, 31, 31, 31}},  // 89
    {"SELECT", handlers::select, 3, 11, 31, {2, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31}},  // 90
    {"IDATE", handlers::idate, 0, 0, 16, {}},  // 91
    {"ITIME", handlers::itime, 0, 0, 8, {}},  // 92
    {"GSUM", handlers::placeholder, 0, 1, 2, {2}},  // 93
    {"GAVG", handlers::placeholder, 0, 1, 2, {2}},  // 94
    {"GMAX", handlers::placeholder, 2, 1, 2, {2}},  // 95
    {"GMIN", handlers::placeholder, 2, 1, 2, {2}},  // 96
    {"GCOUNT", handlers::placeholder, 0, 1, 2, {31}},  // 97
    {"RSUM", handlers::placeholder, 0, 1, 2, {2}},  // 98
    {"RAVG", handlers::placeholder, 0, 1, 2, {2}},  // 99
    {"RMAX", handlers::placeholder, 2, 1, 2, {2}},  // 100
    {"RMIN", handlers::placeholder, 2, 1, 2, {2}},  // 101
    {"RCOUNT", handlers::placeholder, 0, 1, 2, {31}},  // 102
    {"RANK", handlers::placeholder, 0, 1, 2, {31}},  // 103
    {"PRANK", handlers::placeholder, 0, 1, 2, {31}},  // 104
    {"RRANK", handlers::placeholder, 0, 1, 2, {31}},  // 105
    {"GRANK", handlers::placeholder, 0, 1, 2, {31}},  // 106
    {"COUNT", handlers::count, 0, 2, 2, {31, 4}},  // 107
    {"PCOUNT", handlers::pcount, 0, 2, 2, {31, 4}},  // 108
    {"SUM", handlers::sum, 0, 2, 2, {2, 4}},  // 109
    {"PSUM", handlers::psum, 0, 2, 2, {2, 4}},  // 110
    {"AVG", handlers::avg, 0, 2, 2, {2, 4}},  // 111
    {"PAVG", handlers::pavg, 0, 2, 2, {2, 4}},  // 112
    {"MIN", handlers::min, 0, 2, 2, {2, 4}},  // 113
    {"PMIN", handlers::pmin, 0, 2, 2, {2, 4}},  // 114
    {"MAX", handlers::max, 0, 2, 2, {2, 4}},  // 115
    {"PMAX", handlers::pmax, 0, 2, 2, {2, 4}},  // 116
    {"GSUM", handlers::placeholder, 0, 2, 2, {2, 4}},  // 117
    {"GAVG", handlers::placeholder, 0, 2, 2, {2, 4}},  // 118
    {"GMAX", handlers::placeholder, 0, 2, 2, {2, 4}},  // 119
    {"GMIN", handlers::placeholder, 0, 2, 2, {2, 4}},  // 120
    {"GCOUNT", handlers::placeholder, 0, 2, 2, {31, 4}},  // 121
    {"RSUM", handlers::placeholder, 0, 2, 2, {2, 4}},  // 122
    {"RAVG", handlers::placeholder, 0, 2, 2, {2, 4}},  // 123
    {"RMAX", handlers::placeholder, 0, 2, 2, {2, 4}},  // 124
    {"RMIN", handlers::placeholder, 0, 2, 2, {2, 4}},  // 125
    {"RCOUNT", handlers::placeholder, 0, 2, 2, {31, 4}},  // 126
    {"RANK", handlers::placeholder, 0, 2, 2, {31, 4}},  // 127
    {"PRANK", handlers::placeholder, 0, 2, 2, {31, 4}},  // 128
    {"RRANK", handlers::placeholder, 0, 2, 2, {31, 4}},  // 129
    {"GRANK", handlers::placeholder, 0, 2, 2, {31, 4}},  // 130
    {"ASUM", handlers::placeholder, 0, 1, 2, {2}},  // 131
    {"AAVG", handlers::placeholder, 0, 1, 2, {2}},  // 132
    {"AMAX", handlers::placeholder, 0, 1, 2, {2}},  // 133
    {"AMIN", handlers::placeholder, 0, 1, 2, {2}},  // 134
    {"ACOUNT", handlers::placeholder, 0, 1, 2, {31}},  // 135
    {"ARANK", handlers::placeholder, 0, 1, 2, {31}},  // 136
    {"ASUM", handlers::placeholder, 0, 2, 2, {2, 4}},  // 137
    {"AAVG", handlers::placeholder, 0, 2, 2, {2, 4}},  // 138
    {"AMAX", handlers::placeholder, 0, 2, 2, {2, 4}},  // 139
    {"AMIN", handlers::placeholder, 0, 2, 2, {2, 4}},  // 140
    {"ACOUNT", handlers::placeholder, 0, 2, 2, {31, 4}},  // 141
    {"ARANK", handlers::placeholder, 0, 2, 2, {31, 4}},  // 142
};

namespace {

bool same_name(const char* record, const char* name) {
    for (std::size_t i = 0; i < sizeof(FunctionRecord::name); ++i) {
        char a = record[i], b = name[i];
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
        if (a == '\0') return true;
    }
    return name[sizeof(FunctionRecord::name)] == '\0';
}

}  // namespace

int find_function(const char* name, int argc) {
    for (int i = 0; i < kFunctionCount; ++i) {
        const FunctionRecord& record = kFunctionTable[i];
        if (same_name(record.name, name) && (argc <= 0 || record.argc == argc)) return i + 1;
    }
    return 0;
}

}  // namespace fcl
