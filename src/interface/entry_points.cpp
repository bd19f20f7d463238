// The exported FCL entry points.
#include <cstdlib>
#include <cstring>

#include "compiler/compiler.h"
#include "executor/stack_machine.h"
#include "fclib.h"
#include "interface/context.h"
#include "interface/number_mode.h"
#include "interface/types.h"
#include "interface/values.h"
#include "interface/work_areas.h"

using fcl::Context;

namespace {

void write_empty_formula(unsigned char* code, uint16_t* length) {
    static constexpr unsigned char kEmpty[] = {1, 0, 7, 0, 1, 0, 0};
    if (code) std::memcpy(code, kEmpty, sizeof kEmpty);
    if (length) *length = sizeof kEmpty;
}

}  // namespace

extern "C" {

FCL_API int32_t FCLINIT(int64_t, const int32_t* mode) {
    fcl::init_work_areas(mode ? *mode : 0);
    return 1;
}

FCL_API int32_t FCLMODE(void) { return fcl::number_mode(); }
FCL_API void FCLSETMODE(int32_t mode) { fcl::set_number_mode(mode); }

FCL_API FCLHANDLE FCLCREATEHANDLE(void) { return std::calloc(1, sizeof(Context)); }
FCL_API void FCLRELEASEHANDLE(FCLHANDLE handle) { std::free(handle); }

FCL_API uint16_t FCLCOMPILE(FCLFIELDPROC callback, void* data, const char* text, unsigned char* code,
                            uint16_t* length) {
    return fcl::compile_formula(fcl::global_context(), true, callback, data, text, code, length);
}

FCL_API uint16_t FCLCOMPILE2(FCLFIELDPROC callback, void* data, const char* text, unsigned char* code,
                             uint16_t* length, FCLHANDLE handle) {
    // A null handle is no context: the caller still gets the empty formula and a status.
    if (!handle) {
        write_empty_formula(code, length);
        return fcl::kCodeError;
    }
    return fcl::compile_formula(*static_cast<Context*>(handle), false, callback, data, text, code, length);
}

FCL_API uint16_t FCLEXECUTE(FCLFIELDPROC callback, void* data, const unsigned char* code, unsigned char* result) {
    if (!code) return fcl::kCodeError;
    return fcl::run_formula(fcl::global_context(), callback, data, code, result);
}

FCL_API uint16_t FCLEXECUTE2(FCLFIELDPROC callback, void* data, const unsigned char* code, unsigned char* result,
                             FCLHANDLE handle) {
    if (!handle || !code) {
        if (code && result) fcl::write_blank_value(code[0], result);
        return fcl::kCodeError;
    }
    return fcl::run_formula(*static_cast<Context*>(handle), callback, data, code, result);
}

FCL_API int32_t LoadMPL32(void) { return 1; }
FCL_API void FreeMPL32(void) {}

}  // extern "C"
