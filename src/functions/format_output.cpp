// The bounded text buffer that FORMAT renders into.
#include <cstring>

#include "functions/format_parts.h"

namespace fcl::format {

void Output::append(const char* bytes, std::size_t count) {
    if (count > kCapacity - length_) count = kCapacity - length_;
    std::memcpy(text_ + length_, bytes, count);
    length_ += count;
}

void Output::replace(std::size_t at, std::size_t count, const char* bytes, std::size_t size) {
    if (at > length_ || count > length_ - at) return;
    const std::size_t tail = length_ - at - count;
    if (size > count && size - count > kCapacity - length_) return;
    std::memmove(text_ + at + size, text_ + at + count, tail);
    std::memcpy(text_ + at, bytes, size);
    length_ = length_ - count + size;
}

}  // namespace fcl::format
