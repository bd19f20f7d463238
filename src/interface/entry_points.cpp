// The exported FCL entry points.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "compiler/compiler.h"
#include "executor/program.h"
#include "executor/stack_machine.h"
#include "fclib.h"
#include "interface/code_format.h"
#include "interface/context.h"
#include "interface/number_mode.h"
#include "interface/process_state.h"
#include "interface/settings.h"
#include "interface/types.h"
#include "interface/values.h"
#include "interface/work_areas.h"

using fcl::Context;
using fcl::write_empty_formula;

namespace {

// A context serves one compile or execute call at a time. A context claimed from a frame further
// up this thread's stack (stacks grow down) is running a call that a field callback has called
// back from: such a call is refused rather than allowed to overwrite that run. A claim made from
// a frame that is not above the caller's is left over from a call that a callback left by
// longjmp (or by an exception through the library's frames): that call is gone, and the claim
// is taken over. No destructor releases the claim, so leaving a call early skips nothing.
bool claim(Context& ctx, std::uintptr_t frame) {
    if (ctx.in_use && ctx.claim_frame > frame) return false;
    ctx.in_use = 1;
    ctx.claim_frame = frame;
    return true;
}

void release(Context& ctx) { ctx.in_use = 0; }

// The entry point's own frame; every field callback it makes runs below it.
#define FCL_ENTRY_FRAME() reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0))

bool busy(const Context& ctx, std::uintptr_t frame) { return ctx.in_use && ctx.claim_frame > frame; }

uint16_t compile_in(Context& ctx, FCLFIELDPROC callback, void* data, const char* text, unsigned char* code,
                    uint16_t* length, const fcl::ParseNode** root = nullptr) {
    if (!claim(ctx, FCL_ENTRY_FRAME())) {
        write_empty_formula(code, length);
        return fcl::kContextBusy;
    }
    const uint16_t status = fcl::compile_formula(ctx, callback, data, text, code, length);
    if (root) *root = status == fcl::kOk && ctx.subtree_depth == 1 ? ctx.subtree_stack[1] : nullptr;
    fcl::forget_programs(ctx);  // the compile used the program banks as parser stacks
    release(ctx);
    return status;
}

uint16_t execute_in(Context& ctx, FCLFIELDPROC callback, void* data, const unsigned char* code,
                    unsigned char* result) {
    if (!claim(ctx, FCL_ENTRY_FRAME())) {
        if (result) fcl::write_blank_value(code[0], result);
        return fcl::kContextBusy;
    }
    const uint16_t status = fcl::run_formula(ctx, callback, data, code, result);
    release(ctx);
    return status;
}

}  // namespace

fcl::Status fcl::compile_on(Context& ctx, FCLFIELDPROC callback, void* data, const char* text, std::uint8_t* code,
                            std::uint16_t* length, const ParseNode** root) {
    ensure_loaded();
    return static_cast<Status>(compile_in(ctx, callback, data, text, code, length, root));
}

extern "C" {

FCL_API int32_t FCLINIT(int64_t, const int32_t* mode) {
    fcl::ensure_loaded();
    fcl::init_work_areas(mode ? *mode : 0);
    return 1;
}

FCL_API int32_t FCLMODE(void) {
    fcl::ensure_loaded();
    return fcl::number_mode();
}

FCL_API void FCLSETMODE(int32_t mode) {
    fcl::ensure_loaded();
    fcl::set_number_mode(mode);
}

FCL_API FCLHANDLE FCLCREATEHANDLE(void) {
    fcl::ensure_loaded();
    return std::calloc(1, sizeof(Context));
}

FCL_API void FCLRELEASEHANDLE(FCLHANDLE handle) { std::free(handle); }

FCL_API uint16_t FCLCOMPILE(FCLFIELDPROC callback, void* data, const char* text, unsigned char* code,
                            uint16_t* length) {
    fcl::ensure_loaded();
    Context& ctx = fcl::global_context();
    // FCLCOMPILE starts from a cleared global context, unless that context is busy.
    if (!busy(ctx, FCL_ENTRY_FRAME())) std::memset(&ctx, 0, sizeof ctx);
    return compile_in(ctx, callback, data, text, code, length);
}

FCL_API uint16_t FCLCOMPILE2(FCLFIELDPROC callback, void* data, const char* text, unsigned char* code,
                             uint16_t* length, FCLHANDLE handle) {
    fcl::ensure_loaded();
    // A null handle is no context: the caller still gets the empty formula and a status.
    if (!handle) {
        write_empty_formula(code, length);
        return fcl::kCodeError;
    }
    return compile_in(*static_cast<Context*>(handle), callback, data, text, code, length);
}

FCL_API uint16_t FCLEXECUTE(FCLFIELDPROC callback, void* data, const unsigned char* code, unsigned char* result) {
    fcl::ensure_loaded();
    if (!code) return fcl::kCodeError;
    return execute_in(fcl::state::global_context, callback, data, code, result);
}

FCL_API uint16_t FCLEXECUTE2(FCLFIELDPROC callback, void* data, const unsigned char* code, unsigned char* result,
                             FCLHANDLE handle) {
    fcl::ensure_loaded();
    if (!handle || !code) {
        if (code && result) fcl::write_blank_value(code[0], result);
        return fcl::kCodeError;
    }
    return execute_in(*static_cast<Context*>(handle), callback, data, code, result);
}

FCL_API int32_t LoadMPL32(void) { return 1; }
FCL_API void FreeMPL32(void) {}

}  // extern "C"
