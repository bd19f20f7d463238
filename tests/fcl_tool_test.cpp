// The command-line host, run as a process: its output is compared with expected files under
// tests/fcl/ (reports) or with the expected text of each case (eval, compile).
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../tools/fcl/csv_reader.h"
#include "../tools/fcl/display_width.h"
#include "../tools/fcl/field_types.h"
#include "../tools/fcl/value_text.h"
#include "case_text.h"
#include "fclib.h"

extern char** environ;

namespace {

const std::string kTool = FCL_TOOL_PATH;
const std::string kData = FCL_TOOL_DATA_DIR;

struct ToolRun {
    int exit_status = -1;
    std::string out;
    std::string err;
};

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// "@/name" stands for a file of tests/fcl.
std::string expand(const std::string& arg) { return arg.rfind("@/", 0) == 0 ? kData + arg.substr(1) : arg; }

// Runs fcl with the arguments and standard input from `input` (a path, "@/..." allowed);
// FCLIB_PROFILE_DIR is removed from the environment, since other suites set it.
ToolRun run_fcl(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("fcl-tool-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string out_path = (dir / "out").string();
    const std::string err_path = (dir / "err").string();

    std::vector<std::string> words{kTool};
    for (const auto& arg : args) words.push_back(expand(arg));
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_words;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "FCLIB_PROFILE_DIR=", 18) != 0) env_words.emplace_back(*entry);
    std::vector<char*> envp;
    for (auto& word : env_words) envp.push_back(word.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string input_path = expand(input);
    posix_spawn_file_actions_addopen(&actions, 0, input_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ToolRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, kTool.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    std::filesystem::remove_all(dir);
    return run;
}

// ---- eval and compile: one formula, expected output written out ----

struct FormulaCase {
    std::vector<std::string> args;
    const char* out;
    const char* err;
    int exit_status;
};

const FormulaCase kFormulaCases[] = {
    {{"eval", "1+2*3"}, "number 7\n", "", 0},
    {{"eval", "\"ab\" + \"c\""}, "string abc\n", "", 0},
    {{"eval", "1 < 2 AND !(2 < 1)"}, "logical true\n", "", 0},
    {{"eval", "CTOD(\"2024/03/15\")"}, "date 2024-03-15\n", "", 0},
    {{"eval", "CTOT(\"12:34:56\")"}, "time 12:34:56\n", "", 0},
    {{"eval", "--", "-2 * 3"}, "number -6\n", "", 0},
    {{"eval", "[Price] * [Qty] + 1", "--field", "Price=number:12.5", "--field", "Qty=number:4"}, "number 51\n", "", 0},
    {{"eval", "[D]", "--field", "D=date:2024/3/5"}, "date 2024-03-05\n", "", 0},
    {{"eval", "ATIME([T], 60)", "--field", "T=time:01:02:03"}, "time 01:03:03\n", "", 0},
    {{"eval", "[Paid] OR [Due] > 3", "--field", "Paid=logical:false", "--field", "Due=number:5"},
     "logical true\n", "", 0},
    // Double numbers print as the shortest text that reads back as the same double.
    {{"eval", "0.1 + 0.2"}, "number 0.30000000000000004\n", "", 0},
    {{"eval", "0.1 + 0.2 = 0.3"}, "logical false\n", "", 0},
    {{"eval", "--text-numbers", "0.1 + 0.2 = 0.3"}, "logical true\n", "", 0},
    {{"eval", "--text-numbers", "1/3*3"}, "number 0.99999999999999999999999999999999999999999999\n", "", 0},
    {{"eval", "--text-numbers", "--backend", "double", "1/4"}, "number 0.25\n", "", 0},
    // Japanese text goes through code page 932 and back.
    {{"eval", "LEFT([Name], 4)", "--field", "Name=string:山田太郎"}, "string 山田\n", "", 0},
    {{"eval", "SEI2WA1Z(CTOD(\"1999/10/10\")) + \" \" + CDOW(ADATE(CTOD(\"2024/01/06\"), 1))"},
     "string 平成11年10月10日 日\n", "", 0},
    {{"eval", "MID(\"abcdef\", 3, 2) + STR(ROUND(1234.567, -2), 10, 2)"}, "string cd   1234.57\n", "", 0},
    // The aggregate protocol with one record that is its own group.
    {{"eval", "SUM(x) + COUNT(x)", "--field", "x=number:5"}, "number 6\n", "", 0},
    // Month names are read when the library loads: fcl restarts itself with the directory set.
    {{"eval", "MONTH2(CTOD(\"2024/03/15\")) + NENGO(CTOD(\"2024/03/15\"))", "--profile-dir", "@/profile"},
     "string 弥生令和\n", "", 0},
    {{"eval", "MONTH2(CTOD(\"2024/03/15\"))"}, "string Mar\n", "", 0},
    {{"eval", "1/0"}, "", "fcl: the formula failed: status 1009: division by zero\n", 1},
    {{"eval", "1 +"}, "", "fcl: cannot compile the formula: status 1001: syntax error in the formula text\n", 1},
    {{"eval", "[Nope] + 1"}, "",
     "fcl: cannot compile the formula: status 1005: field failure: unknown field, or a value that does not fit "
     "its type\nfcl:   unknown field or column \"Nope\"\n",
     1},
    {{"eval", "[x] * 2", "--field", "x=number:abc"}, "",
     "fcl: the formula failed: status 1005: field failure: unknown field, or a value that does not fit its "
     "type\nfcl:   field x: \"abc\" is not a number\n",
     1},
    {{"eval", "\"" + std::string(600, 'a') + "\""}, "",
     "fcl: cannot compile the formula: status 1001: syntax error in the formula text\n"
     "fcl:   the formula has 602 bytes; the limit is 527\n",
     1},
    {{"eval", "😀"}, "", "fcl: the formula has text that code page 932 cannot hold\n", 2},
    {{"eval"}, "", "fcl eval: give exactly one formula (see fcl --help)\n", 2},
    {{"eval", "1", "--field", "x"}, "", "fcl: --field wants NAME=TYPE:VALUE, not \"x\"\n", 2},
    {{"eval", "1", "--backend", "float"}, "", "fcl: bad value for --backend: float (see fcl --help)\n", 2},
    {{"frobnicate"}, "", "fcl: unknown command \"frobnicate\" (see fcl --help)\n", 2},
    {{"compile", "Amount > 5", "--field", "Amount=number:1"},
     "26 bytes: 04 A4 1A 00 40 41 6D 6F 75 6E 74 00 FF FF 02 00 00 00 00 00 00 14 40 80 08 00\n"
     "result logical, flags 0xA4 (comparison, name reference, comparison of two leaves)\n"
     "    4  name Amount\n"
     "   14  number 5\n"
     "   23  call 8 GT/2\n",
     "", 0},
    {{"compile", "LEFT([Name], 3) = \"AB\"", "--field", "Name=string:x"},
     "30 bytes: 04 54 1E 00 20 4E 61 6D 65 00 FF FF 02 00 00 00 00 00 00 08 40 80 15 01 41 42 00 80 03 00\n"
     "result logical, flags 0x54 (comparison, function, comparison on a non-name)\n"
     "    4  field [Name]\n"
     "   12  number 3\n"
     "   21  call 21 LEFT/2\n"
     "   23  string \"AB\"\n"
     "   27  call 3 EQ/2\n",
     "", 0},
};

class FormulaCommand : public testing::TestWithParam<FormulaCase> {};

TEST_P(FormulaCommand, PrintsExpectedOutput) {
    const FormulaCase& c = GetParam();
    const ToolRun run = run_fcl(c.args);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exit_status, c.exit_status) << run.err;
}

INSTANTIATE_TEST_SUITE_P(FclTool, FormulaCommand, testing::ValuesIn(kFormulaCases));

TEST(FclTool, CompileListsTextNumberPayloads) {
    const ToolRun run = run_fcl({"compile", "--text-numbers", "IF(1.50 > 1, \"日\", \"月\")"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_NE(run.out.find("number 1.5 (payload 150000000e-8)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("string \"日\"\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("call 66 IF/3\n"), std::string::npos) << run.out;
}

// ---- reports: output compared with expected files ----

struct ReportCase {
    const char* name;
    std::vector<std::string> args;
    const char* out_file;  // under tests/fcl
    const char* err_file;  // null: standard error must be empty
    int exit_status;
};

const std::vector<std::string> kOrders = {"report", "@/orders.csv", "--formulas", "@/orders.formulas", "--quiet"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

const ReportCase kReportCases[] = {
    // Group subtotals, inferred types (mixed date spellings), a quoted cell with a comma and one
    // with a line break, Japanese text in and out, columns that use earlier columns.
    {"table", with(kOrders, {"--output", "table"}), "orders_table.txt", nullptr, 0},
    {"csv", with(kOrders, {"--output", "csv"}), "orders_csv.txt", nullptr, 0},
    {"json", with(kOrders, {"--output", "json"}), "orders_json.txt", nullptr, 0},
    // Text-number mode computes the same report in decimal.
    {"csv_text_numbers", with(kOrders, {"--output", "csv", "--text-numbers"}), "orders_csv.txt", nullptr, 0},
    // A record whose formula fails: #STATUS in its cell, the message on standard error, the
    // report goes on and the aggregates of the other columns keep their own totals.
    {"runtime_error",
     {"report", "@/orders.csv", "--quiet", "--group-by", "Region", "--column", "Customer=[Customer]", "--column",
      "Unit=[Price] / [Qty] + SUM([Qty])", "--column", "Total=SUM([Price])"},
     "runtime_error_table.txt", "runtime_error_err.txt", 1},
    // Formulas that do not compile are all listed before any record is read.
    {"compile_error",
     {"report", "@/orders.csv", "--column", "Fine=[Qty]", "--column", "Bad=[Qty] * * 2", "--column",
      "Unknown=[Nope] + 1", "--column", "Agg=SUM([Qty] * 2)"},
     "empty.txt", "compile_error_err.txt", 1},
    // The profile allows two SUM slots: the third SUM call site reports the limit, COUNT goes on.
    {"slot_limit",
     {"report", "@/orders.csv", "--quiet", "--profile-dir", "@/profile", "--group-by", "Region", "--output", "json",
      "--column", "A=SUM(Qty)", "--column", "B=SUM(Price)", "--column", "C=SUM(Qty)", "--column", "D=COUNT(Qty)"},
     "slot_limit_json.txt", "slot_limit_err.txt", 1},
    // A character that code page 932 lacks is reported with its row and field.
    {"unconvertible", {"report", "@/emoji.csv", "--quiet", "--column", "N=[Name]", "--output", "csv"},
     "emoji_out.txt", "emoji_err.txt", 2},
    // A quoted cell that never closes stops the report with its line.
    {"unterminated", {"report", "@/unterminated.csv", "--quiet", "--output", "csv", "--column", "X=[A]"},
     "unterminated_out.txt", "unterminated_err.txt", 2},
    // Without --group-by the whole input is one group, closed by a total row.
    {"no_group_total", {"report", "@/orders.csv", "--quiet", "--column", "Qty=[Qty]", "--column", "All=SUM(Qty)"},
     "total_table.txt", nullptr, 0},
};

class ReportCommand : public testing::TestWithParam<ReportCase> {};

TEST_P(ReportCommand, MatchesExpectedFiles) {
    const ReportCase& c = GetParam();
    const ToolRun run = run_fcl(c.args);
    EXPECT_EQ(run.out, read_file(kData + "/" + c.out_file));
    EXPECT_EQ(run.err, c.err_file ? read_file(kData + "/" + c.err_file) : "");
    EXPECT_EQ(run.exit_status, c.exit_status) << run.err;
}

INSTANTIATE_TEST_SUITE_P(FclTool, ReportCommand, testing::ValuesIn(kReportCases),
                         [](const testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

// The example report, which the README's main command runs: a table with group subtotals.
TEST(FclTool, ExampleReportRunsWithoutArguments) {
    const ToolRun run = run_fcl({"report", "--quiet"});
    EXPECT_EQ(run.out, read_file(kData + "/example_table.txt"));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_status, 0);
}

// "-" reads standard input once, so every header needs its type.
TEST(FclTool, ReadsTypedStandardInput) {
    const ToolRun typed = run_fcl({"report", "-", "--quiet", "--output", "csv", "--column", "Twice=[N] * 2", "--column",
                               "Name=[Name]"},
                              "@/typed.csv");
    EXPECT_EQ(typed.out, "Twice,Name\n2,あ\n4,い\n");
    EXPECT_EQ(typed.exit_status, 0) << typed.err;
    const ToolRun untyped = run_fcl({"report", "-", "--column", "Q=[Qty]"}, "@/orders.csv");
    EXPECT_EQ(untyped.err, "fcl report: standard input is read once: give every header a type (Name:number, ...)\n");
    EXPECT_EQ(untyped.exit_status, 2);
}

// Raw code page 932 in and out: the same report as the UTF-8 one, byte for byte in code page 932.
TEST(FclTool, Cp932EncodingReadsAndWritesRawText) {
    std::string csv;
    std::string expected;
    ASSERT_TRUE(fcl::test::utf8_to_cp932(read_file(kData + "/orders.csv"), csv));
    ASSERT_TRUE(fcl::test::utf8_to_cp932(read_file(kData + "/orders_csv.txt"), expected));
    const std::string path = std::filesystem::temp_directory_path() / ("fcl-cp932-" + std::to_string(getpid()) + ".csv");
    std::ofstream(path, std::ios::binary) << csv;
    const ToolRun run = run_fcl(with({"report", path, "--formulas", "@/orders.formulas", "--quiet"},
                                 {"--output", "csv", "--encoding", "cp932"}));
    std::filesystem::remove(path);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.exit_status, 0) << run.err;
}

// Generated orders come in category blocks: a grouped report over them has one subtotal per
// category, and the per-group counts add up to the number of records.
TEST(FclTool, GeneratedOrdersMakeAGroupedReport) {
    const std::string path = std::filesystem::temp_directory_path() / ("fcl-gen-" + std::to_string(getpid()) + ".csv");
    const ToolRun generated = run_fcl({"gen-orders", "200", "--seed", "7"});
    ASSERT_EQ(generated.exit_status, 0);
    std::ofstream(path, std::ios::binary) << generated.out;
    const ToolRun run = run_fcl({"report", path, "--quiet", "--group-by", "Category", "--output", "json", "--column",
                             "Amount=[Qty] * [Price]", "--column", "Orders=COUNT([OrderNo])"});
    std::filesystem::remove(path);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    std::size_t groups = 0;
    long total = 0;
    for (std::size_t at = run.out.find("\"subtotal\": {\"Orders\": "); at != std::string::npos;
         at = run.out.find("\"subtotal\": {\"Orders\": ", at + 1)) {
        ++groups;
        total += std::atol(run.out.c_str() + at + 23);
    }
    EXPECT_EQ(groups, 4u);
    EXPECT_EQ(total, 200);
}

// Over 100,000 records a progress line appears on standard error, and the rate at the end.
TEST(FclTool, ReportsProgressAndRateOnStandardError) {
    const std::string path = std::filesystem::temp_directory_path() / ("fcl-big-" + std::to_string(getpid()) + ".csv");
    const ToolRun generated = run_fcl({"gen-orders", "100001"});
    std::ofstream(path, std::ios::binary) << generated.out;
    const ToolRun run = run_fcl({"report", path, "--output", "csv", "--column", "Qty=[Qty]"});
    std::filesystem::remove(path);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_NE(run.err.find("fcl: 100000 records ("), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("fcl: 100001 records x 1 formulas in "), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 100002);
}

}  // namespace

// ---- the tool's own pieces, tested directly ----

namespace {

using Records = std::vector<std::vector<std::string>>;

Records read_csv(const std::string& text, bool* unterminated = nullptr, std::vector<std::uint64_t>* lines = nullptr) {
    std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    fcltool::CsvReader reader(file);
    Records records;
    std::vector<std::string> cells;
    while (reader.next(cells)) {
        records.push_back(cells);
        if (lines) lines->push_back(reader.record_line());
    }
    if (unterminated) *unterminated = reader.unterminated();
    std::fclose(file);
    return records;
}

struct CsvCase {
    std::string text;
    Records records;
};

const CsvCase kCsvCases[] = {
    {"a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}},
    {"a,b\r\n1,2\r\n", {{"a", "b"}, {"1", "2"}}},
    {"a,b\n1,2", {{"a", "b"}, {"1", "2"}}},
    {"a,b\r1,2\r", {{"a", "b"}, {"1", "2"}}},
    {"\xEF\xBB\xBF" "a,b\n", {{"a", "b"}}},
    {"\n\na\n\r\n\nb\n", {{"a"}, {"b"}}},
    {",,\n", {{"", "", ""}}},
    {"a,\n", {{"a", ""}}},
    {"\"x,y\",z\n", {{"x,y", "z"}}},
    {"\"x\ny\",z\n", {{"x\ny", "z"}}},
    {"\"x\r\ny\"\r\n", {{"x\r\ny"}}},
    {"\"say \"\"hi\"\"\"\n", {{"say \"hi\""}}},
    {"\"\"\n", {{""}}},
    {"\"ab\"cd,e\n", {{"abcd", "e"}}},
    {"a\"b,c\n", {{"a\"b", "c"}}},
    {"山田,\"佐藤, 花子\"\n", {{"山田", "佐藤, 花子"}}},
};

class CsvReading : public testing::TestWithParam<CsvCase> {};

TEST_P(CsvReading, SplitsRecordsAndCells) {
    bool unterminated = true;
    EXPECT_EQ(read_csv(GetParam().text, &unterminated), GetParam().records);
    EXPECT_FALSE(unterminated);
}

INSTANTIATE_TEST_SUITE_P(FclTool, CsvReading, testing::ValuesIn(kCsvCases));

TEST(FclTool, CsvReaderCountsLinesOfQuotedLineBreaks) {
    std::vector<std::uint64_t> lines;
    read_csv("h\n\"a\nb\nc\"\n\nd\n", nullptr, &lines);
    EXPECT_EQ(lines, (std::vector<std::uint64_t>{1, 2, 6}));
}

TEST(FclTool, CsvReaderReportsAnUnterminatedQuote) {
    bool unterminated = false;
    EXPECT_EQ(read_csv("a\n\"open,x\n", &unterminated), (Records{{"a"}, {"open,x\n"}}));
    EXPECT_TRUE(unterminated);
}

// Cells longer than the reader's buffer, and records across its refills, come through whole.
TEST(FclTool, CsvReaderCrossesBufferBoundaries) {
    const std::string long_cell(3 << 20, 'x');
    std::string text = "\"" + long_cell + "\"," + long_cell + "\n";
    for (int i = 0; i < 100000; ++i) text += std::to_string(i) + ",\"q,\"\"" + std::to_string(i) + "\"\n";
    const Records records = read_csv(text);
    ASSERT_EQ(records.size(), 100001u);
    EXPECT_EQ(records[0], (std::vector<std::string>{long_cell, long_cell}));
    EXPECT_EQ(records[77777], (std::vector<std::string>{"77776", "q,\"77776"}));
    EXPECT_EQ(records.back(), (std::vector<std::string>{"99999", "q,\"99999"}));
}

struct TextCase {
    const char* in;
    const char* out;  // null: rejected
};

constexpr TextCase kDates[] = {
    {"2024/03/15", "20240315"}, {"2024-3-5", "20240305"},  {"20240229", "20240229"}, {"2024/3/5", "20240305"},
    {"2023/02/29", nullptr},    {"20230229", nullptr},     {"2024/13/01", nullptr},  {"2024/00/10", nullptr},
    {"2024/3-5", nullptr},      {"24/03/05", nullptr},     {"2024/03/5x", nullptr},  {"2024/04/31", nullptr},
    {"", nullptr},              {"12345678", nullptr},     {"0000/01/01", nullptr},  {"2000/02/29", "20000229"},
    {"1900/02/29", nullptr},
};

constexpr TextCase kTimes[] = {
    {"12:34:56", "123456"}, {"9:05", "090500"}, {"23:59:59", "235959"}, {"24:00", nullptr},
    {"12:60", nullptr},     {"12:5", nullptr},  {"12:34:5", nullptr},   {"123456", nullptr},
    {"", nullptr},          {"1:02:03x", nullptr},
};

TEST(FclTool, DateAndTimeTextsBecomeDigits) {
    for (const auto& c : kDates) {
        char digits[9] = "";
        EXPECT_EQ(fcltool::date_digits(c.in, digits), c.out != nullptr) << c.in;
        if (c.out) {
            EXPECT_STREQ(digits, c.out) << c.in;
        }
    }
    for (const auto& c : kTimes) {
        char digits[7] = "";
        EXPECT_EQ(fcltool::time_digits(c.in, digits), c.out != nullptr) << c.in;
        if (c.out) {
            EXPECT_STREQ(digits, c.out) << c.in;
        }
    }
}

TEST(FclTool, NumberTextsAreRecognised) {
    for (const char* text : {"0", "-1", "+2", "3.", ".5", "-0.25", "1e5", "1.5E-3", "007"})
        EXPECT_TRUE(fcltool::is_number_text(text)) << text;
    for (const char* text : {"", "-", ".", "1e", "1e+", "1,000", "1.2.3", " 1", "1 ", "abc", "0x10", "e5"})
        EXPECT_FALSE(fcltool::is_number_text(text)) << text;
}

struct GuessCase {
    std::vector<std::string> values;
    std::uint8_t type;
};

const GuessCase kGuesses[] = {
    {{"1", "2.5", "", "-3"}, FCL_T_NUMBER},
    {{"2024/03/15", "20240316", "2024-3-1"}, FCL_T_DATE},
    {{"20240315", "20241332"}, FCL_T_NUMBER},
    {{"2024/03/15", "abc"}, FCL_T_STRING},
    {{"12:00", "08:30:15"}, FCL_T_TIME},
    {{"true", "FALSE", ""}, FCL_T_LOGICAL},
    {{"1", "0"}, FCL_T_NUMBER},
    {{"true", "1"}, FCL_T_STRING},
    {{"", ""}, FCL_T_STRING},
    {{}, FCL_T_STRING},
};

TEST(FclTool, ColumnTypesAreInferredFromAllValues) {
    for (const auto& c : kGuesses) {
        fcltool::TypeGuess guess;
        for (const auto& value : c.values) guess.see(value);
        EXPECT_EQ(guess.type(), c.type) << testing::PrintToString(c.values);
    }
}

TEST(FclTool, HeaderSuffixNamesTheType) {
    EXPECT_EQ(fcltool::split_header("Price:number").name, "Price");
    EXPECT_EQ(fcltool::split_header("Price:number").type, FCL_T_NUMBER);
    EXPECT_EQ(fcltool::split_header("At:time").type, FCL_T_TIME);
    EXPECT_EQ(fcltool::split_header("a:b:date").name, "a:b");
    EXPECT_EQ(fcltool::split_header("Ratio:percent").name, "Ratio:percent");
    EXPECT_EQ(fcltool::split_header("Ratio:percent").type, 0);
    EXPECT_EQ(fcltool::split_header("Plain").type, 0);
}

constexpr TextCase kPlainDecimals[] = {
    {"150000000e-8", "1.5"},
    {"120", "120"},
    {"0", "0"},
    {"-0", "0"},
    {"-5e-8", "-0.00000005"},
    {"12e8", "1200000000"},
    {"1.500000000000000e+00", "1.5"},
    {"3.333333333333333e-01", "0.3333333333333333"},
    {"-1.000000000000000e+20", "-100000000000000000000"},
    {"0.000", "0"},
    {"000120.0500", "120.05"},
    {"abc", "abc"},
    {"12abc", "12abc"},
    {"1e999", "1e999"},
    {"1e", "1e"},
};

TEST(FclTool, NumberPayloadsPrintInPlainDecimal) {
    for (const auto& c : kPlainDecimals) EXPECT_EQ(fcltool::plain_decimal(c.in), c.out) << c.in;
}

TEST(FclTool, DoubleNumbersPrintShortestRoundTrip) {
    const auto text = [](double value) {
        std::uint8_t tagged[9] = {FCL_T_NUMBER};
        std::memcpy(tagged + 1, &value, sizeof value);
        return fcltool::number_text(tagged, false);
    };
    EXPECT_EQ(text(7), "7");
    EXPECT_EQ(text(-0.0), "-0");
    EXPECT_EQ(text(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(text(1e21), "1e+21");
    EXPECT_EQ(text(std::nan("")), "nan");
    EXPECT_EQ(text(-HUGE_VAL), "-inf");
}

TEST(FclTool, DateAndTimeValuesPrintWithSeparators) {
    EXPECT_EQ(fcltool::date_text("20240315"), "2024-03-15");
    EXPECT_EQ(fcltool::date_text("00000000"), "0000-00-00");
    EXPECT_EQ(fcltool::date_text("2024031"), "2024031");
    EXPECT_EQ(fcltool::time_text("123456"), "12:34:56");
    EXPECT_EQ(fcltool::time_text("12345x"), "12345x");
}

TEST(FclTool, WideCharactersTakeTwoColumns) {
    EXPECT_EQ(fcltool::display_width("abc", false), 3u);
    EXPECT_EQ(fcltool::display_width("山田 太郎", false), 9u);
    EXPECT_EQ(fcltool::display_width("ｱｲ", false), 2u);  // half-width katakana
    EXPECT_EQ(fcltool::display_width("Ａ１", false), 4u);  // fullwidth forms
    EXPECT_EQ(fcltool::display_width("é", false), 1u);
    EXPECT_EQ(fcltool::display_width("\x8E\x52\x93\x63", true), 4u);  // 山田 in code page 932
}

}  // namespace
