// Type codes, type masks and status codes used inside the library.
#pragma once

#include <cstdint>

#include "fclib.h"

namespace fcl {


enum : std::uint8_t {
    kString = FCL_T_STRING,
    kNumber = FCL_T_NUMBER,
    kLogical = FCL_T_LOGICAL,
    kTime = FCL_T_TIME,
    kDate = FCL_T_DATE,
    kFieldRef = FCL_T_FIELD,
    kNameRef = FCL_T_NAME,
    kFunctionCall = FCL_T_FUNCTION,
};

// What every compile, execute and handler step returns: 0 success, else the failure that
// travels unchanged to the host. Marked nodiscard so that no step's failure is dropped.
enum [[nodiscard]] Status : std::uint16_t {
    kOk = FCL_OK,
    kSyntaxError = FCL_E_SYNTAX,
    kUnknownName = FCL_E_UNKNOWN_NAME,
    kTypeError = FCL_E_TYPE,
    kTooLong = FCL_E_TOO_LONG,
    kCallbackFailed = FCL_E_CALLBACK,
    kStackFull = FCL_E_STACK_FULL,
    kCodeError = FCL_E_CODE,
    kNodePoolFull = FCL_E_NODE_POOL,
    kDivideByZero = FCL_E_DIVIDE_BY_ZERO,
    kContextBusy = FCL_E_BUSY,
};

}  // namespace fcl
