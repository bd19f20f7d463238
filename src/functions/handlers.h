// Handlers behind the function table, one group per source file. Only the table names them.
#pragma once

#include "functions/function_table.h"

namespace fcl::handlers {

#define FCL_HANDLER(name) Status name(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx)

// logic.cpp
FCL_HANDLER(logic_and); FCL_HANDLER(logic_or); FCL_HANDLER(logic_not);
FCL_HANDLER(compare_eq); FCL_HANDLER(compare_ne); FCL_HANDLER(compare_le);
FCL_HANDLER(compare_ge); FCL_HANDLER(compare_lt); FCL_HANDLER(compare_gt);
FCL_HANDLER(between); FCL_HANDLER(in);

// arithmetic.cpp
FCL_HANDLER(add); FCL_HANDLER(sub); FCL_HANDLER(mul); FCL_HANDLER(div); FCL_HANDLER(mod); FCL_HANDLER(neg);

// strings.cpp
FCL_HANDLER(left); FCL_HANDLER(right); FCL_HANDLER(mid); FCL_HANDLER(str); FCL_HANDLER(val);
FCL_HANDLER(len); FCL_HANDLER(rep); FCL_HANDLER(spc); FCL_HANDLER(at); FCL_HANDLER(like);
FCL_HANDLER(asc); FCL_HANDLER(chr); FCL_HANDLER(reverse); FCL_HANDLER(replace);

// numeric.cpp
FCL_HANDLER(abs); FCL_HANDLER(int_part); FCL_HANDLER(round);

// dates.cpp
FCL_HANDLER(date); FCL_HANDLER(idate); FCL_HANDLER(year); FCL_HANDLER(month); FCL_HANDLER(day);
FCL_HANDLER(dow); FCL_HANDLER(cdow); FCL_HANDLER(dtoc); FCL_HANDLER(ctod); FCL_HANDLER(adate);
FCL_HANDLER(cdate); FCL_HANDLER(month2);

// times.cpp
FCL_HANDLER(time); FCL_HANDLER(itime); FCL_HANDLER(hour); FCL_HANDLER(mint); FCL_HANDLER(sec);
FCL_HANDLER(ttoc); FCL_HANDLER(ctot); FCL_HANDLER(atime); FCL_HANDLER(ctime);

// eras.cpp
FCL_HANDLER(sei2wa); FCL_HANDLER(wa2sei); FCL_HANDLER(wyear); FCL_HANDLER(nengo);
FCL_HANDLER(sei2wa1); FCL_HANDLER(sei2wa1z);

// aggregates.cpp
FCL_HANDLER(count); FCL_HANDLER(pcount); FCL_HANDLER(sum); FCL_HANDLER(psum); FCL_HANDLER(avg);
FCL_HANDLER(pavg); FCL_HANDLER(min); FCL_HANDLER(pmin); FCL_HANDLER(max); FCL_HANDLER(pmax);

// format.cpp
FCL_HANDLER(format);

// selection.cpp
FCL_HANDLER(if_then_else); FCL_HANDLER(select); FCL_HANDLER(page); FCL_HANDLER(placeholder);

#undef FCL_HANDLER

}  // namespace fcl::handlers
