// Japanese-era functions: SEI2WA, SEI2WA1, SEI2WA1Z, NENGO, WYEAR, WA2SEI. A date is placed in
// the era list, records from the profile keys Nengou1 to Nengou10 or the built-in era table
// when none is set, looked at newest first.
#include <charconv>
#include <cstring>

#include "functions/dates.h"
#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "platform/profile.h"

namespace fcl::handlers {

namespace {

// --- The era list ---

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

// The built-in era table, oldest first.
constexpr const char* kBuiltInEras[] = {
    "\x96\xBE\x8E\xA1" /* 明治 */ "M 18680908",
    "\x91\xE5\x90\xB3" /* 大正 */ "T 19120730",
    "\x8F\xBA\x98\x61" /* 昭和 */ "S 19261225",
    "\x95\xBD\x90\xAC" /* 平成 */ "H 19890108",
};

constexpr std::size_t kNameOffset = 0;
constexpr std::size_t kCodeOffset = 4;
constexpr std::size_t kStartOffset = 6;
constexpr std::size_t kStartLength = 8;

void add_record(EraList& list, const char* text) {
    EraRecord& record = list.records[list.count++];
    std::memset(record.text, 0, sizeof record.text);
    std::memcpy(record.text, text, strnlen(text, kEraRecordSize - 1));
}

// The profile keys of the era records, Nengou1 to Nengou10.
static_assert(kMaxEras <= static_cast<int>(platform::kMostKeys));
constexpr const char* kEraKeys[kMaxEras] = {"Nengou1", "Nengou2", "Nengou3", "Nengou4", "Nengou5",
                                            "Nengou6", "Nengou7", "Nengou8", "Nengou9", "Nengou10"};

// Reads the ten profile keys again (a change of the profile takes effect at the next call), in
// one reading of the profile.
void load_era_list(EraList& list) {
    list.count = 0;
    char values[kMaxEras][kEraRecordSize];
    platform::profile_strings(platform::kProfileSection, kEraKeys, kMaxEras, values[0], kEraRecordSize,
                              platform::kProfileFile);
    for (const char* value : values)
        if (value[0] != '\0') add_record(list, value);
    if (list.count == 0)
        for (const char* era : kBuiltInEras) add_record(list, era);
    // Newest first: the era read last is looked at first.
    for (int i = 0, j = list.count - 1; i < j; ++i, --j) {
        const EraRecord swapped = list.records[i];
        list.records[i] = list.records[j];
        list.records[j] = swapped;
    }
}

// The first record whose start date is on or before the eight-digit date (compared as
// unsigned bytes); null when the date lies before every era.
const EraRecord* era_of_date(const EraList& list, const char* date) {
    for (int i = 0; i < list.count; ++i)
        if (std::memcmp(list.records[i].text + kStartOffset, date, kStartLength) <= 0) return &list.records[i];
    return nullptr;
}

// The first record whose code equals the first two bytes of text; the end of a shorter text
// takes part as its terminator, so a one-byte text matches only a one-byte code.
const EraRecord* era_of_code(const EraList& list, const char* text) {
    for (int i = 0; i < list.count; ++i)
        if (std::strncmp(list.records[i].text + kCodeOffset, text, 2) == 0) return &list.records[i];
    return nullptr;
}

// The start year (bytes 6-9 read as a decimal integer).
std::int32_t era_start_year(const EraRecord& era) { return field_value(text_field(era.text, kStartOffset, 4)); }

// The era name (bytes 0-3, up to the record's end) with a NUL.
void era_name(const EraRecord& era, char (&name)[5]) {
    const TextField field = text_field(era.text, kNameOffset, 4);
    std::memcpy(name, field.start, field.length);
    name[field.length] = '\0';
}

// --- The handlers' steps ---

constexpr std::int32_t kLastEraYear = 99;

// Separators of SEI2WA1 and SEI2WA1Z in code page 932.
constexpr const char* kYearMark = "\x94\x4E";   /* 年 */
constexpr const char* kMonthMark = "\x8C\x8E";  /* 月 */
constexpr const char* kDayMark = "\x93\xFA";    /* 日 */

enum class EraOutcome { Rejected, BeforeEras, Found };

// A date argument placed in its era. The era list is loaded only for an accepted date and
// lives in this structure, so it is gone when the handler returns.
struct EraDate {
    DateArgument date;
    EraList eras;
    const EraRecord* era;
    std::int32_t era_year;
};

// Normalises the date (no "DateError": a refused date has its own answers here), loads the
// era list and looks the date up.
EraOutcome place_in_era(const std::uint8_t* value, EraDate& placed) {
    normalise_date_argument(value, placed.date);
    if (placed.date.rejected) return EraOutcome::Rejected;
    load_era_list(placed.eras);
    placed.era = era_of_date(placed.eras, placed.date.text);
    if (placed.era == nullptr) return EraOutcome::BeforeEras;
    placed.era_year = field_value(text_field(placed.date.text, 0, 4)) - era_start_year(*placed.era) + 1;
    return EraOutcome::Found;
}

// Only era years 1 to 99 are written with two digits. Years below 1 arise only from a
// malformed profile record and are treated like those above 99.
bool writable_era_year(std::int32_t year) { return year >= 1 && year <= kLastEraYear; }

// Writes a string result. WA2SEI can be handed a text that, with its year in front or as it
// is, exceeds the 512 bytes of a string value: it is cut there, before a double-byte
// character that the cut would split.
Status write_text(std::uint8_t* result, const char* text) {
    return write_cut_text(result, text, strnlen(text, kMaxStringText + 1));
}

}  // namespace

// SEI2WA and its two variants: era name, two-digit era year, month and day.
Status era_text(const std::uint8_t* const* args, std::uint8_t* result, Context&, int fixed) {
    const auto style = static_cast<EraStyle>(fixed);
    EraDate placed;
    const EraOutcome outcome = place_in_era(args[0], placed);
    if (outcome == EraOutcome::Rejected) return write_text(result, "");
    if (outcome == EraOutcome::BeforeEras || !writable_era_year(placed.era_year))
        return write_text(result, payload_text(args[0]));
    char name[5];
    era_name(*placed.era, name);
    // The two-digit era year, month and day, each followed by its mark unless compact.
    char fields[3][2];
    write_zero_padded(fields[0], placed.era_year, 2);
    std::memcpy(fields[1], placed.date.text + 4, 2);
    std::memcpy(fields[2], placed.date.text + 6, 2);
    const char* const marks[3] = {kYearMark, kMonthMark, kDayMark};
    ResultText text;
    text.append(name, std::strlen(name));
    for (std::size_t k = 0; k < 3; ++k) {
        if (style == EraStyle::MarkedBlankZeros && fields[k][0] == '0') fields[k][0] = ' ';
        text.append(fields[k], 2);
        if (style != EraStyle::Compact) text.append(marks[k], std::strlen(marks[k]));
    }
    return text.write(result);
}

Status nengo(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    EraDate placed;
    if (place_in_era(args[0], placed) != EraOutcome::Found) return write_text(result, "");
    char name[5];
    era_name(*placed.era, name);
    return write_text(result, name);
}

Status wyear(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int) {
    EraDate placed;
    if (place_in_era(args[0], placed) != EraOutcome::Found || !writable_era_year(placed.era_year)) {
        write_integer_result(result, 0, ctx);
        return kOk;
    }
    char digits[2];
    write_zero_padded(digits, placed.era_year, 2);
    write_digits_result(result, TextField{digits, 2}, ctx);
    return kOk;
}

Status wa2sei(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    // Declared as a date in the function table, but the value written is a string.
    const char* text = payload_text(args[0]);
    EraList eras;
    load_era_list(eras);
    const EraRecord* era = era_of_code(eras, text);
    if (era == nullptr) return write_text(result, text);
    // Positions 2 and 3 hold the era year, read without checking that they are digits; an
    // absent character adds nothing.
    const TextField year_field = text_field(text, 2, 2);
    std::int32_t era_year = 0;
    if (year_field.length > 0) era_year += 10 * (year_field.start[0] - '0');
    if (year_field.length > 1) era_year += year_field.start[1] - '0';
    const TextField rest = text_field(text, 4, kMaxStringText);
    // "%d%.*s": room for the year, the longest rest and a NUL; write_text cuts the result to a
    // value.
    char converted[kMaxStringText + 16];
    char* end = std::to_chars(converted, converted + 12, era_start_year(*era) + era_year - 1).ptr;
    std::memcpy(end, rest.start, rest.length);
    end[rest.length] = '\0';
    return write_text(result, converted);
}

}  // namespace fcl::handlers
