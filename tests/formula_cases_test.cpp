// Runs every tests/cases/*.cases file: each line compiles and executes one formula and checks
// its compiled bytes, status or value. The format is described in tests/cases/README.md.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "case_text.h"
#include "fclib.h"
#include "interface/settings.h"

namespace fcl::test {
namespace {

struct Field {
    std::uint8_t type;
    std::string value;
};

using FieldSet = std::map<std::string, Field>;

int32_t field_callback(void* data, const char* name, void* raw, uint16_t* type) {
    const auto& fields = *static_cast<const FieldSet*>(data);
    const auto found = fields.find(name);
    if (found == fields.end()) return 1;
    *type = found->second.type;
    if (raw) std::snprintf(static_cast<char*>(raw), FCL_RAW_BUFFER, "%s", found->second.value.c_str());
    return 0;
}

const std::map<std::string, std::uint8_t> kTypeNames = {
    {"string", FCL_T_STRING}, {"number", FCL_T_NUMBER}, {"logical", FCL_T_LOGICAL},
    {"time", FCL_T_TIME},     {"date", FCL_T_DATE}};

std::string hex_bytes(const unsigned char* code, size_t length) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", code[i]);
        out += byte;
    }
    return out;
}

std::string normalise_hex(const std::string& text) {
    std::string out;
    for (const std::string& word : split_words(text)) {
        if (!out.empty()) out += ' ';
        for (char c : word) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// The profile directory of the run: an empty one unless a case file writes a profile.
class ProfileDir {
public:
    ProfileDir() {
        char pattern[] = "/tmp/fclib-cases-XXXXXX";
        path_ = mkdtemp(pattern);
        setenv("FCLIB_PROFILE_DIR", path_.c_str(), 1);
    }
    void write(const std::vector<std::string>& entries) {
        std::ofstream file(path_ + "/ORBISRPT.INI", std::ios::binary | std::ios::trunc);
        file << "[Fclib]\n";
        for (const std::string& entry : entries) file << entry << "\n";
        file.close();
        fcl::on_process_attach();
    }
    void clear() { write({}); }

private:
    std::string path_;
};

ProfileDir& profile_dir() {
    static ProfileDir dir;
    return dir;
}

struct RunSettings {
    int32_t mode;     // number-encoding mode
    int32_t backend;  // NumSetup argument
};

class CaseRunner {
public:
    explicit CaseRunner(std::string file) : file_(std::move(file)) {}

    void run() {
        std::ifstream in(file_, std::ios::binary);
        ASSERT_TRUE(in) << file_;
        std::string line;
        while (std::getline(in, line)) {
            ++line_no_;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            std::string text;
            if (!utf8_to_cp932(line, text)) {
                ADD_FAILURE() << where() << "text has no code page 932 form";
                continue;
            }
            if (text[0] == '@') directive(text);
            else run_case(text);
        }
        profile_dir().clear();
        FCLSETMODE(0);
        NumSetup(5);
    }

    int cases() const { return cases_; }

private:
    std::string where() const { return file_ + ":" + std::to_string(line_no_) + ": "; }

    void directive(const std::string& text) {
        std::vector<std::string> words = split_words(text.substr(1));
        if (words.empty()) return;
        const std::string name = words[0];
        words.erase(words.begin());
        if (name == "mode") {
            modes_ = words.size() == 1 ? words[0] : "";
            ASSERT_TRUE(modes_ == "double" || modes_ == "text" || modes_ == "both") << where() << text;
        } else if (name == "backend") {
            text_backend_ = words.size() == 1 && words[0] == "double" ? 1 : 5;
        } else if (name == "fields") {
            fields_.clear();
            for (const std::string& word : words) add_field(word);
        } else if (name == "profile") {
            profile_dir().write(words);
        } else {
            ADD_FAILURE() << where() << "unknown directive " << name;
        }
    }

    void add_field(const std::string& word) {
        const size_t equals = word.find('=');
        const size_t colon = word.find(':', equals);
        if (equals == std::string::npos || colon == std::string::npos) {
            ADD_FAILURE() << where() << "field must be NAME=TYPE:VALUE: " << word;
            return;
        }
        const auto type = kTypeNames.find(word.substr(equals + 1, colon - equals - 1));
        if (type == kTypeNames.end()) {
            ADD_FAILURE() << where() << "unknown field type in " << word;
            return;
        }
        fields_[unescape(word.substr(0, equals))] = Field{type->second, unescape(word.substr(colon + 1))};
    }

    void run_case(const std::string& text) {
        const size_t separator = text.find(" ==> ");
        if (separator == std::string::npos) {
            ADD_FAILURE() << where() << "missing ' ==> '";
            return;
        }
        const std::string formula = text.substr(0, separator);
        const std::string expectation = text.substr(separator + 5);
        ++cases_;
        if (modes_ != "text") check(formula, expectation, RunSettings{0, 5});
        if (modes_ != "double") check(formula, expectation, RunSettings{1, text_backend_});
        FCLSETMODE(0);
        NumSetup(5);
    }

    void check(const std::string& formula, const std::string& expectation, RunSettings settings) {
        NumSetup(settings.backend);
        FCLSETMODE(settings.mode);
        const std::string label = where() + formula + (settings.mode ? " [text]" : " [double]") + ": ";
        const size_t space = expectation.find(' ');
        const std::string kind = expectation.substr(0, space);
        const std::string want = space == std::string::npos ? "" : expectation.substr(space + 1);

        unsigned char code[FCL_MAX_CODE + 16] = {};
        uint16_t length = 0;
        const uint16_t compiled = FCLCOMPILE(field_callback, &fields_, formula.c_str(), code, &length);
        if (kind == "bytes") {
            EXPECT_EQ(compiled, 0) << label;
            EXPECT_EQ(hex_bytes(code, length), normalise_hex(want)) << label;
            return;
        }
        if (compiled != 0) {
            EXPECT_EQ("status " + std::to_string(compiled), expectation) << label << "compile failed";
            EXPECT_EQ(hex_bytes(code, length), "01 00 07 00 01 00 00") << label << "empty formula after failure";
            return;
        }
        unsigned char result[FCL_MAX_VALUE] = {};
        const uint16_t status = FCLEXECUTE(field_callback, &fields_, code, result);
        const std::string actual = status ? "status " + std::to_string(status) : describe_value(result, settings.mode);
        if (status) {
            EXPECT_EQ(actual, expectation) << label;
            check_blank(code[0], result, settings.mode != 0, label);
            return;
        }
        EXPECT_TRUE(matches(kind, want, result, settings.mode != 0)) << label << "expected " << expectation
                                                                     << ", got " << actual;
    }

    static void check_blank(std::uint8_t type, const unsigned char* result, bool text, const std::string& label) {
        static const std::map<std::uint8_t, std::string> blank = {
            {1, "string \"\""}, {4, "logical false"}, {8, "time 000000"}, {16, "date 00000000"}};
        if (type == 2) {
            EXPECT_EQ(describe_value(result, text), text ? "payload 0" : "number 0") << label << "blank value";
        } else if (blank.count(type)) {
            EXPECT_EQ(describe_value(result, text), blank.at(type)) << label << "blank value";
        }
    }

    static bool matches(const std::string& kind, const std::string& want, const unsigned char* result, bool text) {
        if (kind == "number") return result[0] == FCL_T_NUMBER && number_equals(want, result, text);
        if (kind == "payload") return result[0] == FCL_T_NUMBER && text && want == reinterpret_cast<const char*>(result + 1);
        if (kind == "string") return describe_value(result, text) == "string \"" + escape_back(want) + "\"";
        return describe_value(result, text) == kind + " " + want;
    }

    // Re-escapes an expected string the way describe_value shows values.
    static std::string escape_back(const std::string& quoted) {
        std::string inner = quoted.size() >= 2 ? quoted.substr(1, quoted.size() - 2) : quoted;
        const std::string raw = unescape(inner);
        unsigned char value[FCL_MAX_VALUE + 600] = {FCL_T_STRING};
        std::memcpy(value + 1, raw.c_str(), raw.size() + 1);
        const std::string shown = describe_value(value, false);
        return shown.substr(8, shown.size() - 9);
    }

    static bool number_equals(const std::string& want, const unsigned char* result, bool text) {
        if (text) {
            alignas(8) unsigned char expected[FCL_NUM_MAX_SIZE], actual[FCL_NUM_MAX_SIZE];
            NumFromStr(expected, want.c_str());
            NumFromStr(actual, reinterpret_cast<const char*>(result + 1));
            return NumComp(expected, actual) == 0;
        }
        double value;
        std::memcpy(&value, result + 1, sizeof value);
        if (want == "nan") return std::isnan(value);
        if (want == "-0") return value == 0.0 && std::signbit(value);
        return value == std::strtod(want.c_str(), nullptr);
    }

    std::string file_;
    int line_no_ = 0;
    int cases_ = 0;
    std::string modes_ = "both";
    int32_t text_backend_ = 5;
    FieldSet fields_;
};

std::vector<std::string> case_files() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(FCLIB_CASES_DIR))
        if (entry.path().extension() == ".cases") files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

class FormulaCases : public ::testing::TestWithParam<std::string> {};

TEST_P(FormulaCases, AllCasesHold) {
    profile_dir();
    CaseRunner runner(std::string(FCLIB_CASES_DIR) + "/" + GetParam());
    runner.run();
    EXPECT_GT(runner.cases(), 0) << "no cases in " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Files, FormulaCases, ::testing::ValuesIn(case_files()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
}  // namespace fcl::test
