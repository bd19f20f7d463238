// The command-line host, run as a process on the golden files of tests/fcl/golden. A golden
// file holds the arguments, one per line ("@/" names a file of tests/fcl, a line "< FILE" gives
// standard input, a line "$ NAME=VALUE" sets a variable of fcl's environment), then "==> exit
// N", "==> stdout" and "==> stderr" with the expected text; a missing section must be empty.
// "==> stdout cp932" expects the text in code page 932, "==> stdout README.md" the output shown
// in README.md's first code block, "==> stdout language.md" the function list block
// (```functions) of the language reference. A golden file that passes --profile-dir is skipped
// where fcl has no such option (Windows), one that sets the locale where the test cannot.
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
    std::vector<std::string> args, environment;
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
        } else if (section.empty() && line.rfind("$ ", 0) == 0) {
            environment.push_back(line.substr(2));
        } else if (section.empty() && line.rfind("#", 0) != 0) {
            args.push_back(expand(line));
        }
    }
    if (section == "stdout cp932") {
        ASSERT_TRUE(utf8_to_cp932(std::string(out), out));
    }
    ASSERT_FALSE(section.empty());
    if (!kToolTakesProfileDir && std::find(args.begin(), args.end(), "--profile-dir") != args.end())
        GTEST_SKIP() << "fcl has no --profile-dir here: the library reads ORBISRPT.INI from the Windows directory";
    if (!kToolTakesLocale && !environment.empty()) GTEST_SKIP() << "fcl's locale is not the test's to choose here";
    const ToolRun run = run_fcl(args, input, environment);
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
    const ToolRun run = run_fcl({"report", path, "--verbose", "--output", "csv", "--column", "N=[N]", "--column", "T=RIGHT([Text], 6)"},
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

// gen-orders refuses, before writing anything, a count that is not a whole number from 1 to the
// most it can count (2^64 - 1 divided among its four categories).
TEST(FclTool, GenOrdersRefusesBadCounts) {
    const struct {
        const char* count;
        const char* why;
    } cases[] = {
        {"-5", "a count has no sign"},
        {"+5", "a count has no sign"},
        {"0", "it must be 1 or more"},
        {"12x", "a count is digits only"},
        {"1e3", "a count is digits only"},
        {"", "it is empty"},
        {"4611686018427387904", "the most is 4611686018427387903"},
        {"99999999999999999999", "the most is 4611686018427387903"},
    };
    for (const auto& c : cases) {
        const ToolRun run = run_fcl({"gen-orders", c.count}, "");
        EXPECT_EQ(run.exit_status, 2) << c.count;
        EXPECT_EQ(run.out, "") << c.count;
        EXPECT_EQ(run.err, std::string("fcl gen-orders: \"") + c.count + "\" is not a count of records: " + c.why +
                               "\nusage: fcl gen-orders N [OPTIONS]; see fcl gen-orders --help\n");
    }
}

// The example report's formulas over its own data lint clean, as do the tests' own.
TEST(FclTool, ExampleReportLintsClean) {
    const std::string examples = FCL_EXAMPLES_DIR;
    const ToolRun run = run_fcl({"lint", "--formulas", examples + "/orders.formulas", examples + "/orders.csv"}, "");
    EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
}

// The options a help text lists: the words that start its lines "  --".
std::vector<std::string> listed_options(const std::string& help) {
    std::vector<std::string> options;
    for (std::size_t at = help.find("\n  --"); at != std::string::npos; at = help.find("\n  --", at + 1))
        options.push_back(help.substr(at + 3, help.find_first_of(" \n", at + 3) - at - 3));
    return options;
}

// Each command's help gives its usage and only its own options, as "fcl help COMMAND" does; the
// overview names every command; the man page names every command and option.
TEST(FclTool, HelpPerCommandAndManPage) {
    const struct {
        const char* command;
        std::vector<std::string> options;
    } cases[] = {
        {"eval", {"--field", "--text-numbers", "--exact", "--backend", "--profile-dir", "--terminal-encoding",
                  "--encoding", "--help"}},
        {"compile", {"--field", "--text-numbers", "--backend", "--profile-dir", "--terminal-encoding", "--encoding",
                     "--help"}},
        {"report", {"--column", "--formulas", "--group-by", "--output", "--threads", "--on-unmappable", "--verbose",
                    "--quiet", "--text-numbers", "--exact", "--backend", "--profile-dir", "--input-encoding",
                    "--terminal-encoding", "--encoding", "--help"}},
        {"functions", {"--help"}},
        {"gen-orders", {"--seed", "--terminal-encoding", "--encoding", "--help"}},
        {"help", {"--help"}},
    };
    const ToolRun overview = run_fcl({"--help"}, "");
    EXPECT_EQ(overview.exit_status, 0);
    EXPECT_EQ(listed_options(overview.out), (std::vector<std::string>{"--help", "--version"}));
    const std::string man = read_file(kData + "/../../docs/fcl.1");
    const auto roff = [](const std::string& word) {
        std::string out;
        for (const char ch : word) out += ch == '-' ? "\\-" : std::string(1, ch);
        return out;
    };
    const std::size_t options_start = man.find("\n.SH OPTIONS\n");
    const std::string man_options = man.substr(options_start, man.find("\n.SH ", options_start + 1) - options_start);
    for (const auto& c : cases) {
        const ToolRun run = run_fcl({c.command, "--help"}, "");
        EXPECT_EQ(run.exit_status, 0) << c.command;
        EXPECT_EQ(run.out.rfind(std::string("usage: fcl ") + c.command + " ", 0), 0u) << run.out;
        EXPECT_EQ(listed_options(run.out), c.options) << c.command;
        EXPECT_EQ(run_fcl({"help", c.command}, "").out, run.out) << c.command;
        EXPECT_NE(overview.out.find(std::string("\n  ") + c.command + " "), std::string::npos) << c.command;
        EXPECT_NE(man.find("\n.SS " + roff(c.command) + "\n"), std::string::npos) << c.command;
        for (const auto& option : c.options) EXPECT_NE(man_options.find(roff(option)), std::string::npos) << option;
    }
}

// With no encoding option the locale chooses: LC_ALL, else LC_CTYPE, else LANG (the first that
// is set and not empty), code page 932 for a code set SJIS, CP932 or Shift_JIS. An option wins.
TEST(FclTool, LocaleChoosesTheEncodings) {
    if (!kToolTakesLocale) GTEST_SKIP() << "fcl's locale is not the test's to choose here";
    const struct {
        std::vector<std::string> environment;
        std::vector<std::string> options;
        bool cp932;
    } cases[] = {
        {{}, {}, false},
        {{"LC_ALL=ja_JP.SJIS"}, {}, true},
        {{"LC_CTYPE=ja_JP.CP932"}, {}, true},
        {{"LANG=ja_JP.Shift_JIS"}, {}, true},
        {{"LANG=ja_JP.sjis@euro"}, {}, true},
        {{"LANG=ja_JP.eucJP"}, {}, false},
        {{"LANG=ja_JP"}, {}, false},
        {{"LC_ALL=C.UTF-8", "LANG=ja_JP.SJIS"}, {}, false},
        {{"LC_ALL=", "LC_CTYPE=ja_JP.SJIS"}, {}, true},
        {{"LANG=ja_JP.SJIS"}, {"--terminal-encoding", "utf8"}, false},
        {{"LANG=ja_JP.SJIS"}, {"--encoding", "utf8"}, false},
        {{}, {"--encoding", "cp932"}, true},
        {{}, {"--encoding", "utf8", "--terminal-encoding", "cp932"}, true},
        {{}, {"--terminal-encoding", "cp932", "--encoding", "utf8"}, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"eval", "CDOW(CTOD(\"2024/04/01\"))"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolRun run = run_fcl(args, "", c.environment);
        EXPECT_EQ(run.out, c.cp932 ? "string \x8C\x8E\n" : "string 月\n")
            << ::testing::PrintToString(c.environment) << ::testing::PrintToString(c.options);
    }
}

// With --verbose the rate of a report goes to standard error (without it nothing does: the
// golden file report_verbose_only).
TEST(FclTool, StatisticsWithVerbose) {
    const ToolRun run =
        run_fcl({"report", kData + "/orders.csv", "--output", "csv", "--column", "Q=[Qty]", "--verbose"}, "");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.err.rfind("fcl: 6 records x 1 formulas in ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

}  // namespace
}  // namespace fcl::test
