#include "profile_file.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "platform/profile.h"

namespace fcl::test {

namespace {

std::filesystem::path directory() {
    char path[1024] = "";
    if (!platform::profile_directory(path, sizeof path)) return {};
    std::filesystem::create_directories(path);
    return path;
}

bool is_profile_name(const std::string& name) {
    const std::string profile = platform::kProfileFile;
    if (name.size() != profile.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != profile[i]) return false;
    return true;
}

}  // namespace

void remove_profile() {
    const std::filesystem::path dir = directory();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        if (is_profile_name(entry.path().filename().string())) std::filesystem::remove(entry.path(), ignored);
}

void write_profile(const std::string& name, const std::string& contents) {
    remove_profile();
    std::ofstream(directory() / name, std::ios::binary) << contents;
}

}  // namespace fcl::test
