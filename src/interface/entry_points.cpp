// The exported FCL entry points.
#include <cstdlib>
#include <cstring>

#include "compiler/compiler.h"
#include "executor/stack_machine.h"
#include "fclib.h"
#include "interface/context.h"
#include "interface/number_mode.h"
#include "interface/work_areas.h"

using fcl::Context;

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
    return fcl::compile_formula(*static_cast<Context*>(handle), false, callback, data, text, code, length);
}

FCL_API uint16_t FCLEXECUTE(FCLFIELDPROC callback, void* data, const unsigned char* code, unsigned char* result) {
    return fcl::run_formula(fcl::global_context(), callback, data, code, result);
}

FCL_API uint16_t FCLEXECUTE2(FCLFIELDPROC callback, void* data, const unsigned char* code, unsigned char* result,
                             FCLHANDLE handle) {
    return fcl::run_formula(*static_cast<Context*>(handle), callback, data, code, result);
}

FCL_API int32_t LoadMPL32(void) { return 1; }
FCL_API void FreeMPL32(void) {}

}  // extern "C"
