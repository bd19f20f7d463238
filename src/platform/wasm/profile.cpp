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

void scan_profile_file(const char* file, const char* section, const char* const* keys, std::size_t count,
                       TakeValue take, void* context) {
    if (!g_text || !file || strcasecmp(file, kProfileFile) != 0) return;
    Reading reading{g_text, g_size};
    scan_profile(read_text, &reading, section, keys, count, take, context);
}

// The profile has no directory: the host holds it.
bool profile_directory(char* out, std::size_t out_size) {
    if (out_size == 0) return false;
    out[0] = '\0';
    return true;
}

}  // namespace fcl::platform
