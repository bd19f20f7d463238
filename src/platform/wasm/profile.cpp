// The profile routines of the WebAssembly build: the file is the text the host handed over
// (profile_text.h), under the name kProfileFile (compared without case), read by profile_reader.
#include "platform/profile.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "platform/profile_reader.h"
#include "platform/wasm/profile_text.h"

namespace fcl::platform {

namespace {

unsigned char* g_text = nullptr;
std::size_t g_size = 0;

struct Reading {
    const unsigned char* at;
    std::size_t left;
};

std::size_t read_text(void* source, unsigned char* buffer, std::size_t size) {
    Reading& reading = *static_cast<Reading*>(source);
    const std::size_t count = size < reading.left ? size : reading.left;
    std::memcpy(buffer, reading.at, count);
    reading.at += count;
    reading.left -= count;
    return count;
}

void scan(const char* file, const char* section, const char* const* keys, std::size_t count, TakeValue take,
          void* context) {
    if (!g_text || !file || strcasecmp(file, kProfileFile) != 0) return;
    Reading reading{g_text, g_size};
    scan_profile(read_text, &reading, section, keys, count, take, context);
}

std::uint32_t copy_cut(char* out, std::uint32_t out_size, const char* text) {
    std::size_t length = std::strlen(text);
    if (length > out_size - 1) length = out_size - 1;
    std::memcpy(out, text, length);
    out[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

struct TextTarget {
    char* out;
    std::uint32_t size;
    std::uint32_t length;
    bool found;
};

void take_text(void* context, std::size_t key, const ProfileValue& value) {
    TextTarget& target = static_cast<TextTarget*>(context)[key];
    if (!value.has_value) return;
    target.length = value_to_text(value, target.out, target.size);
    target.found = true;
}

}  // namespace

bool set_profile_text(const unsigned char* bytes, std::size_t size) {
    std::free(g_text);
    g_text = nullptr;
    g_size = 0;
    if (!bytes) return true;
    g_text = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    if (!g_text) return false;
    std::memcpy(g_text, bytes, size);
    g_size = size;
    return true;
}

std::uint32_t profile_string(const char* section, const char* key, const char* fallback,
                             char* out, std::uint32_t out_size, const char* file) {
    if (!out || out_size == 0) return 0;
    TextTarget target{out, out_size, 0, false};
    scan(file, section, &key, 1, take_text, &target);
    return target.found ? target.length : copy_cut(out, out_size, fallback ? fallback : "");
}

void profile_strings(const char* section, const char* const* keys, std::size_t count, char* values,
                     std::uint32_t value_size, const char* file) {
    if (!values || value_size == 0) return;
    if (count > kMostKeys) count = kMostKeys;
    TextTarget targets[kMostKeys];
    for (std::size_t i = 0; i < count; ++i) {
        values[i * value_size] = '\0';
        targets[i] = {values + i * value_size, value_size, 0, false};
    }
    scan(file, section, keys, count, take_text, targets);
}

std::int32_t profile_int(const char* section, const char* key, std::int32_t fallback, const char* file) {
    struct IntTarget {
        std::int32_t fallback;
        std::int32_t result;
    } target{fallback, fallback};
    scan(file, section, &key, 1,
         [](void* context, std::size_t, const ProfileValue& value) {
             auto& t = *static_cast<IntTarget*>(context);
             t.result = value_to_int(value, t.fallback);
         },
         &target);
    return target.result;
}

// The profile has no directory: the host holds it.
bool profile_directory(char* out, std::size_t out_size) {
    if (out_size == 0) return false;
    out[0] = '\0';
    return true;
}

}  // namespace fcl::platform
