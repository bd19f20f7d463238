// The decimal backend's slots: each loads its operands from the caller's bytes, works on
// local copies and stores the normalised result (type code 5, 28-byte numbers).
#include "number/backend.h"
#include "number/decimal.h"

namespace fcl {

namespace {

using decimal::load;
using decimal::Number;
using decimal::store;

void to_str(const void* number, char* out, std::size_t out_size, std::int32_t style, std::int32_t) {
    decimal::write_text(load(number), out, out_size, style);
}

void from_str(void* number, const char* text) {
    Number x;
    decimal::read_text(x, text);
    store(number, x);
}

void from_int(void* number, std::int32_t value) {
    Number x;
    decimal::from_integer(x, value);
    store(number, x);
}

void from_dbl(void* number, double value) {
    Number x;
    decimal::from_double(x, value);
    store(number, x);
}

std::int32_t comp(const void* a, const void* b) { return decimal::compare(load(a), load(b)); }
std::int32_t is_zero(const void* a) { return load(a).count == 0 ? 1 : 0; }
void zero(void* a) { store(a, decimal::kZero); }
void min(void* a) { store(a, decimal::extreme(true)); }
void max(void* a) { store(a, decimal::extreme(false)); }

void neg(void* a) {
    Number x = load(a);
    x.negative = !x.negative && x.count != 0;
    store(a, x);
}

void int_part(void* a) {
    Number x = load(a);
    decimal::truncate(x);
    store(a, x);
}

void add(void* a, const void* b) {
    Number x = load(a);
    decimal::add(x, load(b));
    store(a, x);
}

// Subtraction is addition of b with its sign reversed (a zero b stays zero).
void sub(void* a, const void* b) {
    Number x = load(a);
    Number y = load(b);
    y.negative = !y.negative && y.count != 0;
    decimal::add(x, y);
    store(a, x);
}

void mul(void* a, const void* b) {
    Number x = load(a);
    decimal::multiply(x, load(b));
    store(a, x);
}

void div(void* a, const void* b) {
    Number x = load(a);
    decimal::divide(x, load(b));
    store(a, x);
}

}  // namespace

extern constexpr Backend kDecimalBackend{kDecimalBackendType, static_cast<std::int32_t>(sizeof(decimal::Stored)), true, to_str, from_str,
                                         from_int, from_dbl, comp, is_zero, zero, min, max, neg, int_part, add,
                                         sub, mul, div};

}  // namespace fcl
