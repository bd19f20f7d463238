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

namespace fcl {

namespace {

// The comparison handlers' order of two values of one type, number or logical (a NaN equals
// everything).
int order(const std::uint8_t* a, const std::uint8_t* b) {
    if (a[0] == kLogical) return (a[1] != 0) - (b[1] != 0);
    const double x = payload_double(a);
    const double y = payload_double(b);
    return y > x ? -1 : (y < x ? 1 : 0);
}

bool holds(Op op, int order) {
    switch (op) {
        case Op::Eq: return order == 0;
        case Op::Ne: return order != 0;
        case Op::Le: return order <= 0;
        case Op::Ge: return order >= 0;
        case Op::Lt: return order < 0;
        default: return order > 0;
    }
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

double arithmetic(Op op, double a, double b) {
    switch (op) {
        case Op::Add: return a + b;
        case Op::Sub: return a - b;
        case Op::Mul: return a * b;
        default: return a / b;
    }
}

// kKeepNumbers: text-number mode with a backend whose payload text reads back as the number
// written, where each operand that is a number keeps its backend number beside its text, so
// that arithmetic reads no text. (A separate instance, so that double-number runs pay nothing
// for it.)
template <bool kKeepNumbers>
class ProgramRun {
public:
    ProgramRun(Context& ctx, const ProgramHeader& program, std::uint8_t* result)
        : ctx_(ctx), code_(program.instructions()), length_(program.block_length), result_(result) {}

    Status run();

private:
    const std::uint8_t* operand(int below_top) const { return ctx_.stack[depth_ - below_top].value; }
    const std::uint8_t* item_before(std::size_t i) const {
        return ctx_.code_copy + (i ? code_[i - 1].item : kCodeHeaderSize);
    }

    Status fetch(std::size_t i);
    // Text-number arithmetic as its handler does it, on the operands' kept numbers.
    Status text_arithmetic(std::size_t i);
    // The backend number of the operand below_top places under the top, into slot.
    void load_number(int below_top, std::uint8_t* slot) const;
    // The walk's call: argc in the result area, the handler, its operands popped, its value pushed.
    Status call(std::size_t i);
    // An operator's value, written where its handler writes it, then pushed in its operands' place.
    Status number_result(int argc, double value);
    Status logical_result(int argc, bool value);
    Status push_result(int argc, std::uint16_t size);
    // Pops argc operands and claims the value area for a value of size bytes on top, as the
    // walk's push does; null when the stack or the value area is full.
    std::uint8_t* pop_for(int argc, std::uint16_t size);
    Status hand_over(std::size_t i);

    Context& ctx_;
    const Instruction* code_;
    std::size_t length_;
    std::uint8_t* result_;
    std::uint16_t depth_ = 0;
    std::uint16_t used_ = 0;
    // Which entries of numbers_ hold their operand's backend number.
    bool known_[kMaxOperands + 1];
    alignas(4) std::uint8_t numbers_[kMaxOperands + 1][kNumberSize];
};

template <bool kKeepNumbers>
Status ProgramRun<kKeepNumbers>::fetch(std::size_t i) {
    std::uint8_t* slot = ctx_.value_area + used_;
    std::uint16_t size = 0;
    const Status status = fetch_field(ctx_, ctx_.code_copy + code_[i].item, slot, &size);
    if (status != kOk) return status;
    used_ = static_cast<std::uint16_t>(used_ + size);
    ctx_.stack[++depth_] = OperandEntry{slot, size};
    // A number field's conversion leaves its backend number in the scratch.
    if constexpr (kKeepNumbers) {
        known_[depth_] = slot[0] == kNumber;
        if (known_[depth_]) std::memcpy(numbers_[depth_], ctx_.number_scratch, kNumberSize);
    }
    return kOk;
}

template <bool kKeepNumbers>
void ProgramRun<kKeepNumbers>::load_number(int below_top, std::uint8_t* slot) const {
    const int at = depth_ - below_top;
    if (known_[at]) std::memcpy(slot, numbers_[at], kNumberSize);
    else backend().from_str(slot, payload_text(ctx_.stack[at].value));
}

// The scratch slots end as the handler leaves them: the value in the first, the second
// operand in the second. A zero divisor is the handler's to report.
template <bool kKeepNumbers>
Status ProgramRun<kKeepNumbers>::text_arithmetic(std::size_t i) {
    const Backend& n = backend();
    load_number(0, ctx_.number_scratch2);
    if (code_[i].op == Op::Div && n.is_zero(ctx_.number_scratch2)) return call(i);
    load_number(1, ctx_.number_scratch);
    backend_arithmetic(code_[i].op, n)(ctx_.number_scratch, ctx_.number_scratch2);
    const std::uint16_t size = write_number_backend(ctx_.result, ctx_.number_scratch);
    const Status status = push_result(2, size);
    if (status != kOk) return status;
    known_[depth_] = true;
    std::memcpy(numbers_[depth_], ctx_.number_scratch, kNumberSize);
    return kOk;
}

template <bool kKeepNumbers>
Status ProgramRun<kKeepNumbers>::call(std::size_t i) {
    const Instruction& in = code_[i];
    const std::uint8_t* args[kMaxArgs];
    for (int k = 0; k < in.argc; ++k) args[k] = operand(in.argc - 1 - k);
    ctx_.result[0] = static_cast<std::uint8_t>(in.argc);
    ctx_.result[1] = 0;
    ctx_.current_item = item_before(i);  // the aggregates look at the item before the call
    const Status status = function_record(in.index)->handler(args, ctx_.result, ctx_);
    if (status != kOk) return status;
    return push_result(in.argc, value_size(ctx_.result, kCodeAreaSize));
}

// The value is written from registers to both places: read back from the result area, the
// type byte and payload written apart would stall the load.
template <bool kKeepNumbers>
Status ProgramRun<kKeepNumbers>::number_result(int argc, double value) {
    ctx_.result[0] = kNumber;
    std::memcpy(ctx_.result + 1, &value, sizeof value);
    std::uint8_t* slot = pop_for(argc, 9);
    if (!slot) return kStackFull;
    slot[0] = kNumber;
    std::memcpy(slot + 1, &value, sizeof value);
    return kOk;
}

template <bool kKeepNumbers>
Status ProgramRun<kKeepNumbers>::logical_result(int argc, bool value) {
    ctx_.result[0] = kLogical;
    ctx_.result[1] = value ? 1 : 0;
    std::uint8_t* slot = pop_for(argc, 2);
    if (!slot) return kStackFull;
    slot[0] = kLogical;
    slot[1] = value ? 1 : 0;
    return kOk;
}

template <bool kKeepNumbers>
std::uint8_t* ProgramRun<kKeepNumbers>::pop_for(int argc, std::uint16_t size) {
    // The decoder made sure the operands are there.
    for (int k = 0; k < argc; ++k) used_ = static_cast<std::uint16_t>(used_ - ctx_.stack[depth_--].bytes);
    if (depth_ >= kMaxOperands || used_ + size >= kNodePoolSize) return nullptr;
    std::uint8_t* slot = ctx_.value_area + used_;
    used_ = static_cast<std::uint16_t>(used_ + size);
    ctx_.stack[++depth_] = OperandEntry{slot, size};
    if constexpr (kKeepNumbers) known_[depth_] = false;
    return slot;
}

template <bool kKeepNumbers>
Status ProgramRun<kKeepNumbers>::push_result(int argc, std::uint16_t size) {
    if (size == 0) return kCodeError;
    std::uint8_t* slot = pop_for(argc, size);
    if (!slot) return kStackFull;
    std::memcpy(slot, ctx_.result, size);
    return kOk;
}

template <bool kKeepNumbers>
Status ProgramRun<kKeepNumbers>::hand_over(std::size_t i) {
    ctx_.stack_depth = depth_;
    ctx_.value_used = used_;
    ctx_.current_item = item_before(i);
    return finish_walk(ctx_, length_, code_[i].item, result_);
}

template <bool kKeepNumbers>
Status ProgramRun<kKeepNumbers>::run() {
    reset_operands(ctx_);
    for (std::size_t i = 0;; ++i) {
        const Instruction& in = code_[i];
        Status status = kOk;
        switch (in.op) {
            case Op::Push:
                ctx_.stack[++depth_] = OperandEntry{ctx_.code_copy + in.item, 0};
                if constexpr (kKeepNumbers) known_[depth_] = false;
                continue;
            case Op::Fetch:
                // The walk's room rule: a value of any size must fit, else it takes its slower route.
                if (used_ + kCodeAreaSize >= kNodePoolSize) return hand_over(i);
                status = fetch(i);
                break;
            case Op::Add:
            case Op::Sub:
            case Op::Mul:
            case Op::Div: {
                const std::uint8_t* a = operand(1);
                const std::uint8_t* b = operand(0);
                if constexpr (kKeepNumbers) {
                    if (a[0] == kNumber && b[0] == kNumber) {
                        status = text_arithmetic(i);
                        break;
                    }
                }
                // Strings to join, other types and a division by zero are the handlers' to judge.
                if (a[0] != kNumber || b[0] != kNumber || text_numbers() ||
                    (in.op == Op::Div && payload_double(b) == 0.0)) {
                    status = call(i);
                    break;
                }
                status = number_result(2, arithmetic(in.op, payload_double(a), payload_double(b)));
                break;
            }
            case Op::Neg: {
                const std::uint8_t* a = operand(0);
                if (a[0] != kNumber) {
                    status = call(i);
                    break;
                }
                // The sign bit only, as NEG of 0 is -0.0.
                std::uint64_t bits;
                std::memcpy(&bits, a + 1, sizeof bits);
                bits ^= std::uint64_t{1} << 63;
                double negated;
                std::memcpy(&negated, &bits, sizeof negated);
                status = number_result(1, negated);
                break;
            }
            case Op::Eq:
            case Op::Ne:
            case Op::Le:
            case Op::Ge:
            case Op::Lt:
            case Op::Gt: {
                const std::uint8_t* a = operand(1);
                const std::uint8_t* b = operand(0);
                if (a[0] != b[0] || (a[0] != kNumber && a[0] != kLogical)) {
                    status = call(i);
                    break;
                }
                status = logical_result(2, holds(in.op, order(a, b)));
                break;
            }
            case Op::And:
                status = logical_result(2, operand(1)[1] != 0 && operand(0)[1] != 0);
                break;
            case Op::Or:
                status = logical_result(2, operand(1)[1] != 0 || operand(0)[1] != 0);
                break;
            case Op::Not: {
                const std::uint8_t* a = operand(0);
                if (a[0] == kLogical) {
                    status = logical_result(1, a[1] == 0);
                } else if (a[0] == kNumber) {
                    status = logical_result(1, payload_double(a) == 0.0);
                } else {
                    status = call(i);
                }
                break;
            }
            case Op::Call:
                status = call(i);
                break;
            case Op::End:
                ctx_.stack_depth = depth_;
                ctx_.value_used = used_;
                ctx_.current_item = item_before(i);
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

Status run_program(Context& ctx, const ProgramHeader& program, std::uint8_t* result) {
    if (text_numbers() && payload_round_trips()) return ProgramRun<true>(ctx, program, result).run();
    return ProgramRun<false>(ctx, program, result).run();
}

}  // namespace fcl
