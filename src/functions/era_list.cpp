#include "functions/era_list.h"

#include <cstdio>
#include <cstring>

#include "functions/text_fields.h"
#include "platform/profile.h"

namespace fcl {

namespace {

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

}  // namespace

void load_era_list(EraList& list) {
    list.count = 0;
    for (int k = 1; k <= kMaxEras; ++k) {
        char key[16];
        std::snprintf(key, sizeof key, "Nengou%d", k);
        char value[kEraRecordSize] = {};
        if (platform::profile_string(platform::kProfileSection, key, "", value, sizeof value, platform::kProfileFile) > 0)
            add_record(list, value);
    }
    if (list.count == 0)
        for (const char* era : kBuiltInEras) add_record(list, era);
    // Newest first: the era read last is looked at first.
    for (int i = 0, j = list.count - 1; i < j; ++i, --j) {
        const EraRecord swapped = list.records[i];
        list.records[i] = list.records[j];
        list.records[j] = swapped;
    }
}

const EraRecord* era_of_date(const EraList& list, const char* date) {
    for (int i = 0; i < list.count; ++i)
        if (std::memcmp(list.records[i].text + kStartOffset, date, kStartLength) <= 0) return &list.records[i];
    return nullptr;
}

const EraRecord* era_of_code(const EraList& list, const char* text) {
    for (int i = 0; i < list.count; ++i)
        if (std::strncmp(list.records[i].text + kCodeOffset, text, 2) == 0) return &list.records[i];
    return nullptr;
}

std::int32_t era_start_year(const EraRecord& era) { return field_value(text_field(era.text, kStartOffset, 4)); }

void era_name(const EraRecord& era, char (&name)[5]) {
    const TextField field = text_field(era.text, kNameOffset, 4);
    std::memcpy(name, field.start, field.length);
    name[field.length] = '\0';
}

}  // namespace fcl
