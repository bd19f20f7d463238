// The era list of the Japanese-era functions: records from the profile keys Nengou1 to
// Nengou10, or the built-in era table when none is set, newest first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fcl {

// An era record: bytes 0-3 the name (two code page 932 characters), 4-5 the code ("H "),
// 6-13 the start date yyyymmdd. Bytes past a shorter record's text are 0.
constexpr std::size_t kEraRecordSize = 15;
constexpr int kMaxEras = 10;

struct EraRecord {
    char text[kEraRecordSize];
};

// Held in the caller's frame: nothing of it outlives the call that loads it.
struct EraList {
    EraRecord records[kMaxEras];
    int count;
};

// Reads the ten profile keys again (a change of the profile takes effect at the next call).
void load_era_list(EraList& list);

// The first record whose start date is on or before the eight-digit date (compared as
// unsigned bytes); null when the date lies before every era.
const EraRecord* era_of_date(const EraList& list, const char* date);

// The first record whose code equals the first two bytes of text; the end of a shorter text
// takes part as its terminator, so a one-byte text matches only a one-byte code.
const EraRecord* era_of_code(const EraList& list, const char* text);

// The start year (bytes 6-9 read as a decimal integer).
std::int32_t era_start_year(const EraRecord& era);

// The era name (bytes 0-3, up to the record's end) with a NUL.
void era_name(const EraRecord& era, char (&name)[5]);

}  // namespace fcl
