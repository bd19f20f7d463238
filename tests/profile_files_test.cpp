// The profile files of profiles/corpus.txt, each read through the platform's profile routines
// (Windows' own in the Windows build, the library's reader elsewhere), must give the settings
// of profiles/expected.txt: the two platforms read the same bytes alike. With
// FCLIB_PROFILE_EXPECTATIONS set to a path, the settings read are also written there, to renew
// the expectations from Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "case_text.h"
#include "platform/profile.h"
#include "profile_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fcl::test {
namespace {

struct Profile {
    std::string name;
    std::string bytes;
};

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// UTF-8 text as UTF-16 code units.
std::vector<std::uint16_t> utf16_units(const std::string& utf8) {
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        std::uint32_t code = length == 1 ? b : b & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) code = code << 6 | (utf8[i + k] & 0x3F);
        i += length;
        if (code < 0x10000) {
            units.push_back(static_cast<std::uint16_t>(code));
        } else {
            units.push_back(static_cast<std::uint16_t>(0xD800 | (code - 0x10000) >> 10));
            units.push_back(static_cast<std::uint16_t>(0xDC00 | (code & 0x3FF)));
        }
    }
    return units;
}

// One line of an entry in the file's encoding: text as written (converted), escapes as the
// bytes or code units they name.
class LineWriter {
public:
    explicit LineWriter(const std::string& encoding) : encoding_(encoding) {}

    bool utf16() const { return encoding_.rfind("utf16", 0) == 0; }

    void text(const std::string& utf8) {
        if (utf8.empty()) return;
        if (utf16()) {
            for (std::uint16_t unit : utf16_units(utf8)) this->unit(unit);
        } else if (encoding_ == "ansi") {
            std::string cp932;
            ASSERT_TRUE(utf8_to_cp932(utf8, cp932)) << utf8;
            out += cp932;
        } else {
            out += utf8;
        }
    }
    // A UTF-16 code unit: as it is in a UTF-16 file, else in UTF-8.
    void unit(std::uint16_t u) {
        if (!utf16()) {
            if (u < 0x80) {
                out += static_cast<char>(u);
            } else if (u < 0x800) {
                out += static_cast<char>(0xC0 | u >> 6);
                out += static_cast<char>(0x80 | (u & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | u >> 12);
                out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (u & 0x3F));
            }
            return;
        }
        const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
        if (encoding_ == "utf16be") {
            out += high;
            out += low;
        } else {
            out += low;
            out += high;
        }
    }
    void byte(char b) { out += b; }

    std::string out;

private:
    std::string encoding_;
};

// Escapes: \xNN a byte (a code unit in a UTF-16 file), \uXXXX a character (BMP) by its code,
// \r \n \t \0 \\.
void write_line(const std::string& line, LineWriter& writer) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            text += line[i];
            continue;
        }
        writer.text(text);
        text.clear();
        const char kind = line[++i];
        const auto control = [&](char c) { writer.utf16() ? writer.unit(static_cast<unsigned char>(c)) : writer.byte(c); };
        if (kind == 'x') {
            control(static_cast<char>(std::strtoul(line.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else if (kind == 'u') {
            writer.unit(static_cast<std::uint16_t>(std::strtoul(line.substr(i + 1, 4).c_str(), nullptr, 16)));
            i += 4;
        } else {
            control(kind == 'r' ? '\r' : kind == 'n' ? '\n' : kind == 't' ? '\t' : kind == '0' ? '\0' : kind);
        }
    }
    writer.text(text);
}

// "== name [encoding] [ends]": the text in code page 932 unless the encoding is utf8,
// utf16le or utf16be (with its byte-order mark; "-nomark" after it for none); lines ending in
// lf (the default), crlf or cr, or "eof" for lf with none after the last line.
std::vector<Profile> read_corpus(const std::string& path) {
    std::vector<Profile> profiles;
    std::istringstream in(read_all(path));
    std::string line, ends, encoding;
    bool mark = false;
    std::vector<std::string> lines;
    const auto finish = [&] {
        if (profiles.empty()) return;
        LineWriter writer(encoding);
        if (mark && encoding == "utf8") writer.out = "\xEF\xBB\xBF";
        if (mark && encoding == "utf16le") writer.out = "\xFF\xFE";
        if (mark && encoding == "utf16be") writer.out = "\xFE\xFF";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            write_line(lines[i], writer);
            if (i + 1 == lines.size() && ends == "eof") break;
            write_line(ends == "crlf" ? "\\r\\n" : ends == "cr" ? "\\r" : "\\n", writer);
        }
        profiles.back().bytes = writer.out;
        lines.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("== ", 0) == 0) {
            finish();
            std::istringstream header(line.substr(3));
            Profile profile;
            header >> profile.name;
            encoding = "ansi";
            ends = "lf";
            mark = false;
            for (std::string word; header >> word;) {
                if (word.rfind("utf", 0) != 0) {
                    ends = word;
                    continue;
                }
                const std::size_t dash = word.find("-nomark");
                mark = dash == std::string::npos;
                encoding = word.substr(0, dash);
            }
            profiles.push_back(profile);
        } else if (!profiles.empty()) {
            lines.push_back(line);
        }
    }
    finish();
    return profiles;
}

std::string shown(const char* value) {
    std::string out;
    for (const char* p = value; *p; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", byte);
        out += byte < 0x20 || byte >= 0x7F || *p == '\\' ? hex : std::string(1, *p);
    }
    return out;
}

// The settings that the library reads, each through the same routine and buffer size as the
// library reads it; text keys only when they have a value, numbers only when not the default.
std::string settings() {
    std::string out;
    const auto text = [&](const char* key, std::uint32_t size) {
        char value[256];
        std::memset(value, 0, sizeof value);
        if (platform::profile_string(platform::kProfileSection, key, "", value, size, platform::kProfileFile) > 0)
            out += std::string(key) + "=" + shown(value) + "\n";
    };
    text("Month", 256);
    text("MinusMark", 256);
    constexpr std::size_t kEras = 10, kEraSize = 15;
    const char* eras[kEras] = {"Nengou1", "Nengou2", "Nengou3", "Nengou4", "Nengou5",
                               "Nengou6", "Nengou7", "Nengou8", "Nengou9", "Nengou10"};
    char era_values[kEras][kEraSize] = {};
    platform::profile_strings(platform::kProfileSection, eras, kEras, era_values[0], kEraSize, platform::kProfileFile);
    for (std::size_t i = 0; i < kEras; ++i)
        if (era_values[i][0]) out += std::string(eras[i]) + "=" + shown(era_values[i]) + "\n";
    for (const char* size : {"SumSize", "AvgSize", "MinSize", "MaxSize"}) text(size, 128);
    const auto number = [&](const char* key, std::int32_t fallback) {
        const std::int32_t value = platform::profile_int(platform::kProfileSection, key, fallback, platform::kProfileFile);
        if (value != fallback) out += std::string(key) + "=" + std::to_string(value) + "\n";
    };
    number("DateError", 1);
    number("TimeError", 1);
    number("ZeroYear", 0);
    return out;
}

std::map<std::string, std::string> read_expectations(const std::string& path) {
    std::map<std::string, std::string> expected;
    std::istringstream in(read_all(path));
    std::string line, name;
    while (std::getline(in, line)) {
        if (line.rfind("== ", 0) == 0) name = line.substr(3);
        else if (!name.empty() && !line.empty() && line[0] != '#') expected[name] += line + "\n";
    }
    return expected;
}

TEST(ProfileFiles, ReadAlikeOnEveryPlatform) {
#ifdef _WIN32
    // Windows hands the values back in the ANSI code page: the expectations are code page 932.
    ASSERT_EQ(GetACP(), 932u) << "run with a Japanese locale (Wine: LC_ALL=ja_JP.UTF-8)";
#endif
    const std::vector<Profile> corpus = read_corpus(FCLIB_PROFILES_DIR "/corpus.txt");
    const std::map<std::string, std::string> expected = read_expectations(FCLIB_PROFILES_DIR "/expected.txt");
    EXPECT_GE(corpus.size(), 40u);
    std::string all;
    for (const Profile& profile : corpus) {
        write_profile(platform::kProfileFile, profile.bytes);
        const std::string read = settings();
        all += "== " + profile.name + "\n" + read;
        const auto found = expected.find(profile.name);
        EXPECT_EQ(read, found == expected.end() ? "" : found->second) << "profile " << profile.name;
        EXPECT_TRUE(found != expected.end() || read.empty()) << "no expectation for " << profile.name;
    }
    remove_profile();
    if (const char* path = std::getenv("FCLIB_PROFILE_EXPECTATIONS")) std::ofstream(path, std::ios::binary) << all;
}

}  // namespace
}  // namespace fcl::test
