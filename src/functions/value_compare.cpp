#include "functions/value_compare.h"

#include <cstring>

#include "interface/number_mode.h"
#include "interface/types.h"
#include "number/backend.h"
#include "platform/cp932.h"

namespace fcl {

int compare_values(const std::uint8_t* a, const std::uint8_t* b, Context& ctx) {
    switch (a[0]) {
        case kString:
        case kTime:
        case kDate:
            return cp932::compare(reinterpret_cast<const char*>(a + 1), reinterpret_cast<const char*>(b + 1));
        case kNumber: {
            if (text_numbers()) {
                const Backend& n = backend();
                n.from_str(ctx.number_scratch, reinterpret_cast<const char*>(a + 1));
                n.from_str(ctx.number_scratch2, reinterpret_cast<const char*>(b + 1));
                return n.comp(ctx.number_scratch, ctx.number_scratch2);
            }
            double x, y;
            std::memcpy(&x, a + 1, sizeof x);
            std::memcpy(&y, b + 1, sizeof y);
            if (y > x) return -1;
            if (y < x) return 1;
            return 0;
        }
        case kLogical:
            return (a[1] != 0) - (b[1] != 0);
        default:
            return 0;
    }
}

}  // namespace fcl
