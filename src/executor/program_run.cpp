// Running a decoded program on the walk's operand stack and value area.
#include <cstring>

#include "executor/field_fetch.h"
#include "executor/program.h"
#include "executor/walk.h"
#include "functions/function_table.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "number/scaled_number.h"
#include "platform/cp932.h"

namespace fcl {

namespace {

bool is_text(std::uint8_t type) { return type == kString || type == kTime || type == kDate; }

// Whether the run compares a and b in place: two texts, which are terminated where they lie; two
// logicals; two doubles. Anything else, a text against another type included, is the handler's.
bool compared_in_place(const std::uint8_t* a, const std::uint8_t* b, bool number_text) {
    if (is_text(a[0])) return is_text(b[0]);
    return a[0] == b[0] && (a[0] == kLogical || (a[0] == kNumber && !number_text));
}

// The comparison handlers' order of two values the run compares in place: two texts (string,
// time or date) by code page 932 characters, two logicals by truth, two doubles numerically (a
// NaN equals everything).
int order(const std::uint8_t* a, const std::uint8_t* b) {
    if (is_text(a[0])) return cp932::compare(payload_text(a), payload_text(b));
    if (a[0] == kLogical) return (a[1] != 0) - (b[1] != 0);
    const double x = payload_double(a);
    const double y = payload_double(b);
    return y > x ? -1 : (y < x ? 1 : 0);
}

using BackendOp = void (*)(void*, const void*);

BackendOp backend_arithmetic(Op op, const Backend& n) {
    switch (op) {
        case Op::Add: return n.add;
        case Op::Sub: return n.sub;
        case Op::Mul: return n.mul;
        default: return n.div;
    }
}

// How a run holds numbers: doubles; number text; or, in text-number mode with a backend whose
// payload text reads back as the number written, kept backend numbers. There a number operand
// keeps its backend number, so arithmetic and comparisons read no text, and the text of a
// fetched field or of arithmetic's value is written only where it is read: by a handler, by the
// walk after a hand-over, or into the result. Until then its place in the value area holds room
// for the longest text; the texts are written, and the value area closed up to the walk's
// layout, before anything else looks at it. Each way is an instance of its own, so that
// double-number runs pay nothing for the others.
enum class Numbers { Doubles, Text, KeptText };

template <Numbers kNumbers>
class ProgramRun {
public:
    // Takes the operand stack as it stands in ctx.
    ProgramRun(Context& ctx, const ProgramHeader& program, std::uint8_t* result)
        : ctx_(ctx), code_(program.instructions()), length_(program.block_length), result_(result),
          depth_(ctx.stack_depth), used_(ctx.value_used) {
        if constexpr (kKeepNumbers)
            for (int d = 0; d <= depth_; ++d) known_[d] = pending_[d] = false;
    }

    // Runs the instructions from the one at `from`.
    Status run(std::size_t from);

private:
    static constexpr bool kText = kNumbers != Numbers::Doubles;
    static constexpr bool kKeepNumbers = kNumbers == Numbers::KeptText;

    const std::uint8_t* operand(int below_top) const { return ctx_.stack[depth_ - below_top].value; }
    // Keep mode: a pending operand is a number whose text is not there to look at.
    bool is_number(int below_top) const { return pending_[depth_ - below_top] || operand(below_top)[0] == kNumber; }
    // Whether one of the top count operands is a pending number.
    bool has_pending(int count) const {
        if constexpr (kKeepNumbers) {
            for (int k = 0; k < count; ++k)
                if (pending_[depth_ - k]) return true;
        }
        return false;
    }
    const std::uint8_t* item_before(std::size_t i) const {
        return ctx_.code_copy + (i ? code_[i - 1].item : kCodeHeaderSize);
    }

    Status fetch(std::size_t i);
    // Text-number arithmetic as its handler does it, on the operands' kept numbers.
    Status text_arithmetic(std::size_t i);
    // The order of the top two numbers as the comparison handlers give it (short ones by their units).
    int text_order();
    // The backend number of the operand below_top places under the top, read from its text
    // when it is not kept yet.
    std::uint8_t* number_of(int below_top);
    // The units of that operand where it is short (scaled_number.h) and not kept as a backend
    // number: held so, or written as a short text.
    bool short_operand(int below_top, std::int64_t& units) const;
    // ADD of a string and a text, joined where the value goes: the first text stays where it lies.
    Status join(std::size_t i);
    // The walk's call: argc in the result area, the handler, its operands popped, its value pushed.
    Status call(std::size_t i);
    // The same with pending numbers left unwritten, for a handler that reads none of them.
    Status call_unwritten(std::size_t i);
    // IF: a chosen double is pushed as an operator's value. In keep mode a chosen pending number
    // takes the operands' place still pending, and any other chosen value is copied by the handler
    // with the pending numbers left unwritten: a number's text is written only if it is read.
    Status choose(std::size_t i);
    // An operator's value, written where its handler writes it, then pushed in its operands' place.
    // (Inlined: they are most of what an operator done in place costs.)
    [[gnu::always_inline]] inline Status number_result(int argc, double value);
    [[gnu::always_inline]] inline Status logical_result(int argc, bool value);
    Status push_result(int argc, std::uint16_t size);
    // Pops argc operands and claims the value area for a value of size bytes on top, as the
    // walk's push does; null when the stack or the value area is full.
    std::uint8_t* pop_for(int argc, std::uint16_t size);
    Status hand_over(std::size_t i);
    // Writes every pending number's text where the walk would have written it, moving the
    // values above down to their places.
    void write_pending();
    // The text of pending operand d, written to out: from its backend number or its units.
    std::uint16_t write_pending_number(std::uint8_t* out, int d) const;

    // The room a pending number holds: as much as write_number_backend ever writes.
    static constexpr std::uint16_t kPendingBytes = kMaxStringText + 2;

    Context& ctx_;
    const Instruction* code_;
    std::size_t length_;
    std::uint8_t* result_;
    std::uint16_t depth_;
    std::uint16_t used_;
    // Which operands have no text written yet (pending), and which entries of numbers_ hold
    // their operand's backend number (known). A pending number that is not known is a short
    // fetched one, held as its units in scaled_ until its text or backend number is needed.
    bool known_[kMaxOperands + 1];
    bool pending_[kMaxOperands + 1];
    std::int64_t scaled_[kMaxOperands + 1];
    alignas(4) std::uint8_t numbers_[kMaxOperands + 1][kNumberSize];
};

template <Numbers kNumbers>
Status ProgramRun<kNumbers>::fetch(std::size_t i) {
    std::uint8_t* slot = ctx_.value_area + used_;
    std::uint16_t size = 0;
    const std::uint8_t* item = ctx_.code_copy + code_[i].item;
    if constexpr (kKeepNumbers) {
        // The caller made sure of room for any value, which is more than a pending number holds.
        const int d = depth_ + 1;
        const Status status = fetch_field_number(ctx_, item, slot, &size, &scaled_[d], numbers_[d]);
        if (status != kOk) return status;
        const bool pending = size == 0;
        if (pending) size = kPendingBytes;
        used_ = static_cast<std::uint16_t>(used_ + size);
        ctx_.stack[++depth_] = OperandEntry{slot, size};
        pending_[d] = pending;
        known_[d] = pending && scaled_[d] == kNotScaled;
        return kOk;
    }
    const Status status = fetch_field(ctx_, item, slot, &size);
    if (status != kOk) return status;
    used_ = static_cast<std::uint16_t>(used_ + size);
    ctx_.stack[++depth_] = OperandEntry{slot, size};
    return kOk;
}

template <Numbers kNumbers>
void ProgramRun<kNumbers>::write_pending() {
    std::uint16_t at = 0;
    for (int d = 1; d <= depth_; ++d) {
        OperandEntry& entry = ctx_.stack[d];
        if (entry.bytes == 0) continue;  // a literal, read in the code
        std::uint8_t* place = ctx_.value_area + at;
        if (pending_[d]) {
            // No further than the room held, which ends where the next value starts.
            entry = OperandEntry{place, write_pending_number(place, d)};
            pending_[d] = false;
        } else {
            if (entry.value != place) std::memmove(place, entry.value, entry.bytes);
            entry.value = place;
        }
        at = static_cast<std::uint16_t>(at + entry.bytes);
    }
    used_ = at;
}

template <Numbers kNumbers>
std::uint16_t ProgramRun<kNumbers>::write_pending_number(std::uint8_t* out, int d) const {
    return known_[d] ? write_number_backend(out, numbers_[d]) : write_units_backend(out, scaled_[d]);
}

template <Numbers kNumbers>
std::uint8_t* ProgramRun<kNumbers>::number_of(int below_top) {
    const int at = depth_ - below_top;
    if (!known_[at]) {
        if (pending_[at]) backend().from_units(numbers_[at], scaled_[at]);
        else backend().from_str(numbers_[at], payload_text(ctx_.stack[at].value));
        known_[at] = true;
    }
    return numbers_[at];
}

template <Numbers kNumbers>
bool ProgramRun<kNumbers>::short_operand(int below_top, std::int64_t& units) const {
    const int at = depth_ - below_top;
    if (known_[at]) return false;
    if (pending_[at]) {
        units = scaled_[at];
        return true;
    }
    return scaled::from_text(payload_text(ctx_.stack[at].value), units);
}

template <Numbers kNumbers>
int ProgramRun<kNumbers>::text_order() {
    std::int64_t a = 0;
    std::int64_t b = 0;
    if (short_operand(1, a) && short_operand(0, b)) return (a > b) - (a < b);
    return backend().comp(number_of(1), number_of(0));
}

// The operation works in place on the kept numbers: the first operand's becomes the value's,
// which takes the first operand's place on the stack. A zero divisor is the handler's to report.
// Where the value area is nearly full the texts are written, and the walk's exact check of the
// value's room applies.
template <Numbers kNumbers>
Status ProgramRun<kNumbers>::text_arithmetic(std::size_t i) {
    const int below = used_ - ctx_.stack[depth_].bytes - ctx_.stack[depth_ - 1].bytes;
    const bool hold = below + kPendingBytes < static_cast<int>(kNodePoolSize);
    // Short operands with a short exact value: the value waits as its units, as they did.
    if (std::int64_t a = 0, b = 0, r = 0;
        hold && short_operand(1, a) && short_operand(0, b) && scaled_arithmetic(code_[i].op, a, b, r)) {
        pop_for(2, kPendingBytes);
        pending_[depth_] = true;
        known_[depth_] = false;
        scaled_[depth_] = r;
        return kOk;
    }
    const Backend& n = backend();
    const std::uint8_t* divisor = number_of(0);
    if (code_[i].op == Op::Div && n.is_zero(divisor)) return call(i);
    if (!hold) write_pending();
    std::uint8_t* value = number_of(1);
    backend_arithmetic(code_[i].op, n)(value, divisor);
    if (hold) {
        pop_for(2, kPendingBytes);
        known_[depth_] = pending_[depth_] = true;
        return kOk;
    }
    const Status status = push_result(2, write_number_backend(ctx_.result, value));
    if (status == kOk) known_[depth_] = true;
    return status;
}

// Values lie one after the other from the value area's start, a literal taking no room, so a
// first operand that is not a literal lies where the value goes.
template <Numbers kNumbers>
Status ProgramRun<kNumbers>::join(std::size_t i) {
    const OperandEntry& a = ctx_.stack[depth_ - 1];
    const OperandEntry& b = ctx_.stack[depth_];
    const char* x = payload_text(a.value);
    const char* y = payload_text(b.value);
    const std::size_t first = std::strlen(x);
    const std::size_t second = std::strlen(y);
    const std::size_t below = used_ - a.bytes - b.bytes;
    std::uint8_t* slot = ctx_.value_area + below;
    const std::size_t size = first + second + 2;
    // A text too long is the handler's to report, a full value area the push's.
    if (first + second > kMaxStringText || below + size >= kNodePoolSize) return call(i);
    end_value_area(ctx_, used_);  // as the walk does before the operator's handler
    // The second text moves first: after a literal first operand it may lie where the first text goes.
    std::memmove(slot + 1 + first, y, second + 1);
    if (a.bytes == 0) std::memcpy(slot + 1, x, first);
    slot[0] = kString;
    pop_for(2, static_cast<std::uint16_t>(size));
    return kOk;
}

template <Numbers kNumbers>
Status ProgramRun<kNumbers>::choose(std::size_t i) {
    if constexpr (kNumbers == Numbers::Text) {
        return call(i);
    } else if constexpr (kNumbers == Numbers::Doubles) {
        const std::uint8_t* chosen = operand(operand(2)[1] != 0 ? 1 : 0);
        return chosen[0] == kNumber ? number_result(3, payload_double(chosen)) : call(i);
    } else {
        // The handler reads the byte after the condition's type, whatever the type; a pending
        // condition has no such byte yet.
        if (pending_[depth_ - 2]) return call(i);
        const int chosen = operand(2)[1] != 0 ? depth_ - 1 : depth_;
        if (!pending_[chosen]) return call_unwritten(i);
        const bool known = known_[chosen];
        const std::int64_t units = scaled_[chosen];
        const int to = depth_ - 2;
        if (known) std::memcpy(numbers_[to], numbers_[chosen], kNumberSize);
        // The chosen operand's room lay above the place it takes, so the place has that room.
        if (!pop_for(3, kPendingBytes)) return kStackFull;
        pending_[to] = true;
        known_[to] = known;
        scaled_[to] = units;
        return kOk;
    }
}

template <Numbers kNumbers>
Status ProgramRun<kNumbers>::call(std::size_t i) {
    if constexpr (kKeepNumbers) write_pending();
    return call_unwritten(i);
}

template <Numbers kNumbers>
Status ProgramRun<kNumbers>::call_unwritten(std::size_t i) {
    const Status status = call_handler(ctx_, code_, i, depth_, used_);
    if (status != kOk) return status;
    return push_result(code_[i].argc, value_size(ctx_.result, kCodeAreaSize));
}

// The value is written from registers to both places: read back from the result area, the
// type byte and payload written apart would stall the load.
template <Numbers kNumbers>
Status ProgramRun<kNumbers>::number_result(int argc, double value) {
    end_value_area(ctx_, used_);  // as the walk does before the operator's handler
    ctx_.result[0] = kNumber;
    std::memcpy(ctx_.result + 1, &value, sizeof value);
    std::uint8_t* slot = pop_for(argc, 9);
    if (!slot) return kStackFull;
    slot[0] = kNumber;
    std::memcpy(slot + 1, &value, sizeof value);
    return kOk;
}

template <Numbers kNumbers>
Status ProgramRun<kNumbers>::logical_result(int argc, bool value) {
    end_value_area(ctx_, used_);
    ctx_.result[0] = kLogical;
    ctx_.result[1] = value ? 1 : 0;
    std::uint8_t* slot = pop_for(argc, 2);
    if (!slot) return kStackFull;
    slot[0] = kLogical;
    slot[1] = value ? 1 : 0;
    return kOk;
}

template <Numbers kNumbers>
std::uint8_t* ProgramRun<kNumbers>::pop_for(int argc, std::uint16_t size) {
    // The decoder made sure the operands are there.
    for (int k = 0; k < argc; ++k) used_ = static_cast<std::uint16_t>(used_ - ctx_.stack[depth_--].bytes);
    if (depth_ >= kMaxOperands || used_ + size >= kNodePoolSize) return nullptr;
    std::uint8_t* slot = ctx_.value_area + used_;
    used_ = static_cast<std::uint16_t>(used_ + size);
    ctx_.stack[++depth_] = OperandEntry{slot, size};
    if constexpr (kKeepNumbers) known_[depth_] = pending_[depth_] = false;
    return slot;
}

template <Numbers kNumbers>
Status ProgramRun<kNumbers>::push_result(int argc, std::uint16_t size) {
    if (size == 0) return kCodeError;
    std::uint8_t* slot = pop_for(argc, size);
    if (!slot) return kStackFull;
    std::memcpy(slot, ctx_.result, size);
    return kOk;
}

template <Numbers kNumbers>
Status ProgramRun<kNumbers>::hand_over(std::size_t i) {
    if constexpr (kKeepNumbers) write_pending();
    ctx_.stack_depth = depth_;
    ctx_.value_used = used_;
    ctx_.current_item = item_before(i);
    return finish_walk(ctx_, length_, code_[i].item, result_);
}

template <Numbers kNumbers>
Status ProgramRun<kNumbers>::run(std::size_t from) {
    for (std::size_t i = from;; ++i) {
        const Instruction& in = code_[i];
        Status status = kOk;
        switch (in.op) {
            case Op::Push:
                ctx_.stack[++depth_] = OperandEntry{ctx_.code_copy + in.item, 0};
                if constexpr (kKeepNumbers) known_[depth_] = pending_[depth_] = false;
                continue;
            case Op::Fetch:
                // The walk's room rule: a value of any size must fit, else it takes its slower route.
                if (used_ + kCodeAreaSize >= kNodePoolSize) {
                    if constexpr (kKeepNumbers) write_pending();
                    if (used_ + kCodeAreaSize >= kNodePoolSize) return hand_over(i);
                }
                status = fetch(i);
                break;
            case Op::Add:
            case Op::Sub:
            case Op::Mul:
            case Op::Div: {
                const std::uint8_t* a = operand(1);
                const std::uint8_t* b = operand(0);
                if constexpr (kKeepNumbers) {
                    if (is_number(1) && is_number(0)) {
                        status = text_arithmetic(i);
                        break;
                    }
                }
                if (in.op == Op::Add && !has_pending(2) && a[0] == kString && is_text(b[0])) {
                    status = join(i);
                    break;
                }
                // Other types and a division by zero are the handlers' to judge.
                if (a[0] != kNumber || b[0] != kNumber || kText ||
                    (in.op == Op::Div && payload_double(b) == 0.0)) {
                    status = call(i);
                    break;
                }
                status = number_result(2, double_arithmetic(in.op, payload_double(a), payload_double(b)));
                break;
            }
            case Op::Neg: {
                // In text-number mode NEG multiplies by -1 through the backend: its handler's work.
                const std::uint8_t* a = operand(0);
                if (a[0] != kNumber || kText) {
                    status = call(i);
                    break;
                }
                status = number_result(1, negated(payload_double(a)));
                break;
            }
            case Op::Eq:
            case Op::Ne:
            case Op::Le:
            case Op::Ge:
            case Op::Lt:
            case Op::Gt: {
                if constexpr (kKeepNumbers) {
                    if (is_number(1) && is_number(0)) {
                        status = logical_result(2, order_holds(in.op, text_order()));
                        break;
                    }
                }
                if (has_pending(2) || !compared_in_place(operand(1), operand(0), kText)) {
                    status = call(i);
                    break;
                }
                status = logical_result(2, order_holds(in.op, order(operand(1), operand(0))));
                break;
            }
            // AND and OR read the byte after each operand's type, whatever the type.
            case Op::And:
                status = has_pending(2) ? call(i) : logical_result(2, operand(1)[1] != 0 && operand(0)[1] != 0);
                break;
            case Op::Or:
                status = has_pending(2) ? call(i) : logical_result(2, operand(1)[1] != 0 || operand(0)[1] != 0);
                break;
            case Op::Not: {
                if constexpr (kKeepNumbers) {
                    if (is_number(0)) {
                        status = logical_result(1, backend().is_zero(number_of(0)) != 0);
                        break;
                    }
                }
                const std::uint8_t* a = operand(0);
                if (a[0] == kLogical) {
                    status = logical_result(1, a[1] == 0);
                } else if (a[0] == kNumber && !kText) {
                    status = logical_result(1, payload_double(a) == 0.0);
                } else {
                    status = call(i);
                }
                break;
            }
            case Op::If:
                status = choose(i);
                break;
            case Op::Call:
                status = call(i);
                break;
            case Op::End:
                ctx_.stack_depth = depth_;
                ctx_.value_used = used_;
                ctx_.current_item = item_before(i);
                if constexpr (kKeepNumbers) {
                    if (pending_[1]) {
                        if (result_) write_pending_number(result_, 1);
                        return kOk;
                    }
                }
                // A value the run produced has its size on record; a literal is measured.
                if (result_ && ctx_.stack[1].bytes != 0) std::memcpy(result_, ctx_.stack[1].value, ctx_.stack[1].bytes);
                else write_result(ctx_.stack[1].value, result_);
                return kOk;
            case Op::Handover:
            case Op::None:
                return hand_over(i);
        }
        if (status != kOk) return status;
    }
}

}  // namespace

Status call_handler(Context& ctx, const Instruction* code, std::size_t i, int depth, std::size_t used) {
    const Instruction& in = code[i];
    const std::uint8_t* args[kMaxArgs];
    // Unrolled by hand for the common counts: a loop here is vectorised for ten arguments.
    const OperandEntry* first = ctx.stack + depth - in.argc + 1;
    switch (in.argc) {
        default:
            for (int k = 3; k < in.argc; ++k) args[k] = first[k].value;
            [[fallthrough]];
        case 3: args[2] = first[2].value; [[fallthrough]];
        case 2: args[1] = first[1].value; [[fallthrough]];
        case 1: args[0] = first[0].value; [[fallthrough]];
        case 0: break;
    }
    ctx.result[0] = static_cast<std::uint8_t>(in.argc);
    ctx.result[1] = 0;
    end_value_area(ctx, used);
    // The aggregates look at the item before the call.
    ctx.current_item = ctx.code_copy + (i ? code[i - 1].item : kCodeHeaderSize);
    return call_record(*function_record(in.index), args, ctx.result, ctx);
}

Status run_program(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    reset_operands(ctx);
    return ProgramRun<Numbers::Text>(ctx, program, result).run(0);
}

Status run_generic(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    --program.generic_runs;
    reset_operands(ctx);
    return resume_program(ctx, program, 0, result);
}

Status resume_program(Context& ctx, const ProgramHeader& program, std::size_t from, std::uint8_t* result) {
    if (!text_numbers()) return ProgramRun<Numbers::Doubles>(ctx, program, result).run(from);
    return ProgramRun<Numbers::KeptText>(ctx, program, result).run(from);
}


}  // namespace fcl
