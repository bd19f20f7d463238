#include "functions/aggregate_cells.h"

#include <cstring>

#include "interface/number_mode.h"
#include "interface/types.h"
#include "interface/values.h"
#include "number/backend.h"

namespace fcl {

namespace {

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

// A count in text-number mode is written as the whole number it is (digits 0).
void write_count(std::uint8_t* result, double count, Context& ctx) {
    if (!text_numbers()) {
        write_number_double(result, count);
        return;
    }
    backend().from_dbl(ctx.number_scratch, count);
    char text[kNumberTextSize];
    backend().to_str(ctx.number_scratch, text, sizeof text, kStyleFull, 0);
    result[0] = kNumber;
    std::size_t length = std::strlen(text);
    if (length > kMaxStringText) length = kMaxStringText;
    std::memcpy(result + 1, text, length);
    result[length + 1] = 0;
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

}  // namespace

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
        double x;
        std::memcpy(&x, value + 1, sizeof x);
        fold_double(kind, cell, x);
        return;
    }
    backend().from_str(ctx.number_scratch, reinterpret_cast<const char*>(value + 1));
    fold_backend(kind, cell, ctx);
}

void write_cell_result(AggregateKind kind, const Cell& cell, std::uint8_t* result, Context& ctx) {
    if (kind == AggregateKind::Count) {
        write_count(result, *cell.count, ctx);
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

void clear_cell(AggregateKind kind, const Cell& cell) {
    if (uses_count(kind)) *cell.count = 0.0;
    if (kind == AggregateKind::Count) return;
    if (is_extreme(kind)) *cell.flag = 0;
    if (text_numbers()) backend().zero(cell.number);
    else *cell.value = 0.0;
}

}  // namespace fcl
