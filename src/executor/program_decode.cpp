// Decoding a compiled formula into a program: one instruction an item, in item order, then the
// End or Handover that says how the run finishes.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string_view>

#include "executor/program.h"
#include "executor/walk.h"
#include "functions/function_table.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "number/scaled_number.h"

namespace fcl {

namespace {

// The operators a program does in place: on double-number operands, on logicals, and in
// text-number mode on kept backend numbers.
struct InPlace {
    std::string_view name;
    Op op;
};
constexpr InPlace kInPlace[] = {
    {"AND", Op::And}, {"OR", Op::Or},   {"EQ", Op::Eq},   {"NE", Op::Ne},   {"LE", Op::Le},
    {"GE", Op::Ge},   {"LT", Op::Lt},   {"GT", Op::Gt},   {"ADD", Op::Add}, {"SUB", Op::Sub},
    {"MUL", Op::Mul}, {"DIV", Op::Div}, {"NEG", Op::Neg}, {"NOT", Op::Not}, {"IF", Op::If},
};

consteval std::array<Op, kFunctionCount + 1> in_place_ops() {
    std::array<Op, kFunctionCount + 1> ops{};
    for (unsigned index = 1; index <= kFunctionCount; ++index) {
        ops[index] = Op::Call;
        for (const InPlace& in_place : kInPlace)
            if (kFunctionNames[index - 1] == in_place.name) ops[index] = in_place.op;
    }
    return ops;
}
constexpr std::array<Op, kFunctionCount + 1> kOpOfRecord = in_place_ops();

// The instruction for the item at pos, with the stack depth before it; Op::None where the walk
// stops with a failure: a full stack (after asking the host, for a reference), an unknown
// function, a call without its arguments.
Instruction decode_item(const std::uint8_t* item, std::size_t pos, int depth) {
    Instruction in{};
    in.item = static_cast<std::uint16_t>(pos);
    if (item[0] == kFunctionCall) {
        const FunctionRecord* record = function_record(item[1]);
        if (!record || record->argc > depth) return in;
        in.op = kOpOfRecord[item[1]];
        in.index = item[1];
        static_assert(kMaxArgs <= 255);
        in.argc = static_cast<std::uint8_t>(record->argc);
        return in;
    }
    if (depth < kMaxOperands) in.op = item[0] == kFieldRef || item[0] == kNameRef ? Op::Fetch : Op::Push;
    return in;
}

// A number literal as the run holds it: its backend number, and its scaled number where the
// backend makes the very same bytes of that.
KeptNumber keep_literal(const char* text) {
    KeptNumber kept{kNotScaled, {}};
    const Backend& b = backend();
    b.from_str(kept.number, text);
    std::int64_t s = 0;
    if (!scaled::from_text(text, s)) return kept;
    alignas(8) std::uint8_t number[kNumberSize] = {};
    b.from_units(number, s);
    if (std::memcmp(number, kept.number, static_cast<std::size_t>(b.size)) == 0) kept.scaled = s;
    return kept;
}

}  // namespace

std::size_t decode_program(const std::uint8_t* block, std::size_t length, std::uint8_t* out, std::size_t room,
                           bool* cut) {
    *cut = false;
    const bool text = text_numbers();
    // Where the run holds backend numbers, number literals are read once, here: every number
    // literal's Push keeps its number (a program without room for it is cut before it).
    const bool keep_literals = text && backend().payload_round_trips;
    // Room for `count` instructions and `kept` numbers.
    const auto fits = [&](std::size_t count, std::size_t kept) {
        return ProgramHeader::kept_numbers_at(count, length) + kept * sizeof(KeptNumber) <= room && kept <= kMostKept;
    };
    if (!fits(1, 0)) return 0;
    auto* code = reinterpret_cast<Instruction*>(out + sizeof(ProgramHeader));
    std::size_t count = 0;
    std::size_t kept = 0;
    std::size_t pos = kCodeHeaderSize;
    int depth = 0;
    bool whole = true;
    while (pos < length && is_item_kind(block[pos])) {
        const std::uint16_t size = value_size(block + pos, length - pos);
        Instruction in = size ? decode_item(block + pos, pos, depth) : Instruction{};
        const bool keeps = keep_literals && in.op == Op::Push && block[pos] == kNumber;
        if (in.op == Op::None || !fits(count + 2, kept + keeps)) {
            *cut = in.op != Op::None;
            whole = false;
            break;
        }
        if (keeps) in.kept = static_cast<std::uint8_t>(++kept);
        new (code + count++) Instruction(in);
        depth += in.op == Op::Push || in.op == Op::Fetch ? 1 : 1 - in.argc;
        pos += size;
    }
    Instruction last{};
    last.item = static_cast<std::uint16_t>(pos);
    last.op = whole && depth == 1 ? Op::End : Op::Handover;
    new (code + count++) Instruction(last);
    std::memcpy(out + sizeof(ProgramHeader) + count * sizeof(Instruction), block, length);
    const std::size_t kept_at = ProgramHeader::kept_numbers_at(count, length);  // where kept_number looks
    auto* numbers = reinterpret_cast<KeptNumber*>(out + kept_at);
    for (std::size_t i = 0; i < count; ++i)
        if (code[i].kept) new (numbers + code[i].kept - 1) KeptNumber(keep_literal(payload_text(block + code[i].item)));
    std::size_t size = kept_at + kept * sizeof(KeptNumber);
    // A program that runs to End may have a plan, after everything else: in text-number mode
    // only where the run holds numbers scaled and every number literal is held so.
    std::size_t steps = 0;
    const auto scaled = [&](const Instruction& in) { return !in.kept || numbers[in.kept - 1].scaled != kNotScaled; };
    if (last.op == Op::End && (!text || (keep_literals && std::all_of(code, code + count, scaled)))) {
        const std::size_t most = std::min<std::size_t>((room - size) / sizeof(PlanStep), 255);
        steps = plan_program(code, count, block, reinterpret_cast<PlanStep*>(out + size), most);
    }
    size += round_up8(steps * sizeof(PlanStep));
    new (out) ProgramHeader{static_cast<std::uint16_t>(size), static_cast<std::uint16_t>(length),
                            static_cast<std::uint16_t>(count), numbers_key(), static_cast<std::uint8_t>(steps), 0};
    return size;
}

}  // namespace fcl
