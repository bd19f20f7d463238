// The profile reader on arbitrary file bytes. Byte 0 picks how many bytes each read hands over
// (1 to 256, so that characters and lines fall across reads); the rest is the file. Checked:
//   - every value fits its buffer, NUL-terminated, with nothing written past it;
//   - the settings read do not depend on how the file arrives: one byte per read gives the
//     same values and numbers as a whole buffer per read.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/profile_reader.h"

namespace {

struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
    std::size_t chunk;
};

std::size_t read_chunk(void* source, unsigned char* buffer, std::size_t size) {
    Source& s = *static_cast<Source*>(source);
    const std::size_t n = std::min({size, s.chunk, s.size - s.at});
    std::memcpy(buffer, s.data + s.at, n);
    s.at += n;
    return n;
}

constexpr const char* kKeys[] = {"Month", "MinusMark", "Nengou1", "DateError", "ZeroYear", ""};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];
constexpr std::uint32_t kSizes[kKeyCount] = {256, 3, 15, 1, 2, 40};

struct Settings {
    std::string text[kKeyCount];
    std::int32_t number[kKeyCount] = {};
    bool found[kKeyCount] = {};
};

void take(void* context, std::size_t key, const fcl::platform::ProfileValue& value) {
    Settings& settings = *static_cast<Settings*>(context);
    FUZZ_CHECK(key < kKeyCount && !settings.found[key]);
    settings.found[key] = true;
    // An exact-size heap block: any write past the value's buffer is caught.
    const std::uint32_t size = kSizes[key];
    const std::unique_ptr<char[]> out(new char[size]);
    const std::uint32_t length = fcl::platform::value_to_text(value, out.get(), size);
    FUZZ_CHECK(length <= size - 1);
    FUZZ_CHECK(std::memchr(out.get(), '\0', size) != nullptr);
    FUZZ_CHECK(std::strlen(out.get()) <= length);
    settings.text[key] = out.get();
    settings.number[key] = fcl::platform::value_to_int(value, -7);
}

Settings read(const std::uint8_t* data, std::size_t size, std::size_t chunk) {
    Settings settings;
    Source source{data, size, 0, chunk};
    fcl::platform::scan_profile(read_chunk, &source, "Fclib", kKeys, kKeyCount, take, &settings);
    return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = static_cast<std::size_t>(data[0]) + 1;
    const Settings whole = read(data + 1, size - 1, 1 << 16);
    const Settings pieces = read(data + 1, size - 1, chunk);
    const Settings bytes = read(data + 1, size - 1, 1);
    for (std::size_t i = 0; i < kKeyCount; ++i) {
        for (const Settings* other : {&pieces, &bytes}) {
            FUZZ_CHECK(whole.found[i] == other->found[i]);
            FUZZ_CHECK(whole.text[i] == other->text[i]);
            FUZZ_CHECK(whole.number[i] == other->number[i]);
        }
    }
    return 0;
}
