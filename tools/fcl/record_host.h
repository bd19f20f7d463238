// The host side of the library's field callback: field values of the current record, the
// values of columns computed earlier in the same record, and the aggregate protocol.
//
// Aggregates: the query of SUM/AVG/MIN/MAX is answered "running total" (0xFFFF). A value
// request gets the current record's value and the record's pass key; the following request of
// the same call gets the end mark: 0xFFFE while the group goes on, 0xFFFF at the group's last
// record, so that the slot reports its group total and starts again. Empty cells and failed
// columns supply no value. P forms get the current record's value, then 0xFFFF.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fclib.h"

namespace fcltool {

// Field name that the resynchronising formulas of the report engine use (see report.cpp).
inline constexpr const char* kSyncField = "fcl:sync";

class RecordHost {
public:
    explicit RecordHost(bool text_numbers) : text_numbers_(text_numbers) {}

    // Cell `cell` of each record is the field `name` (code page 932) of the given type;
    // `label` is the name as the user wrote it, for messages.
    void add_field(std::string name, std::uint8_t type, std::string label, std::size_t cell);

    // Column `column`'s result, once computed in a record, is readable under `name`.
    void add_column(std::string name, std::uint8_t type, std::string label, std::size_t column);

    // The record that formulas now read (code page 932). `cells` and the texts it views stay
    // owned by the caller and unchanged until the next begin_record.
    void begin_record(const std::vector<std::string_view>* cells, std::uint16_t pass_key, bool group_last);

    // Stores column `column`'s result of the current record; `ok` false after a failed run.
    void set_column_result(std::size_t column, const std::uint8_t* value, bool ok);

    // Counts aggregate calls from here on (for the report engine's resynchronisation); the
    // formula about to run is the report's column `formula`.
    void begin_execution(std::size_t formula = 0);
    std::uint32_t aggregate_calls() const { return calls_; }

    // What went wrong in the last field request ("unknown field or column "X"", a value that
    // does not fit its field's type, a text that was cut), then cleared.
    bool has_problem() const { return !problem_.empty(); }
    std::string take_problem();

    // The library's field callback; `data` is the host for field requests. Aggregate requests
    // carry the library's own request in `data` and go to the host made current by activate()
    // on the calling thread (each thread of a report runs its own host).
    static std::int32_t callback(void* data, const char* name, void* raw, std::uint16_t* type);
    void activate() { current_ = this; }

    std::uint16_t pass_key() const { return pass_key_; }

private:
    struct Source {
        std::string name;
        std::uint8_t type;
        std::string label;
        bool is_column;
        std::size_t index;
    };

    // A field's value in the current record, converted once and reused by every later fetch of
    // the record: the raw bytes and type word for numbers (double mode), dates, times and
    // logicals, the text cut to the raw buffer for the rest. Whole cache lines, as ColumnResult.
    struct alignas(64) Parsed {
        std::uint64_t record = 0;  // record_ when filled; 0 never matches
        std::uint16_t type = 0;
        bool is_text = false;
        bool cut = false;          // the text was cut: noted on every fetch
        std::uint8_t size = 0;
        std::uint8_t bytes[sizeof(double) + 1] = {};
        std::string_view text;
    };
    // A result column's value in the current record. Whole cache lines: each worker thread has
    // a host of its own, and a column written every record must share no line with another
    // worker's (false sharing cost a third of a two-thread run).
    struct alignas(64) ColumnResult {
        bool ok = false;
        std::array<std::uint8_t, FCL_MAX_VALUE> value{};
    };
    // Remembers which source a name pointer of the library stood for. The library passes each
    // name from its context's work area, so one formula asks with the same pointers in every
    // record (other formulas reuse them for other names: each formula has its own list). The
    // name itself is compared too, since a pointer alone proves nothing.
    struct NameSlot {
        const char* name = nullptr;
        const Source* source = nullptr;
    };
    static constexpr std::size_t kNameSlots = 8;  // per formula; more names share them
    struct NameSlots {
        std::array<NameSlot, kNameSlots> slots{};
        std::size_t next = 0;  // the slot a new name takes
    };

    const Source* find(const char* name);
    const Source* search(const char* name) const;
    std::int32_t field_request(const char* name, std::uint8_t* raw, std::uint16_t* type);
    std::int32_t value_request(const char* name, std::uint8_t* raw, std::uint16_t* type);
    std::int32_t p_value_request(const char* name, std::uint8_t* raw, std::uint16_t* type);
    // Writes the named source's value of this record for an aggregate; false when it has none.
    bool supply_value(const char* name, std::uint8_t* raw, std::uint16_t* type);
    // Writes the source's value for the callback; false (with a problem noted) when it has none
    // that fits, `empty` true when the cell is empty.
    bool write_value(const Source& source, std::uint8_t* raw, std::uint16_t* type, bool& empty);
    bool write_cell(const Source& source, std::string_view text, std::uint8_t* raw, std::uint16_t* type);
    // Fills `parsed` from the cell text; false (with a problem noted) when the text does not
    // fit the field's type.
    bool parse_cell(const Source& source, std::string_view text, Parsed& parsed);
    bool write_column(const Source& source, std::uint8_t* raw, std::uint16_t* type);
    void note(const Source& source, const std::string& what);

    static thread_local RecordHost* current_;

    bool text_numbers_;
    std::vector<Source> sources_;
    std::vector<ColumnResult> columns_;
    const std::vector<std::string_view>* cells_ = nullptr;
    std::uint64_t record_ = 1;
    std::vector<Parsed> parsed_;  // by cell index
    std::vector<NameSlots> names_;  // by formula
    NameSlots* formula_names_ = nullptr;
    std::uint16_t pass_key_ = 2;
    bool group_last_ = true;
    std::uint32_t calls_ = 0;
    bool pending_query_ = false;
    std::string problem_;
};

}  // namespace fcltool
