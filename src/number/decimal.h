// The decimal backend's number: 28 bytes holding up to 48 significant decimal digits in
// six limbs of eight digits, with a signed exponent counted in limbs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fcl::decimal {

constexpr std::uint32_t kBase = 100000000;  // one limb holds eight decimal digits
constexpr std::uint32_t kLargestLimb = kBase - 1;
constexpr int kLimbDigits = 8;
constexpr int kLimbs = 6;       // limbs of a stored number
constexpr int kWideLimbs = 12;  // limbs of a full product
constexpr std::uint32_t kPowersOfTen[kLimbDigits + 1] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000,
                                                        100000000};
// The stored exponent is a signed byte.
constexpr int kLowestExponent = -128;
constexpr int kHighestExponent = 127;

// The stored layout. Hosts hand numbers over at any address, so it is only ever copied in
// and out (load and store), never accessed in place.
struct Stored {
    std::uint8_t count;  // limbs in use, 0 to 6; 0 is the value zero
    std::uint8_t sign;   // 0 positive, 1 negative
    std::int8_t exponent;  // power of 10^8 of the lowest limb
    std::uint8_t reserved;
    std::uint32_t limb[kLimbs];  // limb 0 is the least significant
};
static_assert(sizeof(Stored) == 28, "the decimal number is 28 bytes");

// A number being worked on. The exponent is a plain int so that intermediate results may
// leave the stored range; store() settles them. Limbs at or above count are always 0.
struct Number {
    std::uint32_t limb[kLimbs];
    int count;
    int exponent;
    bool negative;
};

constexpr Number kZero{{}, 0, 0, false};

// Moves the limbs so the lowest sits at power `target`. Rising drops the lowest limbs
// (truncation; all of them when there are no more than the rise); falling adds zero limbs at
// the bottom, unless that would exceed six limbs, in which case nothing is kept.
// (The loops run over the whole fixed array so they stay plain register moves.)
inline void rescale(Number& x, int target) {
    const int rise = target - x.exponent;
    x.exponent = target;
    if (rise > 0) {
        const int kept = rise < x.count ? x.count - rise : 0;
        // i + rise < kLimbs follows from i < kept; it is spelled out to bound the read.
        for (int i = 0; i < kLimbs; ++i) x.limb[i] = i < kept && i + rise < kLimbs ? x.limb[i + rise] : 0;
        x.count = kept;
    } else if (rise < 0) {
        const int fall = -rise;
        const bool fits = x.count + fall <= kLimbs;
        for (int i = kLimbs - 1; i >= 0; --i) x.limb[i] = fits && i >= fall ? x.limb[i - fall] : 0;
        x.count = fits ? x.count + fall : 0;
    }
}

// The normal form: no zero limb at either end, and zero as count 0, exponent 0, positive.
inline void normalise(Number& x) {
    int low = 0;
    while (low < x.count && x.limb[low] == 0) ++low;
    if (low > 0) rescale(x, x.exponent + low);
    int top = x.count;
    while (top > 0 && x.limb[top - 1] == 0) --top;
    x.count = top;
    if (top == 0) {
        x.exponent = 0;
        x.negative = false;
    }
}

// Stored bytes (inline: every slot goes through them; the slow paths are in
// decimal_storage.cpp).

// The extreme of 48 nines, 40 before and 8 after the point, with the given sign.
Number extreme(bool negative);
// Makes bytes this backend did not write into a normalised number.
void repair(Number& x);
// Brings an exponent outside the stored range back into it.
void settle(Number& x);

// The bounds of each limb for each count, checked two limbs at a time in the 32-bit lanes of
// a 64-bit word: a lane holds limb - floor, and adding its offset sets the lane's top bit
// exactly when that is beyond the lane's room. Limbs below the count lie in [0, 99999999],
// the lowest and the highest of them in [1, 99999999]; limbs above it are 0; count 0 fails
// whatever the limbs.
struct LimbBounds {
    std::uint32_t floor[kLimbs + 1][kLimbs];
    std::uint32_t offset[kLimbs + 1][kLimbs];
};

constexpr LimbBounds make_limb_bounds() {
    LimbBounds bounds{};
    for (int count = 0; count <= kLimbs; ++count) {
        for (int i = 0; i < kLimbs; ++i) {
            const std::uint32_t floor = i < count && (i == 0 || i == count - 1) ? 1 : 0;
            const std::uint32_t room = i < count ? kLargestLimb - floor : 0;
            bounds.floor[count][i] = floor;
            bounds.offset[count][i] = count == 0 ? 0x80000000u : 0x7FFFFFFFu - room;
        }
    }
    return bounds;
}

inline constexpr LimbBounds kLimbBounds = make_limb_bounds();

// Two neighbouring 32-bit lanes as one word.
inline std::uint64_t lane_pair(const void* lanes) {
    std::uint64_t pair;
    std::memcpy(&pair, lanes, sizeof pair);
    return pair;
}

// Addition and subtraction on lanes (decimal_arith.cpp, and the decimal backend's Sub on stored
// bytes): a sum lane starts kLaneBias high, so that it carries into the next lane exactly where
// the limb sum reaches 10^8; a lane left with its top bit set still carries the bias.
inline constexpr std::uint32_t kLaneBias = 0u - kBase;  // 2^32 - 10^8
inline constexpr std::uint64_t kBiasedLanes = static_cast<std::uint64_t>(kLaneBias) << 32 | kLaneBias;

// The top bit of either lane of a word.
inline constexpr std::uint64_t kLaneTops = 0x8000000080000000ull;

// For limbs i and i + 1 (i even) of a number of `count` limbs (at most 6), held as the lanes
// of `pair`: a word whose lane tops (kLaneTops) are clear when both limbs are within their
// bounds. A lane whose limb is below its floor wraps to a set top bit, and so does one
// already at 2^31 or beyond; the borrow or carry such a lane passes to its neighbour can only
// add failures, never hide one.
inline std::uint64_t lanes_beyond(std::uint64_t pair, unsigned count, int i) {
    const std::uint64_t lanes = pair - lane_pair(kLimbBounds.floor[count] + i);
    return (lanes + lane_pair(kLimbBounds.offset[count] + i)) | lanes;
}

// Every limb valid, zero limbs above the count, a non-zero limb at either end: the form
// this backend writes. Almost every number passes, so the limbs are checked in lanes rather
// than one branch at a time. `limbs` are kLimbs 32-bit limbs at any address (a Number's or a
// stored number's).
inline bool limbs_well_formed(const void* limbs, unsigned count) {
    if (count > kLimbs) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(limbs);
    std::uint64_t beyond = 0;
    for (int i = 0; i < kLimbs; i += 2) beyond |= lanes_beyond(lane_pair(bytes + 4 * i), count, i);
    return (beyond & kLaneTops) == 0;
}

inline bool well_formed(const Number& x) { return limbs_well_formed(x.limb, static_cast<unsigned>(x.count)); }

// The stored bytes of a normalised number whose exponent fits its byte: the header, then
// the limbs, in the same pieces load() reads, so a load that follows a store is served
// straight from the store.
inline void put(void* destination, const Number& x) {
    const std::uint8_t header[offsetof(Stored, limb)] = {static_cast<std::uint8_t>(x.count),
                                                         static_cast<std::uint8_t>(x.negative ? 1 : 0),
                                                         static_cast<std::uint8_t>(x.exponent), 0};
    auto* bytes = static_cast<std::uint8_t*>(destination);
    std::memcpy(bytes, header, sizeof header);
    std::memcpy(bytes + offsetof(Stored, limb), x.limb, sizeof x.limb);
}

// Reads a stored number from any address. Bytes this backend did not write are read
// defensively: the count is cut to 6, limbs above it are ignored, limbs above 99999999 count
// as 99999999, any non-zero sign byte is negative, and the result is normalised.
inline Number load(const void* source) {
    const auto* bytes = static_cast<const std::uint8_t*>(source);
    Number x;
    std::memcpy(x.limb, bytes + offsetof(Stored, limb), sizeof x.limb);
    x.count = bytes[offsetof(Stored, count)];
    x.exponent = static_cast<std::int8_t>(bytes[offsetof(Stored, exponent)]);
    x.negative = bytes[offsetof(Stored, sign)] != 0;
    if (!well_formed(x)) repair(x);
    return x;
}

// Writes a normalised number; the one place every slot writes through, so the one place
// an exponent beyond its signed byte is settled.
inline void store(void* destination, const Number& x) {
    if (x.exponent >= kLowestExponent && x.exponent <= kHighestExponent) {
        put(destination, x);
        return;
    }
    Number settled = x;
    settle(settled);
    put(destination, settled);
}

// Arithmetic (decimal_arith.cpp, decimal_muldiv.cpp).
// -1, 0 or 1 as a is less than, equal to or greater than b.
int compare(const Number& a, const Number& b);
// a becomes a + b: operands aligned to a common exponent, the smaller truncated.
void add(Number& a, const Number& b);
// a is truncated toward zero.
void truncate(Number& a);
// a becomes a * b, truncated to its six highest limbs.
void multiply(Number& a, const Number& b);
// a becomes a / b, six quotient limbs truncated; a zero divisor gives zero.
void divide(Number& a, const Number& b);

// Text, integers and doubles (decimal_write.cpp, decimal_read.cpp).
// Writes the plain (style below 1), scientific (2147483647) or digit-string (any other) form.
void write_text(const Number& x, char* out, std::size_t out_size, std::int32_t style);

// The digit string of units * 10^-8 (|units| < 10^16), as write_text writes the number
// from_units makes of it: at most 21 bytes with the NUL. Returns its length.
std::size_t write_units(std::int64_t units, char* out);
// Reads number text; what is not a number reads as zero or as its leading number.
void read_text(Number& x, const char* text);
void from_integer(Number& x, std::int32_t value);
// A number of at most three limbs, normalised, as its limbs lie in stored bytes: limbs 0 and
// 1 as the lanes of one word, so that it is written with whole-word stores.
struct ShortNumber {
    std::uint64_t low_limbs = 0;
    std::uint32_t third_limb = 0;
    int count = 0;
    int exponent = 0;
    bool negative = false;
};
// A double as the number its "%.15e" text reads as (16 significant digits), in two steps:
// short_double for the doubles whose digits need no generating (whole numbers below 10^16,
// short binary fractions; false, having written nothing, for others), from_rounded_double for
// any double.
bool short_double(double value, ShortNumber& x);
void from_rounded_double(Number& x, double value);

}  // namespace fcl::decimal
