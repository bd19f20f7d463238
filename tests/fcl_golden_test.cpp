// The command-line host, run as a process on the golden files of tests/fcl/golden. A golden
// file holds the arguments, one per line ("@/" names a file of tests/fcl, a line "< FILE" gives
// standard input), then "==> exit N", "==> stdout" and "==> stderr" with the expected text; a
// missing section must be empty. "==> stdout cp932" expects the text in code page 932,
// "==> stdout README.md" the output shown in README.md's first code block, "==> stdout
// language.md" the function list block (```functions) of the language reference. A golden file
// that passes --profile-dir is skipped where fcl has no such option (Windows).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "case_text.h"
#include "tool_process.h"

namespace fcl::test {
namespace {

const std::string kData = FCL_TOOL_DATA_DIR;

std::string expand(const std::string& arg) { return arg.rfind("@/", 0) == 0 ? kData + arg.substr(1) : arg; }

std::vector<std::string> golden_files() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kData + "/golden"))
        names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FclGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(FclGolden, OutputMatches) {
    std::ifstream in(kData + "/golden/" + GetParam() + ".txt");
    std::vector<std::string> args;
    std::string input, section, out, err;
    int exit_status = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("==> ", 0) == 0) {
            section = line.substr(4);
            if (section.rfind("exit ", 0) == 0) exit_status = std::stoi(section.substr(5));
            const auto block = [&](const std::string& file, const std::string& fence) {
                const std::string text = read_file(kData + "/../../" + file);
                const std::size_t start = text.find(fence) + fence.size();
                out = text.substr(start, text.find("```", start) - start);
            };
            if (section == "stdout README.md") block("README.md", "```\n");
            if (section == "stdout language.md") block("docs/language.md", "```functions\n");
        } else if (section == "stdout" || section == "stdout cp932") {
            out += line + "\n";
        } else if (section == "stderr") {
            err += line + "\n";
        } else if (section.empty() && line.rfind("< ", 0) == 0) {
            input = expand(line.substr(2));
        } else if (section.empty() && line.rfind("#", 0) != 0) {
            args.push_back(expand(line));
        }
    }
    if (section == "stdout cp932") {
        ASSERT_TRUE(utf8_to_cp932(std::string(out), out));
    }
    ASSERT_FALSE(args.empty());
    if (!kToolTakesProfileDir && std::find(args.begin(), args.end(), "--profile-dir") != args.end())
        GTEST_SKIP() << "fcl has no --profile-dir here: the library reads ORBISRPT.INI from the Windows directory";
    const ToolRun run = run_fcl(args, input);
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.exit_status, exit_status);
}

INSTANTIATE_TEST_SUITE_P(Files, FclGolden, ::testing::ValuesIn(golden_files()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// An input larger than the reader's buffers: a cell of 3 MB and 100,000 records with quoted
// cells come through whole, and the progress line appears.
TEST(FclTool, LargeInputCrossesReadBuffers) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("fcl-big-" + std::to_string(std::random_device{}()) + ".csv")).string();
    {
        std::ofstream csv(path, std::ios::binary);
        csv << "N,Text\n0,\"" << std::string(3 << 20, 'x') << "\"\n";
        for (int i = 1; i <= 100000; ++i) csv << i << ",\"q,\"\"" << i << "\"\n";
    }
    const ToolRun run = run_fcl({"report", path, "--output", "csv", "--column", "N=[N]", "--column", "T=RIGHT([Text], 6)"},
                                "");
    std::filesystem::remove(path);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 100002);
    EXPECT_EQ(run.out.rfind("N,T\n0,xxxxxx\n1,\"q,\"\"1\"\n", 0), 0u) << run.out.substr(0, 100);
    EXPECT_NE(run.out.find("\n77777,\"\"\"77777\"\n"), std::string::npos);
    EXPECT_NE(run.err.find("fcl: 100000 records ("), std::string::npos) << run.err;
}

// The profile's text check: a file that is not code page 932 text gets one warning naming the
// file and its first bad line (comments do not count); a code page 932 file, and a UTF-8 or
// UTF-16 one with a byte-order mark, none.
TEST(FclTool, ProfileTextCheckNamesTheFirstBadLine) {
    if (!kToolTakesProfileDir) GTEST_SKIP() << "fcl has no --profile-dir here";
    struct Case {
        const char* file;
        std::string text;
        int bad_line;  // 0: no warning
        const char* lead;
    };
    const std::string reiwa = "\x97\xDF\x98\x61";  // 令和 in code page 932
    const Case cases[] = {
        {"OrbisRpt.ini", "[Fclib]\r\n;Month=\x82 x\r\nMonth=\x82\x41,\x82,x\r\nSumSize=2\r\nMinusMark=\x81\n", 3, "0x82"},
        {"ORBISRPT.INI", "[Fclib]\rSumSize=2\rNengou5=" + reiwa + "R 2019050\x89\r", 3, "0x89"},
        {"ORBISRPT.INI", "[Fclib]\nMonth=1\xE6\x9C\x88\n", 2, "0x88"},  // 1月 in UTF-8
        {"ORBISRPT.INI", "[Fclib]\r\nNengou5=" + reiwa + "R 20190501\r\nMonth=\x81\x40\r\n", 0, ""},
        {"ORBISRPT.INI", "\xEF\xBB\xBF[Fclib]\nMonth=1\xE6\x9C\x88\n", 0, ""},
        {"ORBISRPT.INI", std::string("\xFF\xFE=\0\x82\0\n\0", 8), 0, ""},
    };
    const auto dir = std::filesystem::temp_directory_path() / ("fcl-profile-" + std::to_string(std::random_device{}()));
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const std::string path = (dir / c.file).string();
        std::ofstream(path, std::ios::binary) << c.text;
        const ToolRun run = run_fcl({"eval", "1", "--profile-dir", dir.string()}, "");
        EXPECT_EQ(run.out, "number 1\n");
        if (c.bad_line == 0) {
            EXPECT_EQ(run.err, "");
            continue;
        }
        const std::string start = "fcl: " + path + " line " + std::to_string(c.bad_line) +
                                  ": not code page 932 text (byte " + c.lead + " ";
        EXPECT_EQ(run.err.rfind(start, 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace fcl::test
