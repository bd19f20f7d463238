// The double backend: backend numbers are 8-byte IEEE-754 doubles.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "number/backend.h"
#include "number/operators.h"
#include "platform/format_double.h"

namespace fcl {

namespace {

// Numbers may sit at any address (hosts pass their own buffers): load and store by copy.
double load(const void* number) {
    double value;
    std::memcpy(&value, number, sizeof value);
    return value;
}

void store(void* number, double value) { std::memcpy(number, &value, sizeof value); }

void to_str(const void* number, char* out, std::size_t out_size, std::int32_t style, std::int32_t digits) {
    if (style >= 1) {
        platform::format_scientific(out, out_size, 15, load(number));
        return;
    }
    // Fixed notation; a negative digits means 15 decimals. The count is clamped to what the
    // caller's buffer holds after the whole part (as "%.0f" writes it, never shorter), the sign
    // and the point, so the text is always the one printf would write.
    std::int32_t decimals = digits < 0 ? 15 : digits;
    char whole[kNumberTextSize];
    platform::format_double(whole, sizeof whole, "%.0f", load(number));
    const std::size_t used = std::strlen(whole) + 2;
    const std::int32_t room = out_size > used ? static_cast<std::int32_t>(out_size - used) : 0;
    if (decimals > room) decimals = room;
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df", static_cast<int>(decimals));
    platform::format_double(out, out_size, format, load(number));
}

// strtod, which atof is defined as: some C runtimes have an atof of their own that reads no nan
// or inf, and the text must read the same everywhere.
void from_str(void* number, const char* text) { store(number, std::strtod(text, nullptr)); }
void from_int(void* number, std::int32_t value) { store(number, static_cast<double>(value)); }
void from_dbl(void* number, double value) { store(number, value); }
void from_units(void* number, std::int64_t units) { store(number, static_cast<double>(units) / 1e8); }

std::size_t units_to_str(std::int64_t units, char* out) {
    alignas(8) std::uint8_t number[sizeof(double)];
    from_units(number, units);
    to_str(number, out, kUnitsTextSize, kStyleFull, -1);
    return std::strlen(out);
}

std::int32_t comp(const void* a, const void* b) { return order(load(a), load(b)); }

std::int32_t is_zero(const void* a) { return load(a) == 0.0 ? 1 : 0; }
void zero(void* a) { store(a, 0.0); }
void min(void* a) { store(a, std::numeric_limits<double>::min()); }
void max(void* a) { store(a, std::numeric_limits<double>::max()); }
void neg(void* a) { store(a, negated(load(a))); }

void int_part(void* a) {
    const double x = load(a);
    store(a, x >= 0.0 ? std::floor(x) : std::ceil(x));
}

void add(void* a, const void* b) { store(a, arithmetic(Arithmetic::Add, load(a), load(b))); }
void sub(void* a, const void* b) { store(a, arithmetic(Arithmetic::Sub, load(a), load(b))); }
void mul(void* a, const void* b) { store(a, arithmetic(Arithmetic::Mul, load(a), load(b))); }
void div(void* a, const void* b) { store(a, arithmetic(Arithmetic::Div, load(a), load(b))); }

}  // namespace

extern constexpr Backend kDoubleBackend{0, 8, false, to_str, from_str, from_int, from_dbl, comp, is_zero, zero,
                                        min, max, neg, int_part, add, sub, mul, div, from_units, units_to_str};
extern constexpr Backend kDoubleBackendType1{1, 8, false, to_str, from_str, from_int, from_dbl, comp, is_zero, zero,
                                             min, max, neg, int_part, add, sub, mul, div, from_units, units_to_str};

}  // namespace fcl
