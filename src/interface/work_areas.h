// The aggregate work areas of SUM, AVG, MIN and MAX, sized by FCLINIT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "interface/context.h"

namespace fcl {

constexpr std::int32_t kFixedEntries = 10;
// Entries allowed from a size key; larger values are cut to this so an allocation
// request always stays reasonable.
constexpr std::int32_t kMaxEntries = 1 << 20;

// One aggregate's arrays. Entry i of `doubles` (double-number mode) or of `numbers`
// (text-number mode, kNumberSize bytes per entry) is slot i's sum, minimum or maximum.
struct WorkArea {
    std::int32_t capacity;  // slots usable; 0 until the first FCLINIT
    bool allocated;         // arrays come from local memory rather than the fixed areas
    double* counts;         // AVG: values folded into each slot
    std::uint8_t* flags;    // MIN, MAX: the slot holds a value
    double* doubles;
    std::uint8_t* numbers;

    double fixed_counts[kFixedEntries + 1];
    std::uint8_t fixed_flags[kFixedEntries + 8];
    double fixed_doubles[kFixedEntries + 1];
    alignas(8) std::uint8_t fixed_numbers[(kFixedEntries + 1) * kNumberSize];
};

enum class Aggregate { Sum, Avg, Min, Max };

// The work areas and the aggregates' slot counters are process-wide and written by runs on
// any handle: hold this lock while reading or writing them. FCLINIT holds it too.
std::mutex& aggregate_lock();

WorkArea& work_area(Aggregate kind);

// The slot's backend number (text-number mode).
inline std::uint8_t* slot_number(WorkArea& area, std::int32_t slot) {
    return area.numbers + static_cast<std::size_t>(slot) * kNumberSize;
}

// FCLINIT: 1 sizes the areas from the profile, 2 frees them, 3 does nothing, anything else
// points every aggregate at its fixed areas.
void init_work_areas(std::int32_t mode);

}  // namespace fcl
