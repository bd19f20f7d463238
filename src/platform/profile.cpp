// The profile routines on POSIX systems: the file is found as profile.h says and read by
// profile_reader, as Windows reads it.
#include "platform/profile.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/profile_reader.h"

// Defined in the shared library only (shared_library_mark.cpp); code linked into a program
// sees it null and has no library file to look beside.
extern "C" __attribute__((weak, visibility("hidden"))) const char fclib_shared_library_mark;

namespace fcl::platform {

namespace {

constexpr std::size_t kPathSize = 4096;

bool print(char* out, std::size_t size, const char* format, auto... args) {
    const int length = std::snprintf(out, size, format, args...);
    return length >= 0 && static_cast<std::size_t>(length) < size;
}

// The configuration directory of the installation that the shared library lies in: its
// directory joined with the way from the library directory to the configuration directory.
bool installed_directory(char* out, std::size_t size) {
    static const char anchor = 0;
    if (!&fclib_shared_library_mark || !*FCLIB_PROFILE_DIR_FROM_LIBDIR) return false;
    Dl_info info{};
    if (dladdr(&anchor, &info) == 0 || !info.dli_fname || !*info.dli_fname) return false;
    const char* slash = std::strrchr(info.dli_fname, '/');
    if (!slash) return print(out, size, "./%s", FCLIB_PROFILE_DIR_FROM_LIBDIR);
    return print(out, size, "%.*s/%s", static_cast<int>(slash - info.dli_fname), info.dli_fname,
                 FCLIB_PROFILE_DIR_FROM_LIBDIR);
}

// Opens file in dir: the name as given (the usual case, which needs no reading of the
// directory), else the first entry whose name equals it without regard to case. -1 if none.
int open_in(const char* dir, const char* file) {
    char path[kPathSize];
    if (print(path, sizeof path, "%s/%s", dir, file)) {
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) return fd;
    }
    DIR* handle = opendir(dir);
    if (!handle) return -1;
    int fd = -1;
    while (const dirent* entry = readdir(handle)) {
        if (strcasecmp(entry->d_name, file) != 0) continue;
        if (print(path, sizeof path, "%s/%s", dir, entry->d_name)) fd = open(path, O_RDONLY | O_CLOEXEC);
        break;
    }
    closedir(handle);
    return fd;
}

const char* variable_directory() {
    const char* dir = std::getenv("FCLIB_PROFILE_DIR");
    return dir && *dir ? dir : nullptr;
}

// The profile file open for reading, from the first directory that holds it; -1 if none.
int open_profile(const char* file) {
    if (const char* dir = variable_directory()) return open_in(dir, file);
    char installed[kPathSize];
    if (installed_directory(installed, sizeof installed)) {
        const int fd = open_in(installed, file);
        if (fd >= 0) return fd;
    }
    return open_in(FCLIB_DEFAULT_PROFILE_DIR, file);
}

std::size_t read_file(void* source, unsigned char* buffer, std::size_t size) {
    const int fd = *static_cast<int*>(source);
    ssize_t got = 0;
    do {
        got = read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

// Scans section of the profile file for keys; nothing when there is no file.
void scan(const char* file, const char* section, const char* const* keys, std::size_t count, TakeValue take,
          void* context) {
    int fd = open_profile(file);
    if (fd < 0) return;
    scan_profile(read_file, &fd, section, keys, count, take, context);
    close(fd);
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

std::uint32_t profile_string(const char* section, const char* key, const char* fallback,
                             char* out, std::uint32_t out_size, const char* file) {
    if (!out || out_size == 0) return 0;
    TextTarget target{out, out_size, 0, false};
    scan(file, section, &key, 1, take_text, &target);
    // The fallback is copied as given: Windows would drop its trailing blanks and quotes, but
    // no caller passes either.
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

bool profile_directory(char* out, std::size_t out_size) {
    if (const char* dir = variable_directory()) return print(out, out_size, "%s", dir);
    char installed[kPathSize];
    if (installed_directory(installed, sizeof installed)) {
        const int fd = open_in(installed, kProfileFile);
        if (fd >= 0) {
            close(fd);
            return print(out, out_size, "%s", installed);
        }
    }
    return print(out, out_size, "%s", FCLIB_DEFAULT_PROFILE_DIR);
}

}  // namespace fcl::platform
