// Powers of ten as doubles, in place of the C runtime's pow(10, n): the C libraries differ in
// the last bit (mingw-w64's pow gives 0.010000000000000002 for 10^-2), and ROUND and FORMAT
// must give the same digits on every platform.
#pragma once

namespace fcl::platform {

// The double nearest to 10^n: infinity above 10^308, zero below the smallest subnormal.
double power_of_ten(int n);

}  // namespace fcl::platform
