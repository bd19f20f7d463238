// The platform start on Windows (fcl.h). The arguments come from the UTF-16 command line,
// converted to UTF-8, since the narrow arguments are in the ANSI code page and lose every
// character it lacks. Standard input, output and error are binary, so output files are byte
// for byte the same as elsewhere. The library reads ORBISRPT.INI from the Windows directory
// and nowhere else, so fcl cannot point it at another directory: --profile-dir is refused, and
// every command, the example report too, reads the profile installed there.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../fcl.h"

namespace fcltool {

namespace {

std::vector<std::string> g_words;
std::vector<char*> g_argv;

std::string to_utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

}  // namespace

void start_process(int& argc, char**& argv) {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return;
    for (int i = 0; i < count; ++i) g_words.push_back(to_utf8(wide[i]));
    LocalFree(wide);
    for (auto& word : g_words) g_argv.push_back(word.data());
    g_argv.push_back(nullptr);
    argc = count;
    argv = g_argv.data();
}

const bool kArgumentsAlwaysUtf8 = true;

std::string program_directory() {
    char path[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "";
    const std::string file(path, length);
    const auto slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

bool apply_profile_dir(const Options& options, std::string& error) {
    if (!options.profile_dir.empty()) {
        error = "--profile-dir is not available on Windows: the library reads ORBISRPT.INI from the Windows directory";
        return false;
    }
    char directory[MAX_PATH] = "";
    const UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return true;
    const std::string path = std::string(directory) + "\\ORBISRPT.INI";
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        std::fprintf(stderr, "fcl: no ORBISRPT.INI in %s: %s\n", directory, kNoProfileSettings);
    else
        check_profile_text(path);
    return true;
}

}  // namespace fcltool
