// The exported Num functions: thin forwarders to the current backend table.
#include <cstring>

#include "fclib.h"
#include "number/backend.h"

using fcl::backend;

extern "C" {

FCL_API void NumSetup(int32_t type) { fcl::install_backend(type); }
FCL_API int32_t NumSize(void) { return backend().size; }
FCL_API int32_t NumType(void) { return backend().type; }

FCL_API char* NumToStr(const void* number, char* text, int32_t style, int32_t digits) {
    char local[fcl::kNumberTextSize];
    fcl::shaped_to_str(number, local, sizeof local, style, digits);
    if (text) std::strcpy(text, local);
    return text;
}

FCL_API void NumFromStr(void* number, const char* text) { backend().from_str(number, text ? text : ""); }
FCL_API void NumFromInt(void* number, int32_t value) { backend().from_int(number, value); }
FCL_API void NumFromDbl(void* number, double value) { backend().from_dbl(number, value); }
FCL_API int32_t NumComp(const void* a, const void* b) { return backend().comp(a, b); }
FCL_API int32_t NumIsZero(const void* a) { return backend().is_zero(a); }
FCL_API void NumZero(void* a) { backend().zero(a); }
FCL_API void NumMin(void* a) { backend().min(a); }
FCL_API void NumMax(void* a) { backend().max(a); }
FCL_API void NumNeg(void* a) { backend().neg(a); }
FCL_API void NumInt(void* a) { backend().int_part(a); }
FCL_API void NumAdd(void* a, const void* b) { backend().add(a, b); }
FCL_API void NumSub(void* a, const void* b) { backend().sub(a, b); }
FCL_API void NumMul(void* a, const void* b) { backend().mul(a, b); }
FCL_API void NumDiv(void* a, const void* b) { backend().div(a, b); }

FCL_API void NumCopy(void* destination, const void* source) {
    std::memmove(destination, source, static_cast<std::size_t>(backend().size));
}

FCL_API int32_t NumCompInt(const void* a, int32_t value) {
    alignas(8) unsigned char temporary[fcl::kNumberSize];
    backend().from_int(temporary, value);
    return backend().comp(a, temporary);
}

FCL_API void NumFrac(void* a) {
    alignas(8) unsigned char temporary[fcl::kNumberSize];
    std::memcpy(temporary, a, static_cast<std::size_t>(backend().size));
    backend().int_part(temporary);
    backend().sub(a, temporary);
}

FCL_API void NumInc(void* a, int32_t value) {
    alignas(8) unsigned char temporary[fcl::kNumberSize];
    backend().from_int(temporary, value);
    backend().add(a, temporary);
}

FCL_API void NumDec(void* a, int32_t value) {
    alignas(8) unsigned char temporary[fcl::kNumberSize];
    backend().from_int(temporary, value);
    backend().sub(a, temporary);
}

}  // extern "C"
