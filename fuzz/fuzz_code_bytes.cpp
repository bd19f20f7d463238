// Arbitrary bytes handed to the executor as a compiled formula, as a host with a damaged
// formula store would. The block is copied into a heap buffer exactly as long as its header
// says (at least the 4 header bytes), so that the sanitizer sees any read past it; input
// shorter than that is padded with zeros. Each block runs in both number encodings.
//
// A run may fail, but it must end with a known status, and leave the blank value of the
// header's result type on failure or a complete value on success. A block without function
// calls must give the same status and value in a handle and in the global context.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_support.h"

namespace {

const std::uint8_t kFieldTypes[5] = {FCL_T_STRING, FCL_T_NUMBER, FCL_T_LOGICAL, FCL_T_TIME, FCL_T_DATE};
const char* const kFieldValues[5] = {"abc", "12.5", "1", "123456", "20240315"};

int g_data;  // address passed as callback data: anything else is an aggregate request
FCLHANDLE g_handle = nullptr;
// The pass key of the plain aggregates' value requests: a new one for every run, so that each
// run's aggregates start again at slot 0 (a run at the slot limit returns it as its status).
std::uint16_t g_pass_key = 0;

// A well-behaved host: every field has a plain value picked by its name, and every aggregate
// call ends at its first value request.
int32_t benign_callback(void* data, const char* name, void* raw, uint16_t* type) {
    FUZZ_CHECK(name != nullptr && type != nullptr);
    if (data == &g_data) {
        FUZZ_CHECK(*type == FCL_T_FIELD || *type == FCL_T_NAME);
        unsigned sum = 0;
        for (const char* p = name; *p; ++p) sum += static_cast<unsigned char>(*p);
        const unsigned kind = sum % 5;
        *type = kFieldTypes[kind];
        if (raw) std::strcpy(static_cast<char*>(raw), kFieldValues[kind]);
        return 0;
    }
    std::uint8_t first;
    std::memcpy(&first, data, 1);
    if (first == 3) return FCL_AGG_RESET;                   // query: go on with the plain form
    if (first == 2) {
        *type = FCL_AGG_CONTINUE;  // no values; the slot keeps its total
        return g_pass_key;
    }
    *type = FCL_AGG_RESET;  // a P aggregate's values end
    return 0;
}

// True when some byte could be a function-call item. Handlers read their arguments by the
// types the function table gives them, without checking (SUB and MUL read a double after any
// type byte): a mistyped hand-made block reads whatever bytes follow a short value, which may be
// left from an earlier run of the context. Only blocks without calls are compared across contexts.
bool may_call(const std::uint8_t* code, std::size_t length) {
    for (std::size_t i = 4; i < length; ++i)
        if (code[i] == FCL_T_FUNCTION) return true;
    return false;
}

void run_mode(const std::uint8_t* block, std::size_t length, std::int32_t mode) {
    FCLSETMODE(mode);
    const std::int32_t init = 1;
    FCLINIT(0, &init);
    const bool text_numbers = mode != 0;
    std::unique_ptr<std::uint8_t[]> result(new std::uint8_t[FCL_MAX_VALUE]);
    std::memset(result.get(), 0xBE, FCL_MAX_VALUE);
    g_pass_key = g_pass_key == 0 ? 0x1234 : 0;
    const std::uint16_t status = FCLEXECUTE2(benign_callback, &g_data, block, result.get(), g_handle);
    FUZZ_CHECK(fuzz::is_known_status(status) || status == g_pass_key);
    const std::size_t declared = fuzz::header_length(block);
    // No item fits in 5 bytes with its header, and no compiled formula exceeds 528 bytes.
    if (declared <= 5 || declared > FCL_MAX_CODE) FUZZ_CHECK(status != FCL_OK);
    if (status != FCL_OK) {
        fuzz::check_blank_result(block[0], text_numbers, result.get());
    } else {
        FUZZ_CHECK(fuzz::tagged_size(result.get(), FCL_MAX_VALUE, text_numbers) != 0);
    }
    if (may_call(block, length)) return;
    std::unique_ptr<std::uint8_t[]> global(new std::uint8_t[FCL_MAX_VALUE]);
    std::memset(global.get(), 0xBE, FCL_MAX_VALUE);
    FUZZ_CHECK(FCLEXECUTE(benign_callback, &g_data, block, global.get()) == status);
    std::uint8_t blank[16];
    const std::size_t size = status == FCL_OK ? fuzz::tagged_size(result.get(), FCL_MAX_VALUE, text_numbers)
                                              : fuzz::blank_value(block[0], text_numbers, blank);
    FUZZ_CHECK(std::memcmp(result.get(), global.get(), size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_handle = FCLCREATEHANDLE();
    FUZZ_CHECK(g_handle != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t header[4] = {};
    std::memcpy(header, data, size < 4 ? size : 4);
    std::size_t length = fuzz::header_length(header);
    if (length < 4) length = 4;
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[length]);
    std::memset(block.get(), 0, length);
    std::memcpy(block.get(), data, size < length ? size : length);
    run_mode(block.get(), length, 0);
    run_mode(block.get(), length, 1);
    return 0;
}
