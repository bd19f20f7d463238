#include "interface/context.h"

namespace fcl {

Context& global_context() {
    static Context context{};
    return context;
}

}  // namespace fcl
