// Programs (program.h): decoding a block into one, and the context's two program banks that
// keep them. Each bank starts with its fill level; entries follow, each a program with the copy
// of its block. A bank that is full is emptied when its turn comes, so a host that runs a
// handful of formulas alternately on one context keeps all their programs.
#include <array>
#include <cstring>
#include <new>
#include <string_view>

#include "executor/program.h"
#include "executor/stack_machine.h"
#include "functions/function_table.h"
#include "functions/operator_list.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"
#include "interface/values.h"
#include "number/backend.h"
#include "number/scaled_number.h"

namespace fcl {

namespace {

using scaled::kNotScaled;

// The instruction of each function record: an operator's from the operator list, IF's own,
// Call for every other function.
struct RecordOp {
    std::string_view name;
    Op op;
};
#define FCL_RECORD_OP(kind, precedence, flag, record, instruction, ...) {#record, Op::instruction},
constexpr RecordOp kRecordOps[] = {FCL_OPERATOR_LIST(FCL_RECORD_OP) {"IF", Op::If}};
#undef FCL_RECORD_OP

consteval std::array<Op, kFunctionCount + 1> record_ops() {
    std::array<Op, kFunctionCount + 1> ops{};
    for (unsigned index = 1; index <= kFunctionCount; ++index) {
        ops[index] = Op::Call;
        for (const RecordOp& record : kRecordOps)
            if (kFunctionNames[index - 1] == record.name) ops[index] = record.op;
    }
    return ops;
}
constexpr std::array<Op, kFunctionCount + 1> kOpOfRecord = record_ops();

// The instruction for the item at pos, with the stack depth before it; Walk where the walk
// stops with a failure: a full stack (after asking the host, for a reference), an unknown
// function, a call without its arguments.
Instruction decode_item(const std::uint8_t* item, std::size_t pos, int depth) {
    Instruction in{};
    in.item = static_cast<std::uint16_t>(pos);
    in.op = Op::Walk;
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

// Decodes a block of length bytes, for the current number encoding, into an entry at out
// (8-aligned) of at most room bytes. Returns the entry's size, 0 when not even a single Walk
// fits; *cut is set when the program stops early for want of room.
std::size_t decode_program(const std::uint8_t* block, std::size_t length, std::uint8_t* out, std::size_t room,
                           bool* cut) {
    *cut = false;
    // In text-number mode number literals are read once, here: every number literal's Push
    // keeps its number (a program without room for it is cut before it).
    const bool keep_literals = text_numbers();
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
        Instruction in = size ? decode_item(block + pos, pos, depth) : Instruction{0, Op::Walk, 0, 0, 0};
        const bool keeps = keep_literals && in.op == Op::Push && block[pos] == kNumber;
        if (in.op == Op::Walk || !fits(count + 2, kept + keeps)) {
            *cut = in.op != Op::Walk;
            whole = false;
            break;
        }
        if (keeps) in.kept = static_cast<std::uint8_t>(++kept);
        new (code + count++) Instruction(in);
        depth += in.op == Op::Push || in.op == Op::Fetch ? 1 : 1 - in.argc;
        pos += size;
    }
    const Op last = whole && depth == 1 ? Op::End : Op::Walk;
    new (code + count++) Instruction{static_cast<std::uint16_t>(pos), last, 0, 0, 0};
    std::memcpy(out + sizeof(ProgramHeader) + count * sizeof(Instruction), block, length);
    const std::size_t kept_at = ProgramHeader::kept_numbers_at(count, length);  // where kept_number looks
    auto* numbers = reinterpret_cast<KeptNumber*>(out + kept_at);
    for (std::size_t i = 0; i < count; ++i)
        if (code[i].kept) new (numbers + code[i].kept - 1) KeptNumber(keep_literal(payload_text(block + code[i].item)));
    const std::size_t size = kept_at + kept * sizeof(KeptNumber);
    new (out) ProgramHeader{static_cast<std::uint16_t>(size), static_cast<std::uint16_t>(length),
                            static_cast<std::uint16_t>(count), numbers_key(), 0};
    return size;
}


// At the start of each bank. `current`, kept in bank 0, is the bank new programs go to; `last`
// and `last_bank`, also kept in bank 0, say where the program found last starts (offset + 1 in
// its bank's entries; 0 for none). Entries are only appended, so the place stays good until
// its bank is emptied.
struct BankHeader {
    std::uint16_t used;
    std::uint8_t current;
    std::uint8_t last_bank;
    std::uint16_t last;
    std::uint8_t unused[2];
};
static_assert(sizeof(BankHeader) == 8);
constexpr std::size_t kEntryRoom = kProgramBankSize - sizeof(BankHeader);

std::uint8_t* bank(Context& ctx, unsigned which) { return which ? ctx.program_bank1 : ctx.program_bank0; }

// A zero-filled context (a new handle, FCLCOMPILE's cleared context) holds empty banks.
BankHeader read_header(const std::uint8_t* bank) {
    BankHeader header;
    std::memcpy(&header, bank, sizeof header);
    return header;
}

void write_header(std::uint8_t* bank, const BankHeader& header) { std::memcpy(bank, &header, sizeof header); }

const ProgramHeader* entry_at(const std::uint8_t* bank, std::size_t at) {
    return std::launder(reinterpret_cast<const ProgramHeader*>(bank + sizeof(BankHeader) + at));
}

bool is_program_of(const ProgramHeader& program, const std::uint8_t* block, std::size_t length) {
    return program.block_length == length && program.numbers == numbers_key() &&
           std::memcmp(program.block(), block, length) == 0;
}

// The offset of the program of block in bank, or -1.
std::ptrdiff_t find_in(const std::uint8_t* bank, const std::uint8_t* block, std::size_t length) {
    const std::size_t used = read_header(bank).used;
    for (std::size_t at = 0; at < used; at += entry_at(bank, at)->size)
        if (is_program_of(*entry_at(bank, at), block, length)) return static_cast<std::ptrdiff_t>(at);
    return -1;
}

const ProgramHeader* remember(Context& ctx, unsigned which, std::size_t at) {
    BankHeader first = read_header(ctx.program_bank0);
    first.last_bank = static_cast<std::uint8_t>(which);
    first.last = static_cast<std::uint16_t>(at + 1);
    write_header(ctx.program_bank0, first);
    return entry_at(bank(ctx, which), at);
}

// Decodes the block at the end of bank `which`; null when it does not fit there whole.
const ProgramHeader* append(Context& ctx, unsigned which, std::size_t length, bool accept_cut) {
    std::uint8_t* target = bank(ctx, which);
    BankHeader header = read_header(target);
    bool cut = false;
    const std::size_t at = header.used;
    const std::size_t size = decode_program(ctx.code_copy, length, target + sizeof(BankHeader) + at,
                                            kEntryRoom - at, &cut);
    if (size == 0 || (cut && !accept_cut)) return nullptr;
    header.used = static_cast<std::uint16_t>(header.used + size);
    write_header(target, header);
    return remember(ctx, which, at);
}

// Tells whether length bytes of block equal kept and, with an `out`, copies them there in the
// same pass: the copy and the comparison of a run's block cost about what either costs alone.
// A step is one Chunk, the last step overlapping the one before; a vector type, so that a
// 16-byte step is one load (and one store) and one comparison.
template <class Chunk>
[[gnu::always_inline]] inline bool compare_by(std::uint8_t* __restrict out, const std::uint8_t* __restrict block,
                                              const std::uint8_t* __restrict kept, std::size_t length) {
    constexpr std::size_t kStep = sizeof(Chunk);
    Chunk differ{};
    const auto step = [&](std::size_t at) {
        Chunk word;
        Chunk other;
        std::memcpy(&word, block + at, kStep);
        std::memcpy(&other, kept + at, kStep);
        if (out) std::memcpy(out + at, &word, kStep);
        differ |= word ^ other;
    };
    // Most formulas take at most two steps: those without the loop.
    if (length > 2 * kStep) {
        for (std::size_t at = 0; at + kStep < length; at += kStep) step(at);
    } else if (length > kStep) {
        step(0);
    }
    step(length - kStep);
    std::uint64_t words[kStep >= 8 ? kStep / 8 : 1] = {};
    std::memcpy(words, &differ, kStep);
    std::uint64_t any = 0;
    for (const std::uint64_t word : words) any |= word;
    return any == 0;
}

using Chunk16 [[gnu::vector_size(16)]] = std::uint64_t;

// Every block a run takes is longer than its header, so at least four bytes long.
static_assert(kCodeHeaderSize >= 4);
[[gnu::always_inline]] inline bool compare(std::uint8_t* __restrict out, const std::uint8_t* __restrict block,
                                           const std::uint8_t* __restrict kept, std::size_t length) {
    if (length >= 16) return compare_by<Chunk16>(out, block, kept, length);
    if (length >= 8) return compare_by<std::uint64_t>(out, block, kept, length);
    return compare_by<std::uint32_t>(out, block, kept, length);
}

// The program of the block already in ctx.code_copy, found in the banks or decoded there.
const ProgramHeader* find_program(Context& ctx, std::size_t length) {
    BankHeader first = read_header(ctx.program_bank0);
    for (unsigned which = 0; which < 2; ++which) {
        const std::ptrdiff_t at = find_in(bank(ctx, which), ctx.code_copy, length);
        if (at >= 0) return remember(ctx, which, static_cast<std::size_t>(at));
    }
    if (const ProgramHeader* program = append(ctx, first.current, length, false)) return program;
    // The current bank is full: the other one is emptied and becomes current.
    first = read_header(ctx.program_bank0);
    first.current ^= 1;
    first.last = 0;
    if (first.current == 0) first.used = 0;
    write_header(ctx.program_bank0, first);
    if (first.current == 1) write_header(ctx.program_bank1, BankHeader{});
    return append(ctx, first.current, length, true);
}

// The rest of take_program, once the program found last is not the block's: the one after it
// in its bank (a host that runs several formulas in turn), then a search of both banks. Kept
// apart so that the common case saves no registers for it.
[[gnu::noinline]] const ProgramHeader* take_program_searching(Context& ctx, const std::uint8_t* block,
                                                              std::size_t length) {
    const BankHeader first = read_header(ctx.program_bank0);
    if (first.last != 0) {
        const std::uint8_t* home = bank(ctx, first.last_bank);
        const std::size_t next = first.last - 1u + entry_at(home, first.last - 1u)->size;
        const ProgramHeader* program = next < read_header(home).used ? entry_at(home, next) : nullptr;
        if (program && program->block_length == length && program->numbers == numbers_key()) {
            if (compare(ctx.code_copy, block, program->block(), length))
                return remember(ctx, first.last_bank, next);
            return find_program(ctx, length);
        }
    }
    std::memcpy(ctx.code_copy, block, length);
    return find_program(ctx, length);
}

}  // namespace

// First guess: the program found last, for a host that runs one formula over and over. Its
// block is still the one in ctx.code_copy (each run leaves its program's block there, and a
// compile, which writes over it, drops every program), so the same block again needs no copy.
const ProgramHeader* take_program(Context& ctx, const std::uint8_t* block, std::size_t length) {
    const BankHeader first = read_header(ctx.program_bank0);
    if (first.last != 0) {
        const ProgramHeader* last = entry_at(bank(ctx, first.last_bank), first.last - 1u);
        if (last->block_length == length && last->numbers == numbers_key() &&
            compare(nullptr, block, ctx.code_copy, length))
            return last;
    }
    return take_program_searching(ctx, block, length);
}

void forget_programs(Context& ctx) {
    write_header(ctx.program_bank0, BankHeader{});
    write_header(ctx.program_bank1, BankHeader{});
}

}  // namespace fcl
