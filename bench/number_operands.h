// The operands the number benchmarks share, so that every library is timed on the same ones:
// "money" (1234567.89 op 98.7654) and "wide" (48 significant digits each), and the operations.
#pragma once

namespace bench {

struct Profile {
    const char* a;
    const char* b;
};

inline const Profile kMoney{"1234567.89", "98.7654"};
inline const Profile kWide{"987654321098765432109876.543210987654321098765432",
                           "123456789012345678901234.567890123456789012345678"};

enum class Op { kAdd, kSub, kMul, kDiv, kComp, kFromStr, kToStr };

}  // namespace bench
