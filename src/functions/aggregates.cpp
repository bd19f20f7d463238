// COUNT, SUM, AVG, MIN, MAX and their P forms. The handlers do not read their arguments: they
// ask the host, through the field callback, for the values of the reference item executed
// just before the call. A P form folds the values of one call into a local total; a plain form
// folds them into a process-wide slot that the host's pass key and end marks select and clear.

#include <cstring>
#include <limits>
#include <mutex>

#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "interface/work_areas.h"
#include "number/backend.h"

namespace fcl {

namespace {

constexpr int kKinds = 5;
constexpr std::int32_t kCountSlots = 64;

// --- Process-wide state: the plain aggregates' slot counters and COUNT's slots ---
// Written by every plain aggregate call (a new pass key restarts its kind's slot counter, each
// call steps it; COUNT folds values into its slots and clears them), always under
// aggregate_lock(). SUM, AVG, MIN and MAX keep their slots
// in the work areas FCLINIT sizes, under the same lock.

// Per plain kind, indexed by AggregateKind: the slot the next call uses and the host's previous
// pass key.
struct KindState {
    std::int32_t slot;
    std::uint16_t last_key;
};
KindState g_states[kKinds] = {{0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}};
double g_count_slots[kCountSlots] = {};

// Indexed by AggregateKind. COUNT keeps its own slots; its work-area entry is never used.
constexpr const char* kRequestNames[kKinds] = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
constexpr Aggregate kWorkAreas[kKinds] = {Aggregate::Sum, Aggregate::Sum, Aggregate::Avg, Aggregate::Min,
                                          Aggregate::Max};

int index_of(AggregateKind kind) { return static_cast<int>(kind); }

// --- Requests to the host ---

// End marks a host returns in the value type word.
constexpr std::uint16_t kEndKeep = FCL_AGG_CONTINUE;  // no more values; the slot keeps its total
constexpr std::uint16_t kEndReset = FCL_AGG_RESET;    // no more values; the slot is cleared after reporting

// One aggregate call sends at most this many requests. A host that keeps answering "again"
// (0xFFFF to a plain request, nonzero to a P request) or never ends its values would
// otherwise hold the library forever; at the limit the call fails with 1005 instead.
constexpr std::int32_t kMaxRequestsPerCall = 1000000;

// The raw buffer the host writes supplied values into (after the result area's first bytes).
std::uint8_t* request_buffer(Context& ctx) { return ctx.result + kRawBufferOffset; }

// The host reads the request from the callback's first parameter, where a field request
// carries the callback data. type_word is in/out: the value type word of the supplied value,
// or an end mark. Returns the host's answer.
std::uint16_t send(Context& ctx, void* request, const char* name, std::uint16_t& type_word) {
    std::uint8_t* raw = request_buffer(ctx);
    raw[0] = 0;
    const std::uint16_t answer = ask_host(ctx, request, name, raw, &type_word);
    // A text the host left unterminated ends at the raw buffer's last byte.
    raw[kRawBufferSize - 1] = 0;
    return answer;
}

// The query that plain SUM, AVG, MIN and MAX send first.
std::uint16_t ask_query(Context& ctx) {
    std::int32_t request = 3;
    std::uint16_t scratch = 0;
    return send(ctx, &request, "", scratch);
}

// A value request of a plain aggregate for the reference named name.
std::uint16_t ask_value(Context& ctx, const char* name, std::uint16_t& type_word) {
    std::int32_t request = 2;
    return send(ctx, &request, name, type_word);
}

// A value request of a P aggregate; aggregate is the name without the P ("SUM").
std::uint16_t ask_p_value(Context& ctx, const char* aggregate, const char* name, std::uint16_t& type_word) {
    // A private copy, so a host that writes through the pointer cannot touch the library's names.
    char request[8] = {};
    std::strncpy(request, aggregate, sizeof request - 1);
    return send(ctx, request, name, type_word);
}

// --- Cells: one accumulator, a slot of a work area or a P aggregate's local total ---

// Views of the parts a kind uses; the others may be null. value serves double-number mode,
// number (a backend number) text-number mode.
struct Cell {
    double* count;         // COUNT, AVG: values folded in
    std::uint8_t* flag;    // MIN, MAX: a value is held
    double* value;         // SUM, AVG: the sum; MIN, MAX: the extreme
    std::uint8_t* number;
};

bool uses_count(AggregateKind kind) { return kind == AggregateKind::Count || kind == AggregateKind::Avg; }
bool is_extreme(AggregateKind kind) { return kind == AggregateKind::Min || kind == AggregateKind::Max; }

void copy_number(std::uint8_t* to, const void* from) {
    std::memcpy(to, from, static_cast<std::size_t>(backend().size));
}

void fold_double(AggregateKind kind, const Cell& cell, double x) {
    if (!is_extreme(kind)) {
        *cell.value += x;
        return;
    }
    if (!*cell.flag) {
        *cell.value = x;
        *cell.flag = 1;
        return;
    }
    if (kind == AggregateKind::Min ? x < *cell.value : x > *cell.value) *cell.value = x;
}

// The value is in the context's number scratch.
void fold_backend(AggregateKind kind, const Cell& cell, Context& ctx) {
    const Backend& b = backend();
    if (!is_extreme(kind)) {
        b.add(cell.number, ctx.number_scratch);
        return;
    }
    if (!*cell.flag) {
        copy_number(cell.number, ctx.number_scratch);
        *cell.flag = 1;
        return;
    }
    const std::int32_t order = b.comp(ctx.number_scratch, cell.number);
    if (kind == AggregateKind::Min ? order < 0 : order > 0) copy_number(cell.number, ctx.number_scratch);
}

void write_average(const Cell& cell, std::uint8_t* result, Context& ctx) {
    if (*cell.count == 0.0) {
        write_blank_value(kNumber, result);
        return;
    }
    if (!text_numbers()) {
        write_number_double(result, *cell.value / *cell.count);
        return;
    }
    const Backend& b = backend();
    b.from_dbl(ctx.number_scratch, *cell.count);
    copy_number(ctx.number_scratch2, cell.number);
    b.div(ctx.number_scratch2, ctx.number_scratch);
    write_number_backend(result, ctx.number_scratch2);
}

// Folds one value supplied by the host (raw buffer plus value type word) into the cell.
// COUNT counts anything; the other kinds skip a value that is not a number.
void fold_value(AggregateKind kind, const Cell& cell, std::uint16_t type_word, const void* raw, Context& ctx) {
    if (kind == AggregateKind::Count) {
        *cell.count += 1.0;  // the value itself is not looked at
        return;
    }
    // Only numbers take part in a sum, an average or an extreme; anything else is skipped.
    if ((type_word & 0xFF) != kNumber) return;
    std::uint8_t value[kCodeAreaSize];
    if (convert_raw_value(type_word, raw, value, sizeof value, ctx) == 0) return;
    if (kind == AggregateKind::Avg) *cell.count += 1.0;
    if (!text_numbers()) {
        fold_double(kind, cell, payload_double(value));
        return;
    }
    backend().from_str(ctx.number_scratch, payload_text(value));
    fold_backend(kind, cell, ctx);
}

// Writes the cell's number result. An average of no values, and a minimum or maximum with
// no value, are number zero. A count in text-number mode is written as the whole number it is.
void write_cell_result(AggregateKind kind, const Cell& cell, std::uint8_t* result, Context& ctx) {
    if (kind == AggregateKind::Count) {
        write_integer_result(result, *cell.count, ctx);
        return;
    }
    if (kind == AggregateKind::Avg) {
        write_average(cell, result, ctx);
        return;
    }
    if (is_extreme(kind) && !*cell.flag) {
        write_blank_value(kNumber, result);
        return;
    }
    if (text_numbers()) write_number_backend(result, cell.number);
    else write_number_double(result, *cell.value);
}

// Clears the cell: totals and counts to zero, flag cleared.
void clear_cell(AggregateKind kind, const Cell& cell) {
    if (uses_count(kind)) *cell.count = 0.0;
    if (kind == AggregateKind::Count) return;
    if (is_extreme(kind)) *cell.flag = 0;
    if (text_numbers()) backend().zero(cell.number);
    else *cell.value = 0.0;
}

// --- Slots, and the P and plain forms ---

bool is_reference(const std::uint8_t* item) { return item && (item[0] == kFieldRef || item[0] == kNameRef); }

// Slots a kind may use now. COUNT has 64 of its own. The work areas were sized for the
// encoding current at FCLINIT; when the current encoding's array is still a fixed ten-entry
// area, no more than ten slots are used whatever the capacity says.
std::int32_t usable_slots(AggregateKind kind) {
    if (kind == AggregateKind::Count) return kCountSlots;
    const WorkArea& area = work_area(kWorkAreas[index_of(kind)]);
    const bool fixed = text_numbers() ? area.numbers == area.fixed_numbers : area.doubles == area.fixed_doubles;
    if (fixed && area.capacity > kFixedEntries) return kFixedEntries;
    return area.capacity;
}

// The views of slot `slot` (below usable_slots): only the arrays the kind and the current
// encoding use are addressed, since the others may be shorter.
Cell slot_cell(AggregateKind kind, std::int32_t slot) {
    if (kind == AggregateKind::Count) return Cell{&g_count_slots[slot], nullptr, nullptr, nullptr};
    WorkArea& area = work_area(kWorkAreas[index_of(kind)]);
    Cell cell{};
    if (kind == AggregateKind::Avg) cell.count = area.counts + slot;
    if (is_extreme(kind)) cell.flag = area.flags + slot;
    if (text_numbers()) cell.number = slot_number(area, slot);
    else cell.value = area.doubles + slot;
    return cell;
}

// No value is written: a one-argument call leaves its argument count, which reads as the empty
// string. A two-argument call's count would read as a number with a stale payload, so such a
// call writes number zero instead.
Status without_value(std::uint8_t* result) {
    if (call_argc(result) == 2) write_blank_value(kNumber, result);
    return kOk;
}

// The P form: the values the host supplies for this one call, folded into a local total.
// Without a callback there is no host to answer, which counts as a failed callback.
Status run_p_aggregate(AggregateKind kind, std::uint8_t* result, Context& ctx) {
    if (!ctx.callback) return kCallbackFailed;
    const std::uint8_t* item = ctx.current_item;
    if (!is_reference(item)) return without_value(result);
    double count = 0.0;
    std::uint8_t flag = 0;
    double value = 0.0;
    alignas(8) std::uint8_t number[kNumberSize] = {};
    if (text_numbers()) backend().zero(number);
    const Cell cell{&count, &flag, &value, number};
    const char* name = payload_text(item);
    std::uint16_t type_word = item[0];
    for (std::int32_t requests = 0;; ++requests) {
        if (requests == kMaxRequestsPerCall) return kCallbackFailed;
        if (ask_p_value(ctx, kRequestNames[index_of(kind)], name, type_word) != 0) continue;
        // 0xFFFF ends the values; 0xFFFE is no value type either, so it ends them too rather
        // than leaving a host that sends it waiting for a request that never stops.
        if (type_word == kEndReset || type_word == kEndKeep) break;
        fold_value(kind, cell, type_word, request_buffer(ctx), ctx);
    }
    write_cell_result(kind, cell, result, ctx);
    return kOk;
}

// The plain form: the host's pass key picks the slot, its end mark says whether the slot keeps
// its total or is cleared after reporting. The slots and slot counters are shared by every
// context, so each step between two requests runs under the aggregate lock; the lock is never
// held while the host's callback runs, so a callback may itself run formulas on other handles.
Status run_plain_aggregate(AggregateKind kind, std::uint8_t* result, Context& ctx) {
    if (!ctx.callback) return kCallbackFailed;
    if (kind != AggregateKind::Count) {
        const std::uint16_t answer = ask_query(ctx);
        if (answer == kEndKeep) return run_p_aggregate(kind, result, ctx);
        if (answer != kEndReset) return without_value(result);
    }
    const std::uint8_t* item = ctx.current_item;
    if (!is_reference(item)) {
        const std::lock_guard lock(aggregate_lock());
        KindState& state = g_states[index_of(kind)];
        if (state.slot < std::numeric_limits<std::int32_t>::max()) ++state.slot;
        return without_value(result);
    }
    const char* name = payload_text(item);
    std::uint16_t type_word = item[0];
    for (std::int32_t requests = 0;; ++requests) {
        if (requests == kMaxRequestsPerCall) return kCallbackFailed;
        const std::uint16_t key = ask_value(ctx, name, type_word);
        if (key == kEndReset) continue;
        const std::lock_guard lock(aggregate_lock());
        KindState& state = g_states[index_of(kind)];
        if (key != state.last_key) {
            state.slot = 0;
            state.last_key = key;
        }
        // At the limit (COUNT's 64 slots included) the call reports zero and
        // hands the pass key back as its status; the slot counter stays where it is.
        if (state.slot >= usable_slots(kind)) {
            write_blank_value(kNumber, result);
            return static_cast<Status>(key);
        }
        const Cell cell = slot_cell(kind, state.slot);
        if (type_word == kEndKeep || type_word == kEndReset) {
            write_cell_result(kind, cell, result, ctx);
            if (type_word == kEndReset) clear_cell(kind, cell);
            ++state.slot;
            return kOk;
        }
        fold_value(kind, cell, type_word, request_buffer(ctx), ctx);
    }
}

}  // namespace

namespace handlers {

Status aggregate(const std::uint8_t* const*, std::uint8_t* result, Context& ctx, int kind) {
    return run_plain_aggregate(static_cast<AggregateKind>(kind), result, ctx);
}

Status p_aggregate(const std::uint8_t* const*, std::uint8_t* result, Context& ctx, int kind) {
    return run_p_aggregate(static_cast<AggregateKind>(kind), result, ctx);
}

}  // namespace handlers

}  // namespace fcl
