// The context's two program banks. Each starts with its fill level; entries follow, each a
// program with the copy of its block. A bank that is full is emptied when its turn comes, so
// a host that runs a handful of formulas alternately on one context keeps all their programs.
#include <cstring>
#include <new>

#include "executor/program.h"
#include "interface/code_format.h"
#include "interface/number_mode.h"

namespace fcl {

namespace {

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
