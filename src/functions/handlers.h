// Handlers behind the function table, declared from the function list. Only the table names them.
#pragma once

#include "functions/function_table.h"

namespace fcl::handlers {

#define FCL_DECLARE_HANDLER(name, handler, ...) \
    Status handler(const std::uint8_t* const* args, std::uint8_t* result, Context& ctx, int fixed);
FCL_FUNCTION_LIST(FCL_DECLARE_HANDLER)
#undef FCL_DECLARE_HANDLER

}  // namespace fcl::handlers
