// COUNT, SUM, AVG, MIN, MAX and their P forms. The handlers do not read their arguments: they
// ask the host, through the field callback, for the values of the reference item executed
// just before the call.
#include "functions/aggregates.h"

#include <cstring>
#include <limits>
#include <mutex>

#include "functions/aggregate_cells.h"
#include "functions/aggregate_requests.h"
#include "functions/handlers.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "interface/work_areas.h"
#include "number/backend.h"

namespace fcl {

namespace {

constexpr int kKinds = 5;
constexpr std::int32_t kCountSlots = 64;
// Indexed by AggregateKind. COUNT keeps its own slots; its work-area entry is never used.
constexpr const char* kRequestNames[kKinds] = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
constexpr Aggregate kWorkAreas[kKinds] = {Aggregate::Sum, Aggregate::Sum, Aggregate::Avg, Aggregate::Min,
                                          Aggregate::Max};

// Per plain kind: the slot the next call uses and the host's previous pass key.
struct KindState {
    std::int32_t slot;
    std::uint16_t last_key;
};

KindState g_states[kKinds] = {{0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}};
double g_count_slots[kCountSlots] = {};

int index_of(AggregateKind kind) { return static_cast<int>(kind); }

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
    if (kind == AggregateKind::Min || kind == AggregateKind::Max) cell.flag = area.flags + slot;
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
    const char* name = reinterpret_cast<const char*>(item + 1);
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
    const char* name = reinterpret_cast<const char*>(item + 1);
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

void reset_aggregate_state() {
    const std::lock_guard lock(aggregate_lock());
    for (KindState& state : g_states) state = KindState{0, 1};
    std::memset(g_count_slots, 0, sizeof g_count_slots);
}

namespace handlers {

Status count(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_plain_aggregate(AggregateKind::Count, result, ctx);
}
Status pcount(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_p_aggregate(AggregateKind::Count, result, ctx);
}
Status sum(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_plain_aggregate(AggregateKind::Sum, result, ctx);
}
Status psum(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_p_aggregate(AggregateKind::Sum, result, ctx);
}
Status avg(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_plain_aggregate(AggregateKind::Avg, result, ctx);
}
Status pavg(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_p_aggregate(AggregateKind::Avg, result, ctx);
}
Status min(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_plain_aggregate(AggregateKind::Min, result, ctx);
}
Status pmin(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_p_aggregate(AggregateKind::Min, result, ctx);
}
Status max(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_plain_aggregate(AggregateKind::Max, result, ctx);
}
Status pmax(const std::uint8_t* const*, std::uint8_t* result, Context& ctx) {
    return run_p_aggregate(AggregateKind::Max, result, ctx);
}

}  // namespace handlers

}  // namespace fcl
