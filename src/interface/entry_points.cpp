// The exported FCL entry points.
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

// Marks a context in use for the length of one compile or execute call. A context that is
// already in use is being run by a call further up this thread's stack (a field callback
// calling back in); such a call is refused rather than allowed to overwrite that run.
class ContextClaim {
public:
    explicit ContextClaim(Context& ctx) : ctx_(ctx), claimed_(ctx.in_use == 0) {
        if (claimed_) ctx_.in_use = 1;
    }
    ~ContextClaim() {
        if (claimed_) ctx_.in_use = 0;
    }
    ContextClaim(const ContextClaim&) = delete;
    ContextClaim& operator=(const ContextClaim&) = delete;
    bool claimed() const { return claimed_; }

private:
    Context& ctx_;
    bool claimed_;
};

uint16_t compile_in(Context& ctx, FCLFIELDPROC callback, void* data, const char* text, unsigned char* code,
                    uint16_t* length) {
    const ContextClaim claim(ctx);
    if (!claim.claimed()) {
        write_empty_formula(code, length);
        return fcl::kContextBusy;
    }
    const uint16_t status = fcl::compile_formula(ctx, callback, data, text, code, length);
    fcl::forget_programs(ctx);  // the compile used the program banks as parser stacks
    return status;
}

uint16_t execute_in(Context& ctx, FCLFIELDPROC callback, void* data, const unsigned char* code,
                    unsigned char* result) {
    const ContextClaim claim(ctx);
    if (!claim.claimed()) {
        if (result) fcl::write_blank_value(code[0], result);
        return fcl::kContextBusy;
    }
    return fcl::run_formula(ctx, callback, data, code, result);
}

}  // namespace

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
    if (!ctx.in_use) std::memset(&ctx, 0, sizeof ctx);
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
