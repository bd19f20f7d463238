#include "platform/profile.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>

namespace fcl::platform {

namespace {

constexpr std::size_t kLineSize = 1024;
constexpr std::size_t kPathSize = 1024;

const char* directory() {
    const char* dir = std::getenv("FCLIB_PROFILE_DIR");
    return dir && *dir ? dir : FCLIB_DEFAULT_PROFILE_DIR;
}

// Finds the profile file in the profile directory: the first entry whose name equals file
// without regard to case.
bool find_profile(const char* file, char* path, std::size_t path_size) {
    const char* dir = directory();
    DIR* handle = opendir(dir);
    if (!handle) return false;
    bool found = false;
    while (dirent* entry = readdir(handle)) {
        if (strcasecmp(entry->d_name, file) == 0) {
            found = std::snprintf(path, path_size, "%s/%s", dir, entry->d_name) < static_cast<int>(path_size);
            break;
        }
    }
    closedir(handle);
    return found;
}

// Opens the profile file: the name as given where a file has it (the usual case, which needs no
// reading of the directory), else as find_profile finds it. -1 when there is none.
int open_profile(const char* file) {
    char path[kPathSize];
    if (std::snprintf(path, sizeof path, "%s/%s", directory(), file) < static_cast<int>(sizeof path)) {
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) return fd;
    }
    return find_profile(file, path, sizeof path) ? open(path, O_RDONLY | O_CLOEXEC) : -1;
}

// The lines of a file as fgets gives them (at most size - 1 bytes, up to and with a line
// break), read through a buffer of its own: a C library FILE would allocate one.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}
    ~LineReader() { close(fd_); }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool next(char* line, std::size_t size) {
        std::size_t length = 0;
        bool ended = false;
        while (!ended && length + 1 < size && (at_ < end_ || fill())) {
            std::size_t take = end_ - at_;
            if (take > size - 1 - length) take = size - 1 - length;
            if (const void* lf = std::memchr(buffer_ + at_, '\n', take)) {
                take = static_cast<std::size_t>(static_cast<const char*>(lf) - (buffer_ + at_)) + 1;
                ended = true;
            }
            std::memcpy(line + length, buffer_ + at_, take);
            length += take;
            at_ += take;
        }
        line[length] = '\0';
        return length > 0;
    }

private:
    bool fill() {
        ssize_t got = 0;
        do {
            got = read(fd_, buffer_, sizeof buffer_);
        } while (got < 0 && errno == EINTR);
        at_ = 0;
        end_ = got > 0 ? static_cast<std::size_t>(got) : 0;
        return end_ > 0;
    }

    int fd_;
    char buffer_[4096];
    std::size_t at_ = 0;
    std::size_t end_ = 0;
};

char* trim(char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    std::size_t len = std::strlen(text);
    while (len > 0 && std::isspace(static_cast<unsigned char>(text[len - 1]))) text[--len] = '\0';
    return text;
}

// Copies text to out, cut to out_size - 1 bytes, with a NUL; returns the bytes copied.
std::size_t copy_cut(char* out, std::size_t out_size, const char* text) {
    std::size_t len = std::strlen(text);
    if (len > out_size - 1) len = out_size - 1;
    std::memcpy(out, text, len);
    out[len] = '\0';
    return len;
}

// Hands take(key, value) each key of the section, in file order, until take returns true; the
// value trimmed of blanks and of one pair of enclosing double quotes. Nothing when the file
// cannot be read.
template <class Take>
void scan_section(const char* section, const char* file, Take take) {
    const int fd = open_profile(file);
    if (fd < 0) return;
    LineReader reader(fd);
    char line[kLineSize];
    bool in_section = false;
    bool done = false;
    while (!done && reader.next(line, sizeof line)) {
        char* text = trim(line);
        if (*text == ';' || *text == '\0') continue;
        if (*text == '[') {
            char* close = std::strchr(text, ']');
            if (close) *close = '\0';
            in_section = strcasecmp(trim(text + 1), section) == 0;
            continue;
        }
        if (!in_section) continue;
        char* equals = std::strchr(text, '=');
        if (!equals) continue;
        *equals = '\0';
        char* data = trim(equals + 1);
        std::size_t len = std::strlen(data);
        if (len >= 2 && data[0] == '"' && data[len - 1] == '"') {
            data[len - 1] = '\0';
            ++data;
        }
        done = take(static_cast<const char*>(trim(text)), static_cast<const char*>(data));
    }
}

// Reads the value of section/key into value (at most value_size - 1 bytes). False when absent.
bool lookup(const char* section, const char* key, const char* file, char* value, std::size_t value_size) {
    bool found = false;
    scan_section(section, file, [&](const char* name, const char* data) {
        if (strcasecmp(name, key) != 0) return false;
        copy_cut(value, value_size, data);
        found = true;
        return true;
    });
    return found;
}

}  // namespace

std::uint32_t profile_string(const char* section, const char* key, const char* fallback,
                             char* out, std::uint32_t out_size, const char* file) {
    if (!out || out_size == 0) return 0;
    char value[kLineSize];
    const char* source = lookup(section, key, file, value, sizeof value) ? value : (fallback ? fallback : "");
    return static_cast<std::uint32_t>(copy_cut(out, out_size, source));
}

void profile_strings(const char* section, const char* const* keys, std::size_t count, char* values,
                     std::uint32_t value_size, const char* file) {
    if (!values || value_size == 0) return;
    for (std::size_t i = 0; i < count; ++i) values[i * value_size] = '\0';
    // The first line of a key counts, as for profile_string.
    bool found[kMostKeys] = {};
    if (count > kMostKeys) count = kMostKeys;
    std::size_t left = count;
    scan_section(section, file, [&](const char* name, const char* data) {
        for (std::size_t i = 0; i < count; ++i) {
            if (found[i] || strcasecmp(name, keys[i]) != 0) continue;
            copy_cut(values + i * value_size, value_size, data);
            found[i] = true;
            --left;
        }
        return left == 0;
    });
}

std::int32_t profile_int(const char* section, const char* key, std::int32_t fallback, const char* file) {
    char value[kLineSize];
    if (!lookup(section, key, file, value, sizeof value)) return fallback;
    const char* p = value;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    long long result = 0;
    while (std::isdigit(static_cast<unsigned char>(*p)) && result < 0x100000000LL) result = result * 10 + (*p++ - '0');
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(negative ? -result : result));
}

bool profile_directory(char* out, std::size_t out_size) {
    return std::snprintf(out, out_size, "%s", directory()) < static_cast<int>(out_size);
}

}  // namespace fcl::platform
