// The exported Num functions on arbitrary text and arbitrary number bytes, with both backends.
//
// Input layout: byte 0 picks the backend (bits 0-1: NumSetup FCL_BACKEND_DECIMAL, 0,
// FCL_BACKEND_DOUBLE or 7) and where the numbers sit (bits 2-3: 0 to 3 bytes past an aligned
// address: hosts hand numbers over at any address). Then operations, each an opcode byte and an
// operand byte (bits 0-1 the target register, bits 2-3 the source register, bits 4-7 a choice),
// followed by what the operation reads from the input (text, integers, doubles, raw bytes).
//
// Every register is a heap block exactly one backend number long, so any access past it is
// caught. Checked on the way:
//   - every decimal result is in the backend's normal form, whatever bytes went in;
//   - the decimal digit-string, scientific and plain texts read back to the same number;
//   - the double backend's slots agree with the platform's double arithmetic and printf;
//   - NumToStr stays within FCL_NUM_TEXT_MAX bytes and follows its shaping rules;
//   - Comp is antisymmetric, CompInt/Inc/Dec/Frac are the compositions they are defined as.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.h"

namespace {

using fuzz::Reader;

constexpr int kRegisters = 4;
constexpr std::int32_t kStyles[8] = {1, 0, -1, 2147483647, 2, -2147483647 - 1, 5, -7};
constexpr std::int32_t kDigits[16] = {-1, 0, 1, 2, 3, 8, 15, 16, 17, 40, 100, 300, 700, 1000, 2147483647, -5};

bool g_decimal = true;
std::size_t g_size = 28;

// A number somewhere in a heap block that ends where the number ends.
class Register {
public:
    Register(std::size_t size, std::size_t offset) : block_(new std::uint8_t[size + offset]), at_(block_.get() + offset) {}
    std::uint8_t* get() { return at_; }

private:
    std::unique_ptr<std::uint8_t[]> block_;
    std::uint8_t* at_;
};

std::uint32_t limb(const std::uint8_t* number, int i) {
    std::uint32_t value;
    std::memcpy(&value, number + 4 + 4 * i, sizeof value);
    return value;
}

// The decimal backend's normal form: count 0..6, sign 0/1, reserved byte 0, limbs below 10^8,
// unused limbs 0, no zero limb at either end; zero is all 28 bytes 0.
void check_normal(const std::uint8_t* number) {
    if (!g_decimal) return;
    const int count = number[0];
    FUZZ_CHECK(count <= 6);
    if (count == 0) {
        for (int i = 0; i < 28; ++i) FUZZ_CHECK(number[i] == 0);
        return;
    }
    FUZZ_CHECK(number[1] <= 1);
    FUZZ_CHECK(number[3] == 0);
    for (int i = 0; i < 6; ++i) {
        if (i < count) FUZZ_CHECK(limb(number, i) <= 99999999u);
        else FUZZ_CHECK(limb(number, i) == 0);
    }
    FUZZ_CHECK(limb(number, 0) != 0);
    FUZZ_CHECK(limb(number, count - 1) != 0);
}

// True for decimal numbers already in normal form (the identities below need one).
bool normal(const std::uint8_t* number) {
    if (!g_decimal) return false;
    const int count = number[0];
    if (count > 6) return false;
    if (count == 0) {
        for (int i = 0; i < 28; ++i)
            if (number[i] != 0) return false;
        return true;
    }
    if (number[1] > 1 || number[3] != 0 || limb(number, 0) == 0 || limb(number, count - 1) == 0) return false;
    for (int i = 0; i < 6; ++i)
        if (i < count ? limb(number, i) > 99999999u : limb(number, i) != 0) return false;
    return true;
}

double as_double(const std::uint8_t* number) {
    double value;
    std::memcpy(&value, number, sizeof value);
    return value;
}

bool same_double(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The text of a number through NumToStr, into a buffer of exactly FCL_NUM_TEXT_MAX bytes.
std::string to_text(const std::uint8_t* number, std::int32_t style, std::int32_t digits) {
    std::unique_ptr<char[]> text(new char[FCL_NUM_TEXT_MAX]);
    std::memset(text.get(), 0x5A, FCL_NUM_TEXT_MAX);
    FUZZ_CHECK(NumToStr(number, text.get(), style, digits) == text.get());
    const void* nul = std::memchr(text.get(), 0, FCL_NUM_TEXT_MAX);
    FUZZ_CHECK(nul != nullptr);
    return std::string(text.get());
}

// NumToStr's shaping of the text that ToStr wrote (the double backend's ToStr is printf).
std::string shaped(std::string text, std::int32_t style, std::int32_t digits) {
    if (style > 0) return text;
    const std::size_t point = text.find('.');
    if (digits == 0) {
        if (point != std::string::npos) text.resize(point);
    } else if (digits > 0) {
        const std::size_t wanted = static_cast<std::size_t>(digits);
        if (point != std::string::npos) {
            const std::size_t after = text.size() - point - 1;
            if (after >= wanted) text.resize(point + 1 + wanted);
            else if (style == 0) text.append(wanted - after, '0');
        } else if (style == 0) {
            text += '.';
            text.append(wanted, '0');
        }
    }
    if ((style < 0 || digits < 0) && text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    return text;
}

std::string printf_double(double value, std::int32_t style, std::int32_t digits) {
    char format[32];
    if (style >= 1) std::snprintf(format, sizeof format, "%%.15e");
    else std::snprintf(format, sizeof format, "%%.%df", digits < 0 ? 15 : digits);
    const int needed = std::snprintf(nullptr, 0, format, value);
    std::string out(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, value);
    out.resize(static_cast<std::size_t>(needed));
    return out;
}

// NumFromStr of a text held in a heap block of exactly its length plus the NUL.
void from_text(std::uint8_t* number, const std::string& text) {
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    NumFromStr(number, copy.get());
}

void check_text(std::uint8_t* number, std::int32_t style, std::int32_t digits, std::uint8_t* scratch) {
    const std::string text = to_text(number, style, digits);
    FUZZ_CHECK(NumToStr(number, nullptr, style, digits) == nullptr);
    FUZZ_CHECK(text.size() < FCL_NUM_TEXT_MAX);
    FUZZ_CHECK(text != "-0");
    if (!g_decimal) {
        // The text is printf's, shaped, wherever printf's text fits the 720-byte buffer.
        if (style >= 1 || digits < static_cast<std::int32_t>(FCL_NUM_TEXT_MAX)) {
            const std::string expected = shaped(printf_double(as_double(number), style, digits), style, digits);
            if (expected.size() + 8 < FCL_NUM_TEXT_MAX && text != expected) {
                std::fprintf(stderr, "style %d digits %d: NumToStr gave \"%s\", printf gives \"%s\"\n", style,
                             digits, text.c_str(), expected.c_str());
                FUZZ_CHECK(text == expected);
            }
        }
        return;
    }
    // Decimal texts are at most about 70 bytes before shaping, unless the exponent is large.
    const bool short_enough = text.size() < 600 && digits < 500;
    if (style <= 0 && short_enough) {
        const std::size_t point = text.find('.');
        if (digits == 0) FUZZ_CHECK(point == std::string::npos);
        if (point != std::string::npos && digits > 0)
            FUZZ_CHECK(text.size() - point - 1 <= static_cast<std::size_t>(digits));
        if (style == 0 && digits > 0) {
            FUZZ_CHECK(point != std::string::npos);
            FUZZ_CHECK(text.size() - point - 1 == static_cast<std::size_t>(digits));
        }
        if ((style < 0 || digits < 0) && point != std::string::npos) FUZZ_CHECK(text.back() != '0' && text.back() != '.');
    }
    // The digit string (the payload form) is exact: it reads back to the same number. So does
    // the plain form when no digits are cut. (The scientific form keeps fewer fraction digits
    // on reading than it writes.)
    const bool exact = (style > 0 && style != 2147483647) || (style <= 0 && digits < 0 && short_enough);
    if (exact && normal(number)) {
        from_text(scratch, text);
        check_normal(scratch);
        FUZZ_CHECK(std::memcmp(scratch, number, 28) == 0);
    }
}

class Machine {
public:
    Machine(Reader& in, std::size_t offset) : in_(in) {
        for (int i = 0; i < kRegisters; ++i) {
            regs_[i] = std::make_unique<Register>(g_size, offset);
            NumZero(reg(i));
            check_normal(reg(i));
        }
        scratch_ = std::make_unique<Register>(g_size, offset);
        second_ = std::make_unique<Register>(g_size, offset);
        third_ = std::make_unique<Register>(g_size, offset);
    }

    std::uint8_t* reg(int i) { return regs_[i]->get(); }

    void step() {
        const std::uint8_t op = in_.byte();
        const std::uint8_t operands = in_.byte();
        const int dst = operands & 3;
        const int src = (operands >> 2) & 3;
        const unsigned choice = operands >> 4;
        std::uint8_t* a = reg(dst);
        std::uint8_t* b = reg(src);
        std::uint8_t* t = scratch_->get();
        std::uint8_t* u = second_->get();
        const double da = as_double(a);
        const double db = as_double(b);
        switch (op % 20) {
            case 0: {
                std::string text;
                std::size_t n = in_.byte();
                if (n == 0xFF) n = in_.u16();
                for (std::size_t i = 0; i < n && !in_.empty(); ++i) text += static_cast<char>(in_.byte());
                // Text stops at its NUL, as it would in a host's string.
                text = text.c_str();
                from_text(a, text);
                check_normal(a);
                if (!g_decimal) FUZZ_CHECK(same_double(as_double(a), std::atof(text.c_str())));
                break;
            }
            case 1: {
                const auto value = static_cast<std::int32_t>(in_.u32());
                NumFromInt(a, value);
                check_normal(a);
                if (g_decimal) {
                    FUZZ_CHECK(to_text(a, 0, -1) == std::to_string(value));
                } else {
                    FUZZ_CHECK(as_double(a) == static_cast<double>(value));
                }
                FUZZ_CHECK(NumCompInt(a, value) == 0);
                break;
            }
            case 2: {
                double value;
                std::uint8_t raw[8] = {};
                in_.bytes(raw, sizeof raw);
                std::memcpy(&value, raw, sizeof value);
                NumFromDbl(a, value);
                check_normal(a);
                if (!g_decimal) FUZZ_CHECK(std::memcmp(a, &value, sizeof value) == 0);
                break;
            }
            case 3:
                // Bytes no backend wrote: the slots must still stay inside the number.
                std::memset(a, 0, g_size);
                in_.bytes(a, g_size);
                break;
            case 4:
                NumZero(a);
                check_normal(a);
                FUZZ_CHECK(NumIsZero(a) == 1);
                break;
            case 5:
            case 6: {
                if (op % 20 == 5) NumMin(a);
                else NumMax(a);
                check_normal(a);
                if (!g_decimal) FUZZ_CHECK(as_double(a) == (op % 20 == 5 ? 2.2250738585072014e-308 : 1.7976931348623157e308));
                else FUZZ_CHECK(to_text(a, 0, -1) == std::string(op % 20 == 5 ? "-" : "") + std::string(40, '9') + "." +
                                                          std::string(8, '9'));
                break;
            }
            case 7: {
                const bool was_normal = normal(a);
                std::memcpy(t, a, g_size);
                NumNeg(a);
                check_normal(a);
                if (!g_decimal) FUZZ_CHECK(std::signbit(as_double(a)) != std::signbit(da));
                NumNeg(a);
                check_normal(a);
                if (!g_decimal || was_normal) FUZZ_CHECK(std::memcmp(a, t, g_size) == 0);
                break;
            }
            case 8: {
                NumInt(a);
                check_normal(a);
                if (!g_decimal) FUZZ_CHECK(same_double(as_double(a), da >= 0 ? std::floor(da) : std::ceil(da)));
                std::memcpy(t, a, g_size);
                NumInt(t);
                FUZZ_CHECK(std::memcmp(t, a, g_size) == 0);
                break;
            }
            case 9: {
                // Frac is a minus Int(a); for the decimal backend Int(a) + Frac(a) is a again.
                const bool was_normal = normal(a);
                std::uint8_t* w = third_->get();
                std::memcpy(w, a, g_size);
                std::memcpy(u, a, g_size);
                NumInt(u);
                std::memcpy(t, a, g_size);
                NumSub(t, u);
                NumFrac(a);
                check_normal(a);
                FUZZ_CHECK(g_decimal ? std::memcmp(a, t, g_size) == 0 : same_double(as_double(a), as_double(t)));
                if (g_decimal && was_normal) {
                    NumAdd(u, a);
                    FUZZ_CHECK(std::memcmp(u, w, g_size) == 0);
                }
                break;
            }
            case 10:
            case 11:
            case 12:
            case 13: {
                const int which = op % 20 - 10;
                std::memcpy(t, a, g_size);
                switch (which) {
                    case 0: NumAdd(a, b); break;
                    case 1: NumSub(a, b); break;
                    case 2: NumMul(a, b); break;
                    default: NumDiv(a, b); break;
                }
                check_normal(a);
                if (!g_decimal) {
                    const double expected = which == 0 ? da + db : which == 1 ? da - db : which == 2 ? da * db : da / db;
                    FUZZ_CHECK(same_double(as_double(a), expected));
                } else if (dst != src) {
                    // The second operand is never changed.
                    FUZZ_CHECK(std::memcmp(b, reg(src), g_size) == 0);
                    if (NumIsZero(b) && which < 2 && normal(t)) FUZZ_CHECK(std::memcmp(a, t, g_size) == 0);
                    if ((NumIsZero(b) || NumIsZero(t)) && which >= 2) FUZZ_CHECK(NumIsZero(a) == 1);
                }
                if (g_decimal && which == 1 && dst == src) FUZZ_CHECK(NumIsZero(a) == 1);
                break;
            }
            case 14:
                NumCopy(a, b);
                FUZZ_CHECK(std::memcmp(a, b, g_size) == 0);
                break;
            case 15:
            case 16: {
                const auto value = static_cast<std::int32_t>(in_.u32());
                std::memcpy(t, a, g_size);
                NumFromInt(u, value);
                if (op % 20 == 15) {
                    NumInc(a, value);
                    NumAdd(t, u);
                } else {
                    NumDec(a, value);
                    NumSub(t, u);
                }
                check_normal(a);
                FUZZ_CHECK(g_decimal ? std::memcmp(a, t, g_size) == 0 : same_double(as_double(a), as_double(t)));
                break;
            }
            case 17: {
                const std::int32_t ab = NumComp(a, b);
                const std::int32_t ba = NumComp(b, a);
                FUZZ_CHECK(ab >= -1 && ab <= 1);
                FUZZ_CHECK(ab == -ba);
                FUZZ_CHECK(NumComp(a, a) == 0);
                const std::int32_t zero = NumIsZero(a);
                FUZZ_CHECK(zero == 0 || zero == 1);
                if (!g_decimal) {
                    FUZZ_CHECK(ab == (db > da ? -1 : db < da ? 1 : 0));
                    FUZZ_CHECK(zero == (da == 0.0 ? 1 : 0));
                } else {
                    NumZero(t);
                    FUZZ_CHECK(zero == (NumComp(a, t) == 0 ? 1 : 0));
                }
                const auto value = static_cast<std::int32_t>(in_.u32());
                NumFromInt(t, value);
                FUZZ_CHECK(NumCompInt(a, value) == NumComp(a, t));
                break;
            }
            default: {
                std::int32_t style = kStyles[choice & 7];
                std::int32_t digits = kDigits[in_.byte() & 15];
                if (choice & 8) {
                    style = static_cast<std::int32_t>(in_.u32());
                    digits = static_cast<std::int32_t>(in_.u32());
                }
                check_text(a, style, digits, t);
                break;
            }
        }
        FUZZ_CHECK(NumSize() == static_cast<std::int32_t>(g_size));
    }

private:
    Reader& in_;
    std::unique_ptr<Register> regs_[kRegisters];
    std::unique_ptr<Register> scratch_;
    std::unique_ptr<Register> second_;
    std::unique_ptr<Register> third_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    Reader in(data, size);
    const std::uint8_t setup = in.byte();
    static const std::int32_t kBackends[4] = {FCL_BACKEND_DECIMAL, 0, FCL_BACKEND_DOUBLE, 7};
    const std::int32_t backend = kBackends[setup & 3];
    NumSetup(backend);
    g_decimal = backend == FCL_BACKEND_DECIMAL;
    g_size = g_decimal ? 28 : 8;
    FUZZ_CHECK(NumType() == (backend == FCL_BACKEND_DECIMAL || backend == FCL_BACKEND_DOUBLE ? backend : 0));
    FUZZ_CHECK(NumSize() == static_cast<std::int32_t>(g_size));
    Machine machine(in, (setup >> 2) & 3);
    for (int steps = 0; steps < 512 && !in.empty(); ++steps) machine.step();
    return 0;
}
