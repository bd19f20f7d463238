// One accumulator of an aggregate: a slot of a work area or a P aggregate's local total.
#pragma once

#include <cstdint>

#include "interface/context.h"

namespace fcl {

enum class AggregateKind { Count, Sum, Avg, Min, Max };

// Views of the parts a kind uses; the others may be null. value serves double-number mode,
// number (a backend number) text-number mode.
struct Cell {
    double* count;         // COUNT, AVG: values folded in
    std::uint8_t* flag;    // MIN, MAX: a value is held
    double* value;         // SUM, AVG: the sum; MIN, MAX: the extreme
    std::uint8_t* number;
};

// Folds one value supplied by the host (raw buffer plus value type word) into the cell.
// COUNT counts anything; the other kinds skip a value that is not a number.
void fold_value(AggregateKind kind, const Cell& cell, std::uint16_t type_word, const void* raw, Context& ctx);

// Writes the cell's number result. An average of no values, and a minimum or maximum with
// no value, are number zero.
void write_cell_result(AggregateKind kind, const Cell& cell, std::uint8_t* result, Context& ctx);

// Clears the cell: totals and counts to zero, flag cleared.
void clear_cell(AggregateKind kind, const Cell& cell);

}  // namespace fcl
