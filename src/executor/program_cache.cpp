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

// At the start of each bank. `current`, kept in bank 0, is the bank new programs go to.
struct BankHeader {
    std::uint16_t used;
    std::uint8_t current;
    std::uint8_t unused[5];
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

const ProgramHeader* find_in(const std::uint8_t* bank, const std::uint8_t* block, std::size_t length) {
    const std::size_t used = read_header(bank).used;
    const bool text = text_numbers();
    for (std::size_t at = 0; at < used;) {
        const auto* program = std::launder(reinterpret_cast<const ProgramHeader*>(bank + sizeof(BankHeader) + at));
        if (program->block_length == length && program->text_numbers == text &&
            std::memcmp(program->block(), block, length) == 0) return program;
        at += program->size;
    }
    return nullptr;
}

// Decodes the block at the end of bank `which`; null when it does not fit there whole.
const ProgramHeader* append(Context& ctx, unsigned which, std::size_t length, bool accept_cut) {
    std::uint8_t* target = bank(ctx, which);
    BankHeader header = read_header(target);
    bool cut = false;
    std::uint8_t* out = target + sizeof(BankHeader) + header.used;
    const std::size_t size = decode_program(ctx.code_copy, length, out, kEntryRoom - header.used, &cut);
    if (size == 0 || (cut && !accept_cut)) return nullptr;
    header.used = static_cast<std::uint16_t>(header.used + size);
    write_header(target, header);
    return std::launder(reinterpret_cast<const ProgramHeader*>(out));
}

}  // namespace

const ProgramHeader* find_program(Context& ctx, std::size_t length) {
    for (unsigned which = 0; which < 2; ++which)
        if (const ProgramHeader* program = find_in(bank(ctx, which), ctx.code_copy, length)) return program;
    BankHeader first = read_header(ctx.program_bank0);
    if (const ProgramHeader* program = append(ctx, first.current, length, false)) return program;
    // The current bank is full: the other one is emptied and becomes current.
    first.current ^= 1;
    if (first.current == 0) first.used = 0;
    write_header(ctx.program_bank0, first);
    if (first.current == 1) write_header(ctx.program_bank1, BankHeader{});
    return append(ctx, first.current, length, true);
}

void forget_programs(Context& ctx) {
    write_header(ctx.program_bank0, BankHeader{});
    write_header(ctx.program_bank1, BankHeader{});
}

}  // namespace fcl
