// Placeholder until the decimal backend lands: the double slots under the decimal type code.
#include "number/backend.h"

namespace fcl {

Backend decimal_backend_slots() {
    Backend slots = double_backend_slots();
    slots.type = 5;
    slots.size = 28;
    return slots;
}

}  // namespace fcl
