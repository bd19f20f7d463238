// CreateProcessW with a command line quoted the way CommandLineToArgvW and the C runtime split
// it, and files as the standard handles.
#include "tool_process.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "profile_file.h"

namespace fcl::test {

namespace {

std::wstring wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

// A quoted argument: backslashes double only before a quote, which is escaped.
void append_argument(std::wstring& line, const std::wstring& arg) {
    if (!line.empty()) line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

HANDLE open_handle(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(wide(path.empty() ? "NUL" : path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

const bool kToolTakesProfileDir = false;
const bool kToolTakesLocale = false;

namespace {

// Variables set for the runs while it lives, then back as they were.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const std::vector<std::string>& entries) {
        for (const auto& entry : entries) {
            const auto equals = entry.find('=');
            const std::wstring name = wide(entry.substr(0, equals));
            wchar_t old[32767];
            const DWORD length = GetEnvironmentVariableW(name.c_str(), old, sizeof old / sizeof old[0]);
            saved_.push_back({name, std::wstring(old, length), length > 0});
            SetEnvironmentVariableW(name.c_str(), wide(entry.substr(equals + 1)).c_str());
        }
    }
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            SetEnvironmentVariableW(it->name.c_str(), it->was_set ? it->value.c_str() : nullptr);
    }

private:
    struct Saved {
        std::wstring name;
        std::wstring value;
        bool was_set;
    };
    std::vector<Saved> saved_;
};

}  // namespace

ToolRun run_fcl(const std::vector<std::string>& args, const std::string& input,
                const std::vector<std::string>& environment) {
    const ScopedProfile sample(read_file(FCL_SAMPLE_PROFILE));
    const ScopedEnvironment variables(environment);
    // A directory of its own for every run: under Wine a directory removed by the run before
    // can still be on its way out when the next run creates files in one of the same name.
    static unsigned runs = 0;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("fcl-golden-" + std::to_string(GetCurrentProcessId()) + "-" +
                                       std::to_string(++runs));
    std::filesystem::create_directories(dir);
    const std::string out_path = (dir / "out").string();
    const std::string err_path = (dir / "err").string();
    std::wstring line;
    append_argument(line, wide(FCL_TOOL_PATH));
    for (const auto& arg : args) append_argument(line, wide(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = open_handle(input, false);
    startup.hStdOutput = open_handle(out_path, true);
    startup.hStdError = open_handle(err_path, true);
    PROCESS_INFORMATION process{};
    const bool started = startup.hStdInput != INVALID_HANDLE_VALUE && startup.hStdOutput != INVALID_HANDLE_VALUE &&
                         startup.hStdError != INVALID_HANDLE_VALUE &&
                         CreateProcessW(wide(FCL_TOOL_PATH).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    ToolRun run;
    if (started) {
        DWORD exit_code = 0;
        WaitForSingleObject(process.hProcess, INFINITE);
        if (GetExitCodeProcess(process.hProcess, &exit_code)) run.exit_status = static_cast<int>(exit_code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    std::filesystem::remove_all(dir);
    return run;
}

}  // namespace fcl::test
