// Helpers shared by the libFuzzer targets: a check that stops the run with a message, a
// reader over the fuzz input, and the host's view of tagged values (their sizes by the public
// rule of fclib.h, the blank value of each type) that the targets judge results by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fclib.h"
#include "functions/function_table.h"

// Stops the run (libFuzzer reports it as a crash and keeps the input) when a property fails.
#define FUZZ_CHECK(condition)                                                                 \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

namespace fuzz {

// Hands out the fuzz input byte by byte; past the end it reads zeros and says so.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t left() const { return empty() ? 0 : size_ - pos_; }

    std::uint8_t byte() { return empty() ? 0 : data_[pos_++]; }

    std::uint16_t u16() {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }

    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | (static_cast<std::uint32_t>(u16()) << 16);
    }

    // Copies up to n bytes (fewer at the end of the input) and returns how many.
    std::size_t bytes(void* out, std::size_t n) {
        const std::size_t count = n < left() ? n : left();
        if (count) std::memcpy(out, data_ + pos_, count);
        pos_ += count;
        return count;
    }

    // The bytes up to the next NUL (which is consumed) or the end of the input.
    std::string text() {
        std::string out;
        while (!empty()) {
            const std::uint8_t c = data_[pos_++];
            if (c == 0) break;
            out += static_cast<char>(c);
        }
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

inline bool is_value_type(std::uint8_t type) {
    return type == FCL_T_STRING || type == FCL_T_NUMBER || type == FCL_T_LOGICAL || type == FCL_T_TIME ||
           type == FCL_T_DATE;
}

inline bool is_known_status(std::uint16_t status) {
    return status == FCL_OK || (status >= FCL_E_SYNTAX && status <= FCL_E_DIVIDE_BY_ZERO);
}

// Size of the tagged value at value, reading no more than limit bytes (the public rule).
inline std::size_t tagged_size(const std::uint8_t* value, std::size_t limit, bool text_numbers) {
    return fcl_value_size(value, limit, text_numbers);
}

// The blank value a failed run leaves for a single-type result mask; 0 for other masks.
inline std::size_t blank_value(std::uint8_t mask, bool text_numbers, std::uint8_t* out) {
    switch (mask) {
        case FCL_T_STRING: std::memcpy(out, "\x01", 2); return 2;
        case FCL_T_NUMBER:
            if (text_numbers) {
                std::memcpy(out, "\x02" "0", 3);
                return 3;
            }
            std::memset(out, 0, 9);
            out[0] = FCL_T_NUMBER;
            return 9;
        case FCL_T_LOGICAL: out[0] = FCL_T_LOGICAL; out[1] = 0; return 2;
        case FCL_T_TIME: std::memcpy(out, "\x08" "000000", 8); return 8;
        case FCL_T_DATE: std::memcpy(out, "\x10" "00000000", 10); return 10;
        default: return 0;
    }
}

// After a failed run a single-type result mask must have left exactly its blank value.
inline void check_blank_result(std::uint8_t mask, bool text_numbers, const std::uint8_t* result) {
    std::uint8_t blank[16];
    const std::size_t size = blank_value(mask, text_numbers, blank);
    if (size) FUZZ_CHECK(std::memcmp(result, blank, size) == 0);
}

inline std::size_t header_length(const std::uint8_t* code) { return fcl_code_length(code); }

// Argument count of a function record by its 1-based index, -1 outside 1 to 142.
inline int record_argc(unsigned index) {
    const fcl::FunctionRecord* record = fcl::function_record(index);
    return record ? record->argc : -1;
}

// Functions whose value depends on more than their arguments: the clock (DATE, TIME), the
// page counter (PAGE) and the aggregates' process-wide slots and host protocol.
inline bool is_stateful_function(unsigned index) {
    return index == 40 || index == 41 || index == 80 || index == 81 || (index >= 67 && index <= 76) ||
           (index >= 107 && index <= 116);
}

}  // namespace fuzz
