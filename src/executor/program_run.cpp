// The run loop: one pass over a program's instructions (program.h), each operator trying its
// own case first and its handler otherwise.
#include <cstring>

#include "executor/program.h"
#include "executor/stack_machine.h"
#include "interface/code_format.h"
#include "interface/values.h"
#include "number/operators.h"
#include "platform/cp932.h"

namespace fcl {

namespace {

using scaled::kNotScaled;

// What an entry of the run's stack is, as bits: a held number, a held logical (with its
// value), in place (a literal in the code copy, or a value in the value area). A literal is in
// place from its push on, and held too when it is a number or a logical; a value in place is
// held as well once an operator has read it. Kinds are 16-bit so that the byte stores of the
// loop need not be taken to change them.
using Kind = std::uint16_t;
constexpr Kind kHeldNumber = 1;
constexpr Kind kHeldTruth = 2;
constexpr Kind kTrue = 4;
constexpr Kind kInPlace = 8;
constexpr Kind kInValueArea = 16;  // in place and taking bytes of the value area: not a literal
constexpr Kind kPlacedValue = kInPlace | kInValueArea;

constexpr Kind truth_kind(bool value) { return value ? kHeldTruth | kTrue : kHeldTruth; }

constexpr std::uint16_t kRawDoubleNumber = (FCL_RAW_DOUBLE << 8) | kNumber;
constexpr std::uint16_t kRawTextNumber = (FCL_RAW_TEXT << 8) | kNumber;
constexpr std::uint16_t kRawByteLogical = (FCL_RAW_U8 << 8) | kLogical;

bool is_text(std::uint8_t type) { return type == kString || type == kTime || type == kDate; }

// Double-number mode: a number is its double.
struct DoubleNumbers {
    using Number = double;
    // The most bytes a held value takes once written out.
    static constexpr std::size_t kMostBytes = 9;
    // A handler's number is held: written out again it is the same nine bytes.
    static constexpr bool kHoldsResults = true;

    static void literal(const ProgramHeader&, const Instruction&, const std::uint8_t* item, Number& n) {
        n = payload_double(item);
    }
    static bool answer(std::uint16_t type_word, const std::uint8_t* raw, Number& n) {
        if (type_word != kRawDoubleNumber) return false;
        std::memcpy(&n, raw, sizeof n);
        return true;
    }
    static void load(const std::uint8_t* value, Number& n) { n = payload_double(value); }
    // False, with nothing changed, where the handler must judge: a division by zero.
    static bool arithmetic(Arithmetic op, Number& a, const Number& b) {
        if (op == Arithmetic::Div && divides_by_zero(b)) return false;
        a = fcl::arithmetic(op, a, b);
        return true;
    }
    static bool negate(Number& a) {
        a = negated(a);
        return true;
    }
    static int order(Number& a, Number& b) { return fcl::order(a, b); }
    static bool is_zero(const Number& a) { return a == 0.0; }
    // IF's copy of a number, in place or not, is its nine bytes.
    static bool chosen_as_held(const Number&, bool) { return true; }
    static std::uint16_t write(std::uint8_t* out, const Number& a) {
        out[0] = kNumber;
        std::memcpy(out + 1, &a, sizeof a);
        return 9;
    }
    // The byte after the type byte, which AND, OR and IF read whatever the type: the double's first.
    static bool first_byte(const Number& a, bool& truth) {
        std::uint8_t bytes[sizeof a];
        std::memcpy(bytes, &a, sizeof a);
        truth = bytes[0] != 0;
        return true;
    }
};

// Text-number mode with a backend whose payload text reads back as the number written: a
// number is held scaled while it is short (scaled_number.h), else as its backend number; its
// text is written only where it is read. The backend is exact, so a short sum, difference,
// product or quotient is the very number the backend gives, and its text is the one
// write_units_backend() writes.
struct DecimalNumbers {
    struct Number {
        std::int64_t units;  // kNotScaled when `bytes` hold the number
        alignas(8) std::uint8_t bytes[kNumberSize];
    };
    // A number held and not in place is short: its text is at most that long.
    static constexpr std::size_t kMostBytes = kUnitsTextSize + 1;
    // A handler's number text stays as the handler wrote it ("07" is not "7").
    static constexpr bool kHoldsResults = false;

    // Read once, when the program was decoded.
    static void literal(const ProgramHeader& program, const Instruction& in, const std::uint8_t*, Number& n) {
        const KeptNumber& kept = program.kept_number(in.kept);
        n.units = kept.scaled;
        if (n.units == kNotScaled) std::memcpy(n.bytes, kept.number, sizeof n.bytes);
    }
    // Short answers only: a longer number is placed as the walk places it.
    static bool answer(std::uint16_t type_word, const std::uint8_t* raw, Number& n) {
        if (type_word == kRawDoubleNumber) {
            double value;
            std::memcpy(&value, raw, sizeof value);
            return scaled::from_double(value, n.units);
        }
        return type_word == kRawTextNumber && scaled::from_text(reinterpret_cast<const char*>(raw), n.units);
    }
    static void load(const std::uint8_t* value, Number& n) {
        if (scaled::from_text(payload_text(value), n.units)) return;
        n.units = kNotScaled;
        backend().from_str(n.bytes, payload_text(value));
    }
    // The number as a backend number from here on.
    static std::uint8_t* unscaled(Number& n) {
        if (n.units != kNotScaled) {
            backend().from_units(n.bytes, n.units);
            n.units = kNotScaled;
        }
        return n.bytes;
    }
    // Done here only where the value is short: a handler's longer number text would have been
    // written into the result area, where the raw buffer of the next request lies.
    static bool arithmetic(Arithmetic op, Number& a, const Number& b) {
        std::int64_t r;
        if (a.units == kNotScaled || b.units == kNotScaled || !fcl::arithmetic(op, a.units, b.units, r)) return false;
        a.units = r;
        return true;
    }
    // NEG multiplies by -1 through the backend: exact on a scaled number; a backend number is
    // the handler's.
    static bool negate(Number& a) {
        if (a.units == kNotScaled) return false;
        a.units = negated(a.units);
        return true;
    }
    static int order(Number& a, Number& b) {
        if (a.units != kNotScaled && b.units != kNotScaled) return fcl::order(a.units, b.units);
        return backend().comp(unscaled(a), unscaled(b));
    }
    static bool is_zero(const Number& a) {
        return a.units != kNotScaled ? a.units == 0 : backend().is_zero(a.bytes) != 0;
    }
    // IF's handler copies the text in place, which need not be the held number's own ("1.50");
    // a short number's text fits where a handler's copy would have gone.
    static bool chosen_as_held(const Number& a, bool in_place) { return !in_place && a.units != kNotScaled; }
    static std::uint16_t write(std::uint8_t* out, const Number& a) {
        return a.units == kNotScaled ? write_number_backend(out, a.bytes) : write_units_backend(out, a.units);
    }
    // A held number's text is not written yet.
    static bool first_byte(const Number&, bool&) { return false; }
};

// The depth of the run's stack and the value area bytes its entries in place take, which the
// loop keeps in registers and hands to its slow paths and back.
struct Top {
    int depth;
    std::uint32_t used;
};
struct Step {
    Status status;
    Top top;
};

template <class Numbers>
class Run {
public:
    using Number = typename Numbers::Number;

    Run(Context& ctx, const ProgramHeader& program, std::uint8_t* result)
        : ctx_(ctx), program_(program), result_(result) {}

    Status run();

private:
    // Below this many bytes of the value area in use, any value held on top, or any answer a
    // fetch places, surely fits where the walk would push it, whatever the entries not in
    // place take once written out.
    static constexpr std::size_t kRoomy = kNodePoolSize - kOperandSlots * Numbers::kMostBytes - kCodeAreaSize;
    static_assert(kOperandSlots * Numbers::kMostBytes + kCodeAreaSize < kNodePoolSize);

    const std::uint8_t* item_before(const Instruction* in) const {
        return ctx_.code_copy + (in != program_.instructions() ? in[-1].item : kCodeHeaderSize);
    }

    // The entries' kinds and held numbers: a local of run(), so that the loop reaches them
    // by its own stack pointer.
    struct Held {
        Kind kind[kOperandSlots];
        Number number[kOperandSlots];
    };

    // Writes the entries not in place out where the walk keeps them; returns the bytes in use.
    std::uint32_t write_out(Held& held, Top top);
    [[gnu::noinline]] Status walk_from(Held& held, const Instruction* in, Top top);
    // The instruction's handler, its value pushed as the walk pushes it.
    [[gnu::noinline]] Step call(Held& held, const Instruction* in, Top top);
    // An answer the loop does not hold, converted where the walk puts it.
    [[gnu::noinline]] Step place_answer(Held& held, std::uint16_t type_word, Top top);
    // A fetch near a full value area.
    [[gnu::noinline]] Step fetch_exactly(Held& held, const Instruction* in, Top top);
    Status finish(const Held& held);

    Context& ctx_;
    const ProgramHeader& program_;
    std::uint8_t* result_;
};

// Every entry that takes bytes lies below every entry not in place, so each of those, written
// out in order, goes where the walk would have pushed it.
template <class Numbers>
std::uint32_t Run<Numbers>::write_out(Held& held, Top top) {
    for (int d = 1; d <= top.depth; ++d) {
        if (held.kind[d] & kInPlace) continue;
        std::uint8_t* place = ctx_.value_area + top.used;
        std::uint16_t bytes = 2;
        if (held.kind[d] & kHeldNumber) {
            bytes = Numbers::write(place, held.number[d]);
        } else {
            place[0] = kLogical;
            place[1] = held.kind[d] & kTrue ? 1 : 0;
        }
        ctx_.stack[d] = OperandEntry{place, bytes};
        top.used += bytes;
        held.kind[d] |= kPlacedValue;
    }
    ctx_.stack_depth = static_cast<std::uint16_t>(top.depth);
    ctx_.value_used = static_cast<std::uint16_t>(top.used);
    return top.used;
}

template <class Numbers>
Status Run<Numbers>::walk_from(Held& held, const Instruction* in, Top top) {
    write_out(held, top);
    ctx_.current_item = item_before(in);
    return finish_walk(ctx_, program_.block_length, in->item, result_);
}

template <class Numbers>
Step Run<Numbers>::call(Held& held, const Instruction* in, Top top) {
    top.used = write_out(held, top);
    if (const Status status = call_handler(ctx_, in->index, in->argc, item_before(in)); status != kOk)
        return {status, top};
    for (int k = 0; k < in->argc; ++k) top.used -= ctx_.stack[top.depth--].bytes;
    // A double or a logical is held: written out, it is the same bytes in the same place.
    const std::uint8_t* given = ctx_.result;
    const bool held_number = Numbers::kHoldsResults && given[0] == kNumber;
    const bool held_truth = given[0] == kLogical && given[1] <= 1;
    const std::uint16_t size = held_number ? 9 : held_truth ? 2 : value_size(given, kCodeAreaSize);
    if (size == 0) return {kCodeError, top};
    if (top.depth >= kMaxOperands || top.used + size >= kNodePoolSize) return {kStackFull, top};
    const int d = ++top.depth;
    if (held_number) {
        Numbers::load(given, held.number[d]);
        held.kind[d] = kHeldNumber;
    } else if (held_truth) {
        held.kind[d] = truth_kind(given[1] != 0);
    } else {
        std::uint8_t* slot = ctx_.value_area + top.used;
        std::memcpy(slot, given, size);
        ctx_.stack[d] = OperandEntry{slot, size};
        top.used += size;
        held.kind[d] = kPlacedValue;
    }
    return {kOk, top};
}

template <class Numbers>
Step Run<Numbers>::place_answer(Held& held, std::uint16_t type_word, Top top) {
    top.used = write_out(held, top);
    std::uint8_t* slot = ctx_.value_area + top.used;
    std::uint16_t size = 0;
    if (const Status status = convert_field_answer(ctx_, type_word, slot, &size); status != kOk)
        return {status, top};
    const int d = ++top.depth;
    ctx_.stack[d] = OperandEntry{slot, size};
    top.used += size;
    held.kind[d] = kPlacedValue;
    return {kOk, top};
}

// The walk's room rule: a value of any size must fit, else it takes its slower route.
template <class Numbers>
Step Run<Numbers>::fetch_exactly(Held& held, const Instruction* in, Top top) {
    top.used = write_out(held, top);
    if (top.used + kCodeAreaSize >= kNodePoolSize) return {walk_from(held, in, top), top};
    std::uint16_t type_word = 0;
    if (const Status status = ask_for_field(ctx_, ctx_.callback, ctx_.code_copy + in->item, &type_word);
        status != kOk)
        return {status, top};
    return place_answer(held, type_word, top);
}

template <class Numbers>
Status Run<Numbers>::finish(const Held& held) {
    if (!result_) return kOk;
    if (held.kind[1] & kInPlace) {
        // A value pushed has its size on record; a literal is measured.
        const OperandEntry& entry = ctx_.stack[1];
        if (entry.bytes != 0) std::memcpy(result_, entry.value, entry.bytes);
        else write_result(entry.value, result_);
    } else if (held.kind[1] & kHeldNumber) {
        Numbers::write(result_, held.number[1]);
    } else {
        result_[0] = kLogical;
        result_[1] = held.kind[1] & kTrue ? 1 : 0;
    }
    return kOk;
}

template <class Numbers>
Status Run<Numbers>::run() {
    // Locals, not members: nothing the loop stores can be taken to change them.
    Context& ctx = ctx_;
    OperandEntry* const stack = ctx.stack;
    Held held;
    Kind* const kind = held.kind;
    Number* const number = held.number;
    const ProgramHeader& program = program_;
    Top top{0, 0};
    int& depth = top.depth;
    reset_operands(ctx);

    // The helpers below are inlined into the loop, so that the depth and the bytes in use stay in
    // registers. Whether entry d is a number (or a logical), held from here on.
    const auto number_at = [&](int d) __attribute__((always_inline)) {
        if (kind[d] & kHeldNumber) return true;
        if (!(kind[d] & kInPlace) || stack[d].value[0] != kNumber) return false;
        Numbers::load(stack[d].value, number[d]);
        kind[d] |= kHeldNumber;
        return true;
    };
    const auto truth_at = [&](int d) __attribute__((always_inline)) {
        if (kind[d] & kHeldTruth) return true;
        if (!(kind[d] & kInPlace) || stack[d].value[0] != kLogical) return false;
        kind[d] |= truth_kind(stack[d].value[1] != 0);
        return true;
    };
    // The byte after entry d's type byte, which AND, OR and IF's handlers read whatever the type.
    const auto first_byte = [&](int d, bool& truth) __attribute__((always_inline)) {
        if (kind[d] & kHeldTruth) truth = kind[d] & kTrue;
        else if (kind[d] & kInPlace) truth = stack[d].value[1] != 0;
        else return Numbers::first_byte(number[d], truth);
        return true;
    };
    // Replaces the top argc entries by a held value of `given` kind in the lowest of them (whose
    // number, for a number, is there already). Entries in place give back their bytes.
    const auto replace = [&](int argc, Kind given) __attribute__((always_inline)) {
        const int at = depth - argc + 1;
        Kind any = kind[depth];
        for (int d = at; d < depth; ++d) any |= kind[d];
        if (any & kInValueArea) [[unlikely]]
            for (int d = at; d <= depth; ++d)
                if (kind[d] & kInValueArea) top.used -= stack[d].bytes;
        depth = at;
        kind[at] = given;
    };
    const auto roomy = [&]() __attribute__((always_inline)) { return top.used < kRoomy; };

    const auto arithmetic = [&](Arithmetic op) __attribute__((always_inline)) {
        const int a = depth - 1;
        const bool both = (kind[a] & kind[depth] & kHeldNumber) || (number_at(a) && number_at(depth));
        if (!roomy() || !both) return false;
        const bool done = Numbers::arithmetic(op, number[a], number[depth]);
        if (done) replace(2, kHeldNumber);
        return done;
    };
    const auto compare = [&](Comparison op) __attribute__((always_inline)) {
        const int a = depth - 1;
        const int b = depth;
        int order = 0;
        if (!roomy()) return false;
        if ((kind[a] & kind[b] & kHeldNumber) || (number_at(a) && number_at(b))) {
            order = Numbers::order(number[a], number[b]);
        } else if (truth_at(a) && truth_at(b)) {
            order = fcl::order(static_cast<bool>(kind[a] & kTrue), static_cast<bool>(kind[b] & kTrue));
        } else if ((kind[a] & kind[b] & kInPlace) && is_text(stack[a].value[0]) && is_text(stack[b].value[0])) {
            order = cp932::compare(payload_text(stack[a].value), payload_text(stack[b].value));
        } else {
            return false;
        }
        replace(2, truth_kind(order_holds(op, order)));
        return true;
    };
    const auto both = [&](bool either) __attribute__((always_inline)) {
        bool x = false;
        bool y = false;
        if (!roomy() || !first_byte(depth - 1, x) || !first_byte(depth, y)) return false;
        replace(2, truth_kind(either ? x || y : x && y));
        return true;
    };
    const auto negate = [&]() __attribute__((always_inline)) {
        if (!roomy() || !number_at(depth) || !Numbers::negate(number[depth])) return false;
        replace(1, kHeldNumber);
        return true;
    };
    const auto negate_truth = [&]() __attribute__((always_inline)) {
        bool value = false;
        if (!roomy()) return false;
        if (truth_at(depth)) value = !(kind[depth] & kTrue);
        else if (number_at(depth)) value = Numbers::is_zero(number[depth]);
        else return false;
        replace(1, truth_kind(value));
        return true;
    };
    // IF gives a copy of the value it chooses: done here where the chosen value is held and its
    // written form is that copy.
    const auto choose = [&]() __attribute__((always_inline)) {
        const int condition = depth - 2;
        bool holds = false;
        if (!roomy() || !first_byte(condition, holds)) return false;
        const int chosen = holds ? depth - 1 : depth;
        const Kind k = kind[chosen];
        if ((k & kHeldNumber) && Numbers::chosen_as_held(number[chosen], k & kInPlace)) {
            std::memcpy(&number[condition], &number[chosen], sizeof(Number));
            replace(3, kHeldNumber);
        } else if ((k & kHeldTruth) && !(k & kInPlace)) {
            replace(3, k);
        } else {
            return false;
        }
        return true;
    };

    // Each instruction ends in its own jump to the next one's code, as the label table says (a
    // jump a predictor can learn per instruction, where one shared jump would keep missing).
    static const void* const kTargets[] = {
#define FCL_TARGET(name) &&run_##name,
        FCL_INSTRUCTION_LIST(FCL_TARGET)
#undef FCL_TARGET
    };
#define FCL_DISPATCH() goto* kTargets[static_cast<std::uint8_t>(in->op)]
#define FCL_NEXT() \
    do {           \
        ++in;      \
        FCL_DISPATCH(); \
    } while (false)
    const Instruction* in = program.instructions();
    Step step{kOk, top};
    FCL_DISPATCH();

run_Push: {
    const std::uint8_t* item = ctx.code_copy + in->item;
    const int d = ++depth;
    stack[d] = OperandEntry{item, 0};
    if (item[0] == kNumber) {
        Numbers::literal(program, *in, item, number[d]);
        kind[d] = kInPlace | kHeldNumber;
    } else {
        kind[d] = item[0] == kLogical ? kInPlace | truth_kind(item[1] != 0) : kInPlace;
    }
    FCL_NEXT();
}
run_Fetch: {
    if (!roomy()) {
        step = fetch_exactly(held, in, top);
        goto stepped;
    }
    std::uint16_t type_word = 0;
    if (const Status status = ask_for_field(ctx, ctx.callback, ctx.code_copy + in->item, &type_word); status != kOk)
        return status;
    const std::uint8_t* raw = ctx.result + kRawBufferOffset;
    const int d = depth + 1;
    if (Numbers::answer(type_word, raw, number[d])) {
        kind[d] = kHeldNumber;
    } else if (type_word == kRawByteLogical) {
        kind[d] = truth_kind(raw[0] != 0);
    } else {
        step = place_answer(held, type_word, top);
        goto stepped;
    }
    depth = d;
    FCL_NEXT();
}
run_Add: if (arithmetic(Arithmetic::Add)) FCL_NEXT(); goto run_Call;
run_Sub: if (arithmetic(Arithmetic::Sub)) FCL_NEXT(); goto run_Call;
run_Mul: if (arithmetic(Arithmetic::Mul)) FCL_NEXT(); goto run_Call;
run_Div: if (arithmetic(Arithmetic::Div)) FCL_NEXT(); goto run_Call;
run_Neg: if (negate()) FCL_NEXT(); goto run_Call;
run_Eq: if (compare(Comparison::Eq)) FCL_NEXT(); goto run_Call;
run_Ne: if (compare(Comparison::Ne)) FCL_NEXT(); goto run_Call;
run_Le: if (compare(Comparison::Le)) FCL_NEXT(); goto run_Call;
run_Ge: if (compare(Comparison::Ge)) FCL_NEXT(); goto run_Call;
run_Lt: if (compare(Comparison::Lt)) FCL_NEXT(); goto run_Call;
run_Gt: if (compare(Comparison::Gt)) FCL_NEXT(); goto run_Call;
run_And: if (both(false)) FCL_NEXT(); goto run_Call;
run_Or: if (both(true)) FCL_NEXT(); goto run_Call;
run_Not: if (negate_truth()) FCL_NEXT(); goto run_Call;
run_If: if (choose()) FCL_NEXT(); goto run_Call;
// The operator's own case does not apply, or the instruction is a call: its handler.
run_Call:
    step = call(held, in, top);
stepped:
    if (step.status != kOk) return step.status;
    top = step.top;
    FCL_NEXT();
run_End:
    return finish(held);
run_Walk:
    return walk_from(held, in, top);
#undef FCL_NEXT
#undef FCL_DISPATCH
}

}  // namespace

Status run_program(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    if (!text_numbers()) return Run<DoubleNumbers>(ctx, program, result).run();
    return Run<DecimalNumbers>(ctx, program, result).run();
}

}  // namespace fcl
