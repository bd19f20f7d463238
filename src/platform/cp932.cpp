#include "platform/cp932.h"

#include <cstring>

namespace fcl::cp932 {

namespace {
std::uint8_t at(const char* text, std::size_t i) { return static_cast<std::uint8_t>(text[i]); }

// A byte from 0x01 to 0x80 is a character of its own: neither a lead byte nor the terminating
// NUL. Runs of such bytes are passed a byte at a time without further tests.
bool is_plain(std::uint8_t byte) { return static_cast<std::uint8_t>(byte - 1) < 0x80; }
}  // namespace

ByteType byte_type(const char* text, std::size_t i) {
    std::size_t pos = 0;
    while (pos < i && is_plain(at(text, pos))) ++pos;
    while (true) {
        const std::uint8_t byte = at(text, pos);
        if (byte == 0) return ByteType::Invalid;
        if (is_lead(byte)) {
            if (pos == i) return ByteType::Lead;
            const std::uint8_t next = at(text, pos + 1);
            if (pos + 1 == i) return (next != 0 && is_trail(next)) ? ByteType::Trail : ByteType::Invalid;
            if (next == 0) return ByteType::Invalid;
            pos += 2;
        } else {
            if (pos == i) return ByteType::Single;
            ++pos;
        }
        if (pos > i) return ByteType::Invalid;
    }
}

int compare(const char* a, const char* b) {
    // A common start of single-byte characters moves both texts on together.
    std::size_t i = 0;
    while (a[i] == b[i] && is_plain(at(a, i))) ++i;
    std::size_t j = i;
    while (true) {
        unsigned ca = at(a, i), cb = at(b, j);
        std::size_t step_a = 1, step_b = 1;
        if (is_lead(static_cast<std::uint8_t>(ca))) {
            if (a[i + 1] != 0) { ca = ca * 256 + at(a, i + 1); step_a = 2; } else { ca = 0; }
        }
        if (is_lead(static_cast<std::uint8_t>(cb))) {
            if (b[j + 1] != 0) { cb = cb * 256 + at(b, j + 1); step_b = 2; } else { cb = 0; }
        }
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
        i += step_a;
        j += step_b;
    }
}

void reverse(char* text) {
    const std::size_t len = std::strlen(text);
    // Swap the bytes of each double-byte character first, so the whole-text reversal
    // that follows restores their order.
    for (std::size_t i = 0; i < len;) {
        if (is_lead(at(text, i)) && i + 1 < len) {
            const char lead = text[i];
            text[i] = text[i + 1];
            text[i + 1] = lead;
            i += 2;
        } else {
            ++i;
        }
    }
    for (std::size_t i = 0, j = len; i + 1 < j; ++i, --j) {
        const char byte = text[i];
        text[i] = text[j - 1];
        text[j - 1] = byte;
    }
}

}  // namespace fcl::cp932
