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


}  // namespace

void scan_profile_file(const char* file, const char* section, const char* const* keys, std::size_t count,
                       TakeValue take, void* context) {
    int fd = open_profile(file);
    if (fd < 0) return;
    scan_profile(read_file, &fd, section, keys, count, take, context);
    close(fd);
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
